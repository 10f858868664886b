// The program while idle, at 1024x768: the marker and its placement buttons, parking it, the
// tray icon with and without a tray host (and over the surface), the help window (over the
// surface too), a second start bringing the running copy forward, and a failure at start-up.
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <cstring>
#include <random>

#include "tests/e2e/app_fixture.h"

namespace e2e {
namespace {

// How long a result may take to show on a machine busy with other sessions.
constexpr int LoadedMs = 15000;
const QString HelpTitle = QStringLiteral("Quilmar设置");
constexpr QSize MarkerSize(36, 36);
// The marker's buttons, centres inside the 36x36 window (resources/Form1.ui).
constexpr QPoint Bup(18, 6), Bdown(18, 30), Bleft(6, 18), Bright(30, 18);
// Where the marker goes: 16 from the left and right edges, 28 from the top, 32 from the bottom.
constexpr int MarkerRight = 1024 - 36 - 16, MarkerLeft = 16, MarkerTop = 28, MarkerBottom = 768 - 36 - 32;
// The tool bar's help button (resources/FCover.ui), its centre on screen.
const QPoint HelpButton(ToolBar.x() + 422 + 11, ToolBar.y() + 13);

class TIdleTest : public TAppTest {
 protected:
  std::optional<TWindowInfo> Marker(const TChild& app) { return X().FindWindow(app.Pid(), "KEZ"); }
  ::testing::AssertionResult MarkerAt(const TChild& app, QPoint topLeft) {
    std::optional<TWindowInfo> marker;
    if (WaitUntil([&] { return (marker = Marker(app)) && marker->Geometry == QRect(topLeft, MarkerSize); }, LoadedMs))
      return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure();
    if (!marker) return failure << "no marker shows";
    const QRect g = marker->Geometry;
    return failure << "the marker is at " << g.x() << "," << g.y() << " " << g.width() << "x" << g.height();
  }
  // Clicks the marker at `offset` within it.
  bool ClickMarker(const TChild& app, QPoint offset) {
    const auto marker = Marker(app);
    return marker && Xdo().Click(marker->Geometry.x() + offset.x(), marker->Geometry.y() + offset.y());
  }
  std::optional<TWindowInfo> Help(const TChild& app) { return X().FindWindow(app.Pid(), HelpTitle); }
  // The help window once it is shown at its size, 696x505 with the frame, and has kept its place
  // for a moment: the window manager frames it after it is mapped, and then it is fitted and
  // centred. A click before that may miss its button.
  std::optional<TWindowInfo> WaitForHelp(const TChild& app) {
    std::optional<TWindowInfo> help, last;
    int steady = 0;
    const bool settled = WaitUntil(
        [&] {
          help = Help(app);
          const auto frame = help ? X().FrameExtents(help->Id) : std::nullopt;
          const bool sized = frame && help->Geometry.marginsAdded(*frame).size() == QSize(696, 505);
          steady = sized && last && help->Geometry == last->Geometry ? steady + 1 : 0;
          last = help;
          return steady >= 6;
        },
        LoadedMs, 50);
    if (settled) return help;
    if (help) {
      const QRect g = help->Geometry;
      const QMargins f = X().FrameExtents(help->Id).value_or(QMargins());
      ADD_FAILURE() << "the help window did not settle at 696x505 framed: client " << g.x() << "," << g.y() << " "
                    << g.width() << "x" << g.height() << ", frame " << f.left() << "," << f.top() << "," << f.right()
                    << "," << f.bottom();
    }
    return std::nullopt;
  }
  // Clicks 返回, which lies in the bottom panel (55 high) at (304, 16), 129x33.
  bool ClickBack(const TWindowInfo& help) {
    return Xdo().Click(help.Geometry.x() + 304 + 64, help.Geometry.bottom() + 1 - 55 + 16 + 16);
  }
  bool HelpGone(const TChild& app) {
    return WaitUntil([&] { return !Help(app); }, LoadedMs);
  }
  // The tray icon: our window inside the tray host's panel. Wine's desktop process (explorer)
  // makes the tray icons of every Windows program.
  std::optional<TWindowInfo> TrayIcon(const TChild& app) {
    std::vector<qint64> owners{app.Pid()};
    if (UnderWine()) owners = ProcessesOnDisplay("explorer.exe", Session().Display());
    for (const qint64 owner : owners)
      for (const TWindowInfo& window : X().EmbeddedWindowsOfPid(owner))
        if (window.Viewable) return window;
    return std::nullopt;
  }
  // The panel of the session's tray host: trayer's, or tint2's under Wine.
  std::optional<TWindowInfo> TrayPanel() {
    const QString host = UnderWine() ? "tint2" : "trayer";
    for (xcb_window_t window : Xdo().Search({"--onlyvisible", "--class", host}))
      if (auto info = X().Info(window); info && info->Viewable && X().Name(window) == (UnderWine() ? host : "panel"))
        return info;
    return std::nullopt;
  }
  // The names of the viewable windows of ours that the window manager frames (not pop-ups).
  QStringList FramedWindows(const TChild& app) {
    QStringList names;
    for (const TWindowInfo& window : X().WindowsOfPid(app.Pid()))
      if (window.Viewable && !window.OverrideRedirect) names << X().Name(window.Id);
    names.sort();
    return names;
  }
  // Pixels of `a` and `b` (same size) that differ, `exclude` left out.
  static int Differences(const QImage& a, const QImage& b, const QRect& exclude = {}) {
    if (a.size() != b.size()) return a.width() * a.height() + 1;
    int differ = 0;
    for (int y = 0; y < a.height(); ++y)
      for (int x = 0; x < a.width(); ++x) differ += !exclude.contains(x, y) && a.pixel(x, y) != b.pixel(x, y);
    return differ;
  }
  // Drags a stroke of the current tool along `path` on the surface and returns the screen once
  // the stroke shows and two grabs in a row agree; a null image when it never did.
  QImage DrawStroke(const std::vector<QPoint>& path) {
    const QImage before = X().GrabScreen();
    if (!Drag(path)) return {};
    QImage drawn;
    const QPoint middle = path[path.size() / 2];
    if (!WaitUntil(
            [&] {
              drawn = X().GrabScreen();
              return drawn.pixel(path.back()) != before.pixel(path.back()) &&
                     drawn.pixel(middle) != before.pixel(middle);
            },
            LoadedMs)) {
      ADD_FAILURE() << "no stroke";
      return {};
    }
    if (!WaitUntil(
            [&] {
              const QImage now = X().GrabScreen();
              const bool same = Differences(now, drawn) == 0;
              drawn = now;
              return same;
            },
            LoadedMs))
      return {};
    return drawn;
  }
};

TEST_F(TIdleTest, TheMarkerButtonsMoveItToEachSide) {
  auto app = StartApp();
  ASSERT_TRUE(MarkerAt(*app, {MarkerRight, MarkerTop}));
  ASSERT_TRUE(ClickMarker(*app, Bright));
  ASSERT_TRUE(ClickMarker(*app, Bdown));
  EXPECT_TRUE(MarkerAt(*app, {MarkerRight, MarkerBottom}));
  ASSERT_TRUE(ClickMarker(*app, Bleft));
  EXPECT_TRUE(MarkerAt(*app, {MarkerLeft, MarkerBottom}));
  ASSERT_TRUE(ClickMarker(*app, Bup));
  EXPECT_TRUE(MarkerAt(*app, {MarkerLeft, MarkerTop}));
  ASSERT_TRUE(ClickMarker(*app, Bright));
  EXPECT_TRUE(MarkerAt(*app, {MarkerRight, MarkerTop}));
  // None of the buttons started the working state.
  EXPECT_FALSE(Surface(*app));
}

TEST_F(TIdleTest, ParkingLeavesNoPixelOnScreenAndUnparkingRestoresThePlace) {
  const QImage empty = X().GrabScreen();  // the desktop before the program
  auto app = StartApp();
  ASSERT_TRUE(MarkerAt(*app, {MarkerRight, MarkerTop}));
  ASSERT_TRUE(WaitUntil([&] { return TrayIcon(*app).has_value(); }, LoadedMs)) << "no tray icon";

  // The marker's rows from its left edge to the screen's right edge show the desktop only (the
  // tray's panel, which has our icon now, left out).
  const auto panel = TrayPanel();
  ASSERT_TRUE(panel);
  auto rowsClear = [&](QPoint place) {
    const QRect rows(place.x(), place.y(), Session().Size().width() - place.x(), MarkerSize.height());
    return Differences(X().Grab(rows), empty.copy(rows), panel->Geometry.translated(-rows.topLeft())) == 0;
  };
  auto parked = [&] {
    for (const TWindowInfo& window : X().WindowsOfPid(app->Pid())) {
      if (X().Name(window.Id) == "KEZ" && window.Viewable &&
          window.Geometry.intersects(QRect(QPoint(), Session().Size())))
        return false;
    }
    return true;
  };
  // 显示浮动图标 is third from the bottom; the menu from the marker while it shows, else from the
  // tray icon.
  auto toggle = [&] {
    const auto marker = Marker(*app);
    const auto icon = TrayIcon(*app);
    ASSERT_TRUE(marker || icon);
    ASSERT_TRUE(RightClickMenu(*app, marker ? marker->Geometry.topLeft() + QPoint(4, 4) : icon->Geometry.center()));
    ASSERT_TRUE(ChooseMenuItem(*app, ItemShowMarker));
  };

  // Parks the marker at `place` and brings it back there.
  auto parkAndReturn = [&](QPoint place) {
    SCOPED_TRACE(QStringLiteral("marker at %1,%2").arg(place.x()).arg(place.y()).toStdString());
    ASSERT_TRUE(WaitUntil([&] { return !rowsClear(place); }, LoadedMs)) << "the marker is not drawn";
    toggle();
    EXPECT_TRUE(WaitUntil([&] { return parked() && rowsClear(place); }, LoadedMs)) << "the marker still shows";
    EXPECT_FALSE(WaitUntil([&] { return !parked(); }, SettleMs)) << "the marker came back by itself";
    toggle();
    EXPECT_TRUE(MarkerAt(*app, place)) << "not back where it was";
    EXPECT_TRUE(WaitUntil([&] { return !rowsClear(place); }, LoadedMs)) << "back, but not drawn";
    EXPECT_FALSE(WaitUntil([&] { return !Marker(*app) || Marker(*app)->Geometry.topLeft() != place; }, SettleMs))
        << "the marker did not stay";
  };
  // Back from parking, each button still keeps the coordinate it does not set.
  const std::pair<QPoint, QPoint> steps[] = {
      {Bdown, {MarkerRight, MarkerBottom}},
      {Bleft, {MarkerLeft, MarkerBottom}},
      {Bup, {MarkerLeft, MarkerTop}},
  };
  QPoint place(MarkerRight, MarkerTop);
  ASSERT_TRUE(MarkerAt(*app, place));
  parkAndReturn(place);
  for (const auto& [button, next] : steps) {
    ASSERT_TRUE(ClickMarker(*app, button));
    EXPECT_TRUE(MarkerAt(*app, next)) << "after being brought back from " << place.x() << "," << place.y();
    ASSERT_TRUE(Marker(*app));
    place = Marker(*app)->Geometry.topLeft();  // wherever it went, the next park starts there
    parkAndReturn(place);
  }
  EXPECT_FALSE(Surface(*app));
}

TEST_F(TIdleTest, TheTrayIconsRightPressOpensTheMenuAndItsDoubleClickTheHelp) {
  auto app = StartApp();
  std::optional<TWindowInfo> icon;
  ASSERT_TRUE(WaitUntil([&] { return (icon = TrayIcon(*app)).has_value(); }, LoadedMs)) << "no tray icon";
  const auto panel = TrayPanel();
  ASSERT_TRUE(panel);
  EXPECT_TRUE(panel->Geometry.contains(icon->Geometry)) << "the icon is not in the tray's panel";
  const QPoint centre = icon->Geometry.center();

  // A right click: the main menu at the pointer; Escape closes it.
  ASSERT_TRUE(RightClickMenu(*app, centre));
  const auto menu = OpenMenu(*app);
  ASSERT_TRUE(menu);
  EXPECT_TRUE(menu->Geometry.adjusted(-2, -2, 2, 2).contains(centre)) << "the menu is away from the pointer";
  // A click elsewhere closes it (the keyboard may be with none of our windows: under Wine, a
  // press on a tray icon gives it to none).
  ASSERT_TRUE(Xdo().Click(Session().Size().width() / 4, Session().Size().height() / 2));
  ASSERT_TRUE(WaitUntil([&] { return !OpenMenu(*app); }, LoadedMs));
  ASSERT_TRUE(Xdo().Move(centre.x(), centre.y()));

  // A single click opens nothing, also once the double-click time is over. (The icon's tool tip
  // may come up meanwhile: only the menu and framed windows count.) The pointer rests there.
  const auto windows = FramedWindows(*app);
  ASSERT_TRUE(Xdo().Run({"click", "1"}));
  EXPECT_FALSE(WaitUntil([&] { return OpenMenu(*app) || FramedWindows(*app) != windows; }, 1000))
      << "a single click opened a window";

  // A double click opens the help window; 返回 closes it.
  ASSERT_TRUE(Xdo().Run({"click", "--repeat", "2", "--delay", "80", "1"}));
  const auto help = WaitForHelp(*app);
  ASSERT_TRUE(help) << "no help window after a double click";
  ASSERT_TRUE(ClickBack(*help));
  EXPECT_TRUE(HelpGone(*app)) << "返回 did not close the help window";
  EXPECT_TRUE(app->Running());
}

TEST_F(TIdleTest, TheTrayIconOpensTheMenuAndTheHelpOverTheSurfaceAndGoesWithTheProgram) {
  const auto emptyPanel = TrayPanel();
  ASSERT_TRUE(emptyPanel);
  auto app = StartApp();
  std::optional<TWindowInfo> icon;
  ASSERT_TRUE(WaitUntil([&] { return (icon = TrayIcon(*app)).has_value(); }, LoadedMs)) << "no tray icon";
  const QPoint centre = icon->Geometry.center();

  // Working, the surface lies above the tray's panel (the window manager stacks a full-screen
  // window above docks), showing the icon as it was frozen; the real icon still answers.
  ASSERT_TRUE(HotKey());
  ASSERT_TRUE(WaitUntil([&] { return SurfaceCoversScreen(*app); }, LoadedMs));
  // Under the help window's place, for its closing to show whether the drawing stayed.
  const QImage drawn = DrawStroke({{150, 300}, {400, 420}, {650, 330}, {880, 450}});
  ASSERT_FALSE(drawn.isNull());
  // The pointer comes to the icon from the surface, as a hand's would.
  auto pointAtIcon = [&] { return Xdo().Move(centre.x() - 40, centre.y() + 40) && Xdo().Move(centre.x(), centre.y()); };

  // The right press: the main menu at the pointer, from the icon (the surface's own menu would
  // open there too); Escape closes it.
  ASSERT_TRUE(RightClickMenu(*app, centre));
  const auto workingMenu = OpenMenu(*app);
  ASSERT_TRUE(workingMenu);
  EXPECT_TRUE(workingMenu->Geometry.adjusted(-2, -2, 2, 2).contains(centre)) << "the menu is away from the pointer";
  ASSERT_TRUE(Xdo().Key("Escape"));
  ASSERT_TRUE(WaitUntil([&] { return !OpenMenu(*app); }, LoadedMs));

  // A single click opens nothing.
  ASSERT_TRUE(pointAtIcon());
  const auto workingWindows = FramedWindows(*app);
  ASSERT_TRUE(Xdo().Run({"click", "1"}));
  EXPECT_FALSE(WaitUntil([&] { return OpenMenu(*app) || FramedWindows(*app) != workingWindows; }, 1000))
      << "a single click opened a window";

  // The double click opens the help window over the surface, with no snapshot taken: after
  // 返回 the window's own pixels show the drawing again, exactly as it was.
  ASSERT_TRUE(pointAtIcon());
  ASSERT_TRUE(Xdo().Run({"click", "--repeat", "2", "--delay", "80", "1"}));
  const auto workingHelp = WaitForHelp(*app);
  ASSERT_TRUE(workingHelp) << "no help window after a double click on the icon while working";
  EXPECT_TRUE(WaitUntil(
      [&] {
        return Differences(X().Grab(workingHelp->Geometry), drawn.copy(workingHelp->Geometry)) >
               workingHelp->Geometry.width() * workingHelp->Geometry.height() / 2;
      },
      LoadedMs))
      << "the help window is not on screen";
  ASSERT_TRUE(ClickBack(*workingHelp));
  EXPECT_TRUE(HelpGone(*app)) << "返回 did not close the help window";
  EXPECT_TRUE(WaitUntil([&] { return Differences(X().GrabScreen(), drawn) == 0; }, LoadedMs))
      << Differences(X().GrabScreen(), drawn) << " pixels differ from the drawing";
  EXPECT_TRUE(SurfaceCoversScreen(*app));
  ASSERT_TRUE(HotKey());
  ASSERT_TRUE(WaitUntil([&] { return !Surface(*app); }, LoadedMs));

  // 退出 from the tray's menu: the program ends and the tray gives the icon's room back.
  ASSERT_TRUE(RightClickMenu(*app, centre));
  ASSERT_TRUE(ChooseMenuItem(*app, ItemExit));
  EXPECT_EQ(app->WaitForExit(LoadedMs), 0);
  EXPECT_TRUE(X().EmbeddedWindowsOfPid(app->Pid()).empty());
  EXPECT_TRUE(WaitUntil(
      [&] {
        const auto now = TrayPanel();
        return now && now->Geometry == emptyPanel->Geometry;
      },
      LoadedMs))
      << "the tray's panel did not shrink back";
}

TEST_F(TIdleTest, ATrayHostThatComesLaterTakesTheIcon) {
  const std::vector<qint64> trayers = ProcessesOnDisplay(TrayHost, Session().Display());
  ASSERT_FALSE(trayers.empty()) << "no tray host in the session";
  for (const qint64 pid : trayers) ::kill(pid_t(pid), SIGTERM);
  ASSERT_TRUE(WaitUntil([&] { return X().SelectionOwner("_NET_SYSTEM_TRAY_S0") == 0; }, LoadedMs))
      << "the tray host did not go";

  auto app = StartApp();
  ASSERT_TRUE(MarkerAt(*app, {MarkerRight, MarkerTop}));
  EXPECT_FALSE(app->WaitForExit(SettleMs).has_value()) << "the program ended without a tray";
  EXPECT_TRUE(X().EmbeddedWindowsOfPid(app->Pid()).empty());

  // The same tray host as the session's, started again. Now and then a fresh trayer never maps
  // its panel (see scripts/xsession); such a one is replaced, as the session script does.
  std::unique_ptr<TChild> tray;
  for (int attempt = 0; attempt < 3 && !TrayPanel(); ++attempt) {
    tray = Spawn(TrayHost, TrayHostArguments());
    if (!WaitUntil([&] { return TrayPanel().has_value(); }, 5000 << attempt)) tray.reset();
  }
  ASSERT_TRUE(TrayPanel()) << "the tray host did not come up";
  std::optional<TWindowInfo> icon;
  ASSERT_TRUE(WaitUntil([&] { return (icon = TrayIcon(*app)).has_value(); }, LoadedMs))
      << "the new tray host has no icon of ours";
  EXPECT_TRUE(TrayPanel()->Geometry.contains(icon->Geometry));
  // And the icon works there: 退出 from its menu. Nothing was reported on the way.
  ASSERT_TRUE(RightClickMenu(*app, icon->Geometry.center()));
  ASSERT_TRUE(ChooseMenuItem(*app, ItemExit));
  EXPECT_EQ(app->WaitForExit(LoadedMs), 0);
  EXPECT_EQ(app->StdErr().trimmed().toStdString(), "");
}

TEST_F(TIdleTest, HelpOverTheSurfaceLeavesTheDrawingAsItWas) {
  auto probe = Spawn(Probe, {"gui"});
  ShowPattern(*probe);  // under the help window's place, for something to restore
  auto app = StartApp();
  ASSERT_TRUE(HotKey());
  ASSERT_TRUE(WaitUntil([&] { return SurfaceCoversScreen(*app); }, LoadedMs));
  QImage frozen;
  ASSERT_TRUE(WaitUntil(
      [&] {
        frozen = X().GrabScreen();
        return frozen.pixel(100 + 50, 120 + 30) == PatternPixel(50, 30);
      },
      LoadedMs));

  // A stroke through the middle of the screen, where the help window goes.
  const QImage drawn = DrawStroke({{150, 300}, {400, 420}, {650, 330}, {880, 450}});
  ASSERT_FALSE(drawn.isNull());

  // 系统说明 from the menu on the surface; 返回 closes the help.
  ASSERT_TRUE(RightClickMenu(*app, {500, 650}));
  ASSERT_TRUE(ChooseMenuItem(*app, ItemHelp));
  auto help = WaitForHelp(*app);
  ASSERT_TRUE(help) << "no help window from the menu";
  // Above the surface: most of its place shows something else than the drawing.
  EXPECT_TRUE(WaitUntil(
      [&] {
        return Differences(X().Grab(help->Geometry), drawn.copy(help->Geometry)) >
               help->Geometry.width() * help->Geometry.height() / 2;
      },
      LoadedMs))
      << "the help window is not on screen";
  ASSERT_TRUE(ClickBack(*help));
  EXPECT_TRUE(HelpGone(*app)) << "返回 did not close the help window";
  EXPECT_TRUE(WaitUntil([&] { return Differences(X().GrabScreen(), drawn) == 0; }, LoadedMs))
      << Differences(X().GrabScreen(), drawn) << " pixels differ from the drawing";

  // The tool bar's help button; the window's close box (Alt+F4, openbox's Close) closes it.
  // The button under the pointer may look hovered afterwards: the bar is left out. Under Wine the
  // window manager is not told which window is active, so its Alt+F4 would go to the surface:
  // the close box then.
  ASSERT_TRUE(Xdo().Click(HelpButton.x(), HelpButton.y()));
  help = WaitForHelp(*app);
  ASSERT_TRUE(help) << "no help window from the tool bar";
  if (UnderWine()) {
    ASSERT_TRUE(X().AskToClose(help->Id));
  } else {
    ASSERT_TRUE(WaitUntil([&] { return X().ActiveWindow() == help->Id; }, LoadedMs)) << "the help window is not active";
    ASSERT_TRUE(Xdo().Key("alt+F4"));
  }
  EXPECT_TRUE(HelpGone(*app)) << "the close box did not close the help window";
  EXPECT_TRUE(WaitUntil([&] { return Differences(X().GrabScreen(), drawn, ToolBar) == 0; }, LoadedMs))
      << Differences(X().GrabScreen(), drawn, ToolBar) << " pixels differ from the drawing";
  EXPECT_TRUE(SurfaceCoversScreen(*app));
}

TEST_F(TIdleTest, ASecondStartBringsTheRunningCopyForward) {
  auto probe = Spawn(Probe, {"gui"});
  ASSERT_TRUE(probe->WaitForLine("ready"));
  probe->Send("show");
  const auto shown = probe->WaitForLine("shown");
  ASSERT_TRUE(shown);
  const xcb_window_t other = shown->mid(6).toUInt();
  auto app = StartApp();

  // Second start, either the help window or the surface has been left for another window.
  auto secondStart = [&](xcb_window_t expected) {
    SCOPED_TRACE(X().Name(expected).toStdString());
    ASSERT_TRUE(Xdo().Activate(other));
    ASSERT_TRUE(WaitUntil([&] { return X().ActiveWindow() == other; }, LoadedMs));
    QElapsedTimer timer;
    timer.start();
    auto second = SpawnApp();
    EXPECT_EQ(second->WaitForExit(LoadedMs), 0);
    const qint64 exitMs = timer.elapsed();
    EXPECT_LT(exitMs, 5000) << "the second copy took " << exitMs << " ms to exit";
    EXPECT_TRUE(WaitUntil([&] { return X().ActiveWindow() == expected; }, LoadedMs))
        << "active: " << X().ActiveWindow() << " (" << X().Name(X().ActiveWindow()).toStdString() << "), want "
        << expected;
    EXPECT_TRUE(app->Running());
  };

  // 系统说明 from the marker's menu opens the help window while idle.
  ASSERT_TRUE(RightClickMenu(*app, MarkerPicture()));
  ASSERT_TRUE(ChooseMenuItem(*app, ItemHelp));
  const auto help = WaitForHelp(*app);
  ASSERT_TRUE(help) << "no help window";
  secondStart(help->Id);
  ASSERT_TRUE(Help(*app)) << "the help window went";
  ASSERT_TRUE(ClickBack(*Help(*app)));
  EXPECT_TRUE(HelpGone(*app)) << "返回 did not close the help window";

  ASSERT_TRUE(HotKey());
  ASSERT_TRUE(WaitUntil([&] { return SurfaceCoversScreen(*app); }, LoadedMs));
  secondStart(Surface(*app)->Id);
  EXPECT_TRUE(SurfaceCoversScreen(*app));
}

TEST_F(TIdleTest, AFailureAtStartIsShownAndTheProgramEndsQuietly) {
  for (const char* kind : {"framework", "other"}) {
    SCOPED_TRACE(kind);
    QProcessEnvironment env = Session().Environment();
    env.insert("QUILMAR_TEST_FAIL_AT_START", kind);
    auto app = SpawnApp(&env);
    std::optional<TWindowInfo> box;
    ASSERT_TRUE(WaitUntil([&] { return (box = X().FindWindow(app->Pid(), "Quilmar")).has_value(); }, LoadedMs))
        << "no error box; stderr: " << app->StdErr().toStdString();
    EXPECT_FALSE(Marker(*app)) << "the marker shows beside the error";
    ASSERT_TRUE(WaitUntil([&] { return X().ActiveWindow() == box->Id; }, LoadedMs)) << "the error box has no focus";
    ASSERT_TRUE(Xdo().Key("Return"));
    EXPECT_EQ(app->WaitForExit(LoadedMs), 0);
  }
}

// What any local program of the same user may do to the activation socket: connect and say
// nothing, send garbage or far too much, flood. The running copy stays responsive, a real
// second start still reaches it, and it keeps no socket or memory for what it dropped.
TEST_F(TIdleTest, LocalClientsCannotStallOrFloodTheRunningCopy) {
  auto app = StartApp();
  const QDir runtime(Session().RuntimeDir());
  const QStringList sockets = runtime.entryList({"*.socket"}, QDir::System);
  ASSERT_EQ(sockets.size(), 1) << runtime.entryList(QDir::AllEntries | QDir::System).join(' ').toStdString();
  const QByteArray path = QFile::encodeName(runtime.filePath(sockets.front()));
  struct stat info {};
  ASSERT_EQ(stat(path.constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 077, 0u) << "the socket is open to others";

  auto connectClient = [&] {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), path.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      close(fd);
      return -1;
    }
    return fd;
  };
  auto openFiles = [&] { return QDir(QStringLiteral("/proc/%1/fd").arg(app->Pid())).count(); };
  auto residentKb = [&] {
    QFile status(QStringLiteral("/proc/%1/status").arg(app->Pid()));
    if (!status.open(QIODevice::ReadOnly)) return 0LL;
    for (const QByteArray& line : status.readAll().split('\n'))
      if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').front().toLongLong();
    return 0LL;
  };
  // Settled: the first activations and font loading are behind us.
  QThread::msleep(SettleMs);
  const auto filesBefore = openFiles();
  const long long rssBefore = residentKb();

