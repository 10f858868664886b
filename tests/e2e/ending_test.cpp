// How the program ends from outside, at 1024x768: the X server going away (idle and working),
// SIGTERM and SIGINT in every kind of loop, and Ctrl+F1 already held by another client.
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/e2e/app_fixture.h"

namespace e2e {
namespace {

// How long a result may take to show on a machine busy with other sessions. An ending that
// takes this long is a hang, not a slow ending: the times are printed.
constexpr int LoadedMs = 15000;
const QString TrayTip = QStringLiteral("Quilmar - Quilmar开发组");
const QString KeyTaken = QStringLiteral(" (Ctrl+F1 已被其他程序占用)");
// The marker's play button, its centre inside the 36x36 window (resources/Form1.ui).
constexpr QPoint Bplay(18, 18);

class TEndingTest : public TAppTest {
 protected:
  // The instance lock and the activation socket the running copy keeps in the runtime dir.
  QStringList InstanceFiles() {
    return QDir(Session().RuntimeDir()).entryList({"OneInstanceAllowed-*"}, QDir::AllEntries | QDir::System);
  }
  // A copy that is listening for a second start, so that both of its files exist.
  std::unique_ptr<TChild> StartListening(const QProcessEnvironment* env = nullptr) {
    auto app = env ? SpawnApp(env) : StartApp();
    EXPECT_TRUE(WaitUntil([&] { return InstanceFiles().size() == 2; }, LoadedMs))
        << "instance files: " << InstanceFiles().join(' ').toStdString();
    return app;
  }
  std::optional<TWindowInfo> TrayIcon(const TChild& app) {
    for (const TWindowInfo& window : X().EmbeddedWindowsOfPid(app.Pid()))
      if (window.Viewable) return window;
    return std::nullopt;
  }
  std::optional<TWindowInfo> WaitForTrayIcon(const TChild& app) {
    std::optional<TWindowInfo> icon;
    WaitUntil([&] { return (icon = TrayIcon(app)).has_value(); }, LoadedMs);
    return icon;
  }
  // A small pop-up of `pid` (a tool tip: one line high, not the menu).
  std::optional<TWindowInfo> ToolTip(qint64 pid) {
    for (const TWindowInfo& window : X().WindowsOfPid(pid))
      if (window.Viewable && window.OverrideRedirect && window.Geometry.height() < 40) return window;
    return std::nullopt;
  }
  // The pixels of `window` once two grabs in a row agree.
  QImage SteadyGrab(xcb_window_t window) {
    QImage last, now;
    WaitUntil(
        [&] {
          const auto info = X().Info(window);
          if (!info || !info->Viewable) return false;
          now = X().Grab(info->Geometry);
          const bool steady = !now.isNull() && now == last;
          last = now;
          return steady;
        },
        LoadedMs, 100);
    return now;
  }
  // Sends `signal` and waits for the end; the exit code (nullopt for a hang or a crash). With
  // `again`, that signal follows every 2 ms until the end, to reach each step of the ending.
  std::optional<int> EndWith(TChild& app, int signal, const char* state, int again = 0) {
    QElapsedTimer timer;
    timer.start();
    app.Kill(signal);
    while (again && app.Running() && timer.elapsed() < LoadedMs) {
      app.Kill(again);
      usleep(2000);
    }
    const auto code = app.WaitForExit(LoadedMs);
    std::printf("[ figures  ] %s: %s ended the program in %lld ms\n", state, strsignal(signal),
                static_cast<long long>(timer.elapsed()));
    return code;
  }
};

// ---- The X server goes away

struct TLostServerCase {
  const char* Name;
  bool Working;
  int Signal;  // what ends the server
};

class TLostServerTest : public TEndingTest, public ::testing::WithParamInterface<TLostServerCase> {
 protected:
  // The session's Xvfb, the first process scripts/xsession recorded for it.
  qint64 ServerPid() {
    QFile pids(QDir::tempPath() + "/quilmar-xsession-" + Session().Display().mid(1) + ".pids");
    if (!pids.open(QIODevice::ReadOnly)) return 0;
    return QString::fromLatin1(pids.readLine()).trimmed().toLongLong();
  }
};

TEST_P(TLostServerTest, TheProgramEndsAtOnceWithOneLineAndLetsGoOfTheLock) {
  const TLostServerCase& c = GetParam();
  auto app = StartListening();
  ASSERT_TRUE(app->Running());
  if (c.Working) {
    ASSERT_TRUE(HotKey());
    ASSERT_TRUE(WaitUntil([&] { return SurfaceCoversScreen(*app); }, LoadedMs)) << "no surface";
  }
  const qint64 server = ServerPid();
  ASSERT_GT(server, 0);
  ASSERT_TRUE(ProcessAlive(server));
  const QString before = app->StdErr();

  QElapsedTimer timer;
  timer.start();
  ASSERT_EQ(::kill(pid_t(server), c.Signal), 0);
  // Normal exit with status 1: no abort, no crash in the toolkit's exit path.
  const auto code = app->WaitForExit(LoadedMs);
  const QString after = app->StdErr();
  std::printf("[ figures  ] %s, server %s: the program ended in %lld ms, status %s, stderr: %s", c.Name,
              strsignal(c.Signal), static_cast<long long>(timer.elapsed()),
              code ? std::to_string(*code).c_str() : "none (crash or hang)", after.toLocal8Bit().constData());
  EXPECT_EQ(code, 1) << "stderr before: " << before.toStdString();
  EXPECT_EQ(after, "Quilmar: the connection to the X server " + Session().Display() + " was lost; ending.\n");
  EXPECT_TRUE(InstanceFiles().isEmpty()) << "left behind: " << InstanceFiles().join(' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(States, TLostServerTest,
                         ::testing::Values(TLostServerCase{"idle", false, SIGTERM},
                                           TLostServerCase{"working", true, SIGKILL}),
                         [](const auto& info) { return std::string(info.param.Name); });

// ---- SIGTERM and SIGINT

TEST_F(TEndingTest, TerminationSignalsEndItCleanlyFromEveryLoop) {
  // Each copy must leave the lock and the socket behind it gone, or the next would not start.
  const auto endsCleanly = [&](TChild& app, int signal, const char* state, int again = 0) {
    SCOPED_TRACE(state);
    EXPECT_EQ(EndWith(app, signal, state, again), 0) << "stderr: " << app.StdErr().toStdString();
    EXPECT_TRUE(InstanceFiles().isEmpty()) << "left behind: " << InstanceFiles().join(' ').toStdString();
    EXPECT_EQ(app.StdErr(), QString());
  };
  const QPoint centre(Session().Size().width() / 2, Session().Size().height() / 2);

  {
    auto app = StartListening();
    ASSERT_TRUE(WaitForTrayIcon(*app));
    endsCleanly(*app, SIGTERM, "idle");
  }
  {
    auto app = StartListening();
    ASSERT_TRUE(HotKey());
    ASSERT_TRUE(WaitUntil([&] { return SurfaceCoversScreen(*app); }, LoadedMs)) << "no surface";
    endsCleanly(*app, SIGINT, "working", SIGTERM);
  }
  {
    auto app = StartListening();
    ASSERT_TRUE(HotKey());
    ASSERT_TRUE(WaitUntil([&] { return SurfaceCoversScreen(*app); }, LoadedMs)) << "no surface";
    ASSERT_TRUE(RightClickMenu(*app, centre)) << "no menu";
    endsCleanly(*app, SIGTERM, "the main menu open over the surface");
  }
  {
    // The help window's own loop with the error box's loop inside it; more signals follow the
    // first until the program has ended.
    auto app = StartListening();
    const auto icon = WaitForTrayIcon(*app);
    ASSERT_TRUE(icon) << "no tray icon";
    ASSERT_TRUE(Xdo().Move(icon->Geometry.center().x(), icon->Geometry.center().y()));
    ASSERT_TRUE(Xdo().Run({"click", "--repeat", "2", "--delay", "80", "1"}));
    ASSERT_TRUE(WaitUntil([&] { return X().FindWindow(app->Pid(), "Quilmar设置").has_value(); }, LoadedMs))
        << "no help window";
    // The pointer is still on the icon.
    ASSERT_TRUE(Xdo().Run({"click", "--repeat", "2", "--delay", "80", "1"}));
    ASSERT_TRUE(WaitUntil([&] { return X().FindWindow(app->Pid(), "Quilmar").has_value(); }, LoadedMs))
        << "no error box over the help";
    endsCleanly(*app, SIGTERM, "the help window and an error box open", SIGINT);
  }
  {
    // Before the message loop: the error box of a failed start-up.
    QProcessEnvironment env = Session().Environment();
    env.insert("QUILMAR_TEST_FAIL_AT_START", "framework");
    auto app = SpawnApp(&env);
    ASSERT_TRUE(WaitUntil([&] { return X().FindWindow(app->Pid(), "Quilmar").has_value(); }, LoadedMs))
        << "no error box; stderr: " << app->StdErr().toStdString();
    endsCleanly(*app, SIGINT, "the start-up error box open");
  }
}

// ---- Ctrl+F1 held by another client

TEST_F(TEndingTest, AHotKeyHeldElsewhereIsToldInTheTrayTipAndTheStatesStillSwitch) {
  auto probe = Spawn(Probe, {"gui"});
  ASSERT_TRUE(probe->WaitForLine("ready"));
  probe->Send("hotkey");
  ASSERT_EQ(probe->WaitForLine("registered"), "registered 1") << "the probe could not take Ctrl+F1 first";

  auto app = StartApp();
  const auto icon = WaitForTrayIcon(*app);
  ASSERT_TRUE(icon) << "no tray icon";
  // The tip comes up where the pointer rests on the icon, as for a person hovering it.
  ASSERT_TRUE(Xdo().Move(icon->Geometry.center().x() - 3, icon->Geometry.center().y() - 3));
  ASSERT_TRUE(Xdo().Move(icon->Geometry.center().x(), icon->Geometry.center().y()));
  std::optional<TWindowInfo> tip;
  ASSERT_TRUE(WaitUntil([&] { return (tip = ToolTip(app->Pid())).has_value(); }, LoadedMs)) << "no tool tip";
  const QImage shown = SteadyGrab(tip->Id);
  ASSERT_FALSE(shown.isNull());
  ASSERT_TRUE(Xdo().Move(100, 500));

  // The same toolkit in the probe draws a tip with a known text: same font, style and screen,
  // so the same text gives the same pixels.
  const auto probeTip = [&](const QString& text) {
    probe->Send("tooltip 100 300 " + text);
    std::optional<TWindowInfo> window;
    const bool shown = probe->WaitForLine("tooltip shown") &&
                       WaitUntil([&] { return (window = ToolTip(probe->Pid())).has_value(); }, LoadedMs);
    return shown ? SteadyGrab(window->Id) : QImage();
  };
  const QImage taken = probeTip(TrayTip + KeyTaken);
  const QImage plain = probeTip(TrayTip);
  ASSERT_FALSE(taken.isNull());
  ASSERT_FALSE(plain.isNull());
  ASSERT_NE(taken, plain);
  EXPECT_EQ(shown, taken) << "the tip shows " << shown.width() << "x" << shown.height() << ", the text "
                          << (TrayTip + KeyTaken).toStdString() << " gives " << taken.width() << "x" << taken.height()
                          << " (without the note " << plain.width() << "x" << plain.height() << ")";

  // Ctrl+F1 goes to its holder, not to us.
  ASSERT_TRUE(HotKey());
  EXPECT_TRUE(probe->WaitForLine("hotkey 7"));
  EXPECT_FALSE(WaitUntil([&] { return Surface(*app).has_value(); }, SettleMs)) << "Ctrl+F1 reached the program";

  // The play button starts working; 停止绘图, the first enabled item of the menu, ends it.
  const auto marker = X().FindWindow(app->Pid(), "KEZ");
  ASSERT_TRUE(marker);
  ASSERT_TRUE(Xdo().Click(marker->Geometry.x() + Bplay.x(), marker->Geometry.y() + Bplay.y()));
  ASSERT_TRUE(WaitUntil([&] { return SurfaceCoversScreen(*app); }, LoadedMs)) << "the play button did not work";
  ASSERT_TRUE(RightClickMenu(*app, {500, 400}));
  ASSERT_TRUE(Xdo().Key("Down") && Xdo().Key("Return"));
  EXPECT_TRUE(WaitUntil([&] { return !Surface(*app).has_value(); }, LoadedMs)) << "the menu did not stop working";
  EXPECT_TRUE(WaitUntil([&] { return X().FindWindow(app->Pid(), "KEZ").has_value(); }, LoadedMs));
}

}  // namespace
}  // namespace e2e