  // Forty clients that never send anything, held open.
  std::vector<int> silent;
  for (int i = 0; i < 40; ++i) silent.push_back(connectClient());
  EXPECT_EQ(std::count(silent.begin(), silent.end(), -1), 0);
  // Garbage of every size, the activation word among it, and 32 MB sent as fast as it goes.
  std::mt19937 random(7);
  const QByteArray huge(1 << 20, 'K');
  for (int i = 0; i < 300; ++i) {
    const int fd = connectClient();
    if (fd < 0) continue;
    QByteArray junk(int(random() % 9000), '\0');
    for (char& ch : junk) ch = char(random());
    if (i % 3 == 0) junk.prepend("KezOnlyOne");
    (void)!send(fd, junk.constData(), junk.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    close(fd);
  }
  const int flood = connectClient();
  const timeval patience{1, 0};  // a copy that stops reading makes the sender wait this long
  if (flood >= 0) setsockopt(flood, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
  for (int i = 0; i < 32 && flood >= 0; ++i)
    if (send(flood, huge.constData(), huge.size(), MSG_NOSIGNAL) <= 0) break;

  // A real second start gets through while the silent ones still hang on, and quickly.
  QElapsedTimer timer;
  timer.start();
  auto second = SpawnApp();
  EXPECT_EQ(second->WaitForExit(LoadedMs), 0);
  EXPECT_LT(timer.elapsed(), 3000) << "the second start waited";
  ASSERT_TRUE(HotKey());
  EXPECT_TRUE(WaitUntil([&] { return SurfaceCoversScreen(*app); }, LoadedMs)) << "the hot key went unheard";
  ASSERT_TRUE(HotKey());
  EXPECT_TRUE(WaitUntil([&] { return !Surface(*app) || !Surface(*app)->Viewable; }, LoadedMs));

  // The dawdlers are dropped after a while, without the clients closing anything.
  EXPECT_TRUE(WaitUntil([&] { return openFiles() <= filesBefore + 1; }, LoadedMs))
      << openFiles() << " files open, " << filesBefore << " before";
  EXPECT_LT(residentKb() - rssBefore, 8 * 1024) << "kept what the clients sent";
  for (int fd : silent)
    if (fd >= 0) close(fd);
  if (flood >= 0) close(flood);
  EXPECT_TRUE(app->Running());
}

}  // namespace
}  // namespace e2e
