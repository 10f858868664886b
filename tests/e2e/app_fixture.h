#pragma once

// The program itself in a real X session: starting it and finding its windows and menus.
#include <QFileInfo>
#include <QThread>
#include <functional>

#include "tests/e2e/harness.h"

namespace e2e {

// QUILMAR_APP in the environment names another build of the program (the sanitized one).
inline const QString App = qEnvironmentVariable("QUILMAR_APP", QStringLiteral(QUILMAR_APP));
// QUILMAR_E2E_EXE names the Windows program instead: the same scenarios then drive
// `wine quilmar.exe` in the prefix of WINEPREFIX (scripts/wine-e2e makes one per run).
inline const QString WindowsExe = qEnvironmentVariable("QUILMAR_E2E_EXE");
inline bool UnderWine() { return !WindowsExe.isEmpty(); }
// The system's dialogs by their titles: Qt's speak Chinese, Wine's own English (a Chinese
// Windows names them 另存为, 打开 and 字体 too).
inline const QString SaveTitle = UnderWine() ? QStringLiteral("Save As") : QStringLiteral("另存为");
inline const QString OpenTitle = UnderWine() ? QStringLiteral("Open") : QStringLiteral("打开");
inline const QString FontTitle = UnderWine() ? QStringLiteral("Font") : QStringLiteral("字体");
// A file's name as typed into a dialog of the program: the Windows one sees the Linux file
// system as drive Z:.
inline QString TypedPath(QString path) {
  return UnderWine() ? "Z:" + path.replace('/', '\\') : path;
}
inline const QString Probe = QStringLiteral(QUILMAR_E2E_PROBE);
inline const QRect ToolBar(216, 0, 540, 28);
// How long a window must stay as it is to count as left alone after an input was handled.
constexpr int SettleMs = 500;

class TAppTest : public TXSessionTest {
 protected:
  void SetUp() override {
    const QString program = UnderWine() ? WindowsExe : App;
    if (!QFileInfo(program).isFile()) GTEST_SKIP() << "the program is not built yet (" << program.toStdString() << ")";
    TXSessionTest::SetUp();
  }
  void TearDown() override {
    // Wine's own processes (its server, its desktop) belong to this session's display: they go
    // with it, and the next test starts them afresh on its own.
    if (UnderWine()) QProcess::execute("sh", {"-c", "wineserver -k; wineserver -w"});
    TXSessionTest::TearDown();
  }

  // A copy of the program, started with `env` or the session's environment.
  std::unique_ptr<TChild> SpawnApp(const QProcessEnvironment* env = nullptr) {
    auto app = UnderWine() ? Spawn("wine", {WindowsExe}, env) : Spawn(App, {}, env);
    if (!ProcessAlive(FProgram)) FProgram = app->Pid();
    return app;
  }
  // Starts a copy and waits for its marker window.
  std::unique_ptr<TChild> StartApp() {
    auto app = SpawnApp();
    EXPECT_TRUE(WaitUntil([&] { return X().FindWindow(app->Pid(), "KEZ").has_value(); }, 10000))
        << "no marker window; stderr: " << app->StdErr().toStdString();
    return app;
  }
  // Ctrl+F1 pressed. Under Wine the hot key is not global: it arrives only while a window of
  // the program has the X focus, so the program's surface or marker gets it first, as a
  // teacher's click on the marker would give it.
  bool HotKey() {
    KeepKeyboard();
    return Xdo().Key("ctrl+F1");
  }
  bool HasFocus(qint64 pid) {
    const xcb_window_t focus = X().InputFocus();
    const auto windows = X().WindowsOfPid(pid);
    return std::any_of(windows.begin(), windows.end(), [&](const TWindowInfo& w) { return w.Id == focus; });
  }
  std::optional<TWindowInfo> Surface(const TChild& app) { return X().FindWindow(app.Pid(), "FCover"); }
  bool SurfaceCoversScreen(const TChild& app) {
    const auto surface = Surface(app);
    return surface && surface->Geometry == QRect(QPoint(0, 0), Session().Size());
  }
  // Where the screen may differ from the surface's pixels while working: the tool bar, and under
  // Wine the tray's panel, which openbox keeps above a surface it has not given the keyboard.
  bool OutsideSurface(int x, int y) {
    if (ToolBar.contains(x, y)) return true;
    if (!UnderWine()) return false;
    if (FTray.isNull())
      for (xcb_window_t panel : Xdo().Search({"--onlyvisible", "--class", "tint2"}))
        if (const auto info = X().Info(panel)) FTray |= info->Geometry;
    return FTray.contains(x, y);
  }
  std::optional<TWindowInfo> OpenMenu(const TChild& app) {
    // The menu is the one pop-up of ours big enough for 18 items.
    for (const TWindowInfo& window : X().WindowsOfPid(app.Pid())) {
      if (window.Viewable && window.OverrideRedirect && window.Geometry.height() > 18 * 10) return window;
    }
    return std::nullopt;
  }
  // Right-clicks at `where` and waits for the main menu. The pointer comes from elsewhere, as
  // a hand's would: a click where the pointer already rested when the surface appeared may
  // reach a window that has not seen it enter.
  // Under Wine a menu opened from the tray icon has no keyboard: Wine's tray icons belong to its
  // explorer, so the press leaves the X focus with none of the program's windows, where Windows
  // puts the menu's hidden owner in the foreground. The menu gets it then, as on Windows.
  bool RightClickMenu(const TChild& app, QPoint where) {
    if (!Xdo().Move(where.x() + 5, where.y() + 5) || !Xdo().Click(where.x(), where.y(), 3) ||
        !MenuDrawn([&] { return OpenMenu(app); }))
      return false;
    if (UnderWine() && !HasFocus(app.Pid()))
      if (const auto menu = OpenMenu(app)) return Xdo().Focus(menu->Id);
    return true;
  }
  // The menu `find` finds shows and is drawn: keys go to it now. Wine's menu loses the keys that
  // come before.
  bool MenuDrawn(const std::function<std::optional<TWindowInfo>()>& find, int timeoutMs = 15000) {
    QImage last;
    return WaitUntil(
        [&] {
          const auto menu = find();
          // The part on screen: a menu may reach a pixel past the screen's edge.
          const QImage now = menu ? X().Grab(menu->Geometry & QRect(QPoint(), Session().Size())) : QImage();
          const bool drawn = !now.isNull() && now == last;
          last = now;
          return drawn;
        },
        timeoutMs, 50);
  }
  // The window `name` of `app` shows and has the keyboard: what is typed now reaches it.
  bool WindowWithKeyboard(const TChild& app, const QString& name, int timeoutMs = 15000) {
    bool asked = false;
    return WaitUntil(
        [&] {
          const auto window = X().FindWindow(app.Pid(), name);
          if (!window) return false;
          if (X().InputFocus() == window->Id) return true;
          // See KeepKeyboard: under Wine, a window that shows while no window has the keyboard
          // may stay without it.
          if (UnderWine() && !asked && !HasFocus(app.Pid())) asked = Xdo().Activate(window->Id);
          return false;
        },
        timeoutMs);
  }
  // Wine 8 asks the window manager for no activation: when a dialog of the program closes,
  // openbox hands the keyboard to none of its windows, which all skip the task bar, where Windows
  // hands it back to the owner. The surface or the marker then gets it back as a teacher's click
  // would give it; while a window of the program has it, Wine passes the keys on to the window
  // the program gave them to.
  void KeepKeyboard() {
    if (!UnderWine() || HasFocus(FProgram)) return;
    for (const char* name : {"FCover", "KEZ"})
      if (const auto window = X().FindWindow(FProgram, name)) {
        Xdo().Activate(window->Id);
        WaitUntil([&] { return HasFocus(FProgram); });
        return;
      }
  }
  // A drag of the left button along `path`; consecutive points must differ (a synchronous move
  // to where the pointer is never ends). Under Wine the moves come at a hand's pace: Wine keeps no
  // history of the moves between two that a busy program reads (the one Windows'
  // GetMouseMovePointsEx gives), so moves sent faster than it draws would merge, and a stroke
  // would cut its corners.
  // The pointer comes to the first point from beside it, as a hand's would: a press where the
  // pointer already rested when the surface appeared may reach a window that has not seen it enter.
  // Under Wine it goes straight there and the press waits a moment: a move just before the press
  // may reach the program with the stroke (its first segment then bends through that point).
  bool Drag(const std::vector<QPoint>& path) {
    if (!UnderWine() && !Xdo().Move(path.front().x() + 8, path.front().y() + 8)) return false;
    if (!Xdo().Move(path.front().x(), path.front().y())) return false;
    if (UnderWine()) QThread::msleep(30);
    if (!Xdo().Run({"mousedown", "1"})) return false;
    for (std::size_t i = 1; i < path.size(); ++i) {
      if (UnderWine()) QThread::msleep(10);
      if (!Xdo().Move(path[i].x(), path[i].y())) return false;
    }
    return Xdo().Run({"mouseup", "1"});
  }
  // Items of the main menu, 18 in all. Idle only 开始绘图 and the last three are enabled;
  // working, every one but those two ends.
  enum TMainItem { ItemStart = 0, ItemRefresh = 9, ItemShowTools = 12, ItemShowMarker = 15, ItemHelp = 16, ItemExit = 17 };
  // The main menu is open: chooses `item` with the keyboard, from the nearer end. Qt's menus
  // step over disabled items, Home and End included; Windows' (and Wine's) step onto them too.
  bool ChooseMenuItem(const TChild& app, TMainItem item) {
    const bool working = Surface(app).has_value();
    const auto steps = [&](int from, int to) {
      int count = 0;
      for (int i = std::min(from, to); i <= std::max(from, to); ++i)
        count += UnderWine() || (working ? i != ItemStart && i != ItemExit : i == ItemStart || i >= ItemShowMarker);
      return count;
    };
    const bool up = item > ItemExit / 2;
    return StepThroughMenu(steps(up ? ItemExit : 0, item), up) && Xdo().Key("Return") &&
           WaitUntil([&] { return !OpenMenu(app); }, 15000);
  }
  // In an open menu, `count` items down from the top (or up from the bottom) with the keyboard.
  // Wine's menu takes the item under the pointer as chosen already: the steps start from the
  // first or last item there. (Qt's menus leave an item under the pointer alone until it moves,
  // and take Home and End for scrolling.)
  bool StepThroughMenu(int count, bool up = false) {
    if (UnderWine() && count-- > 0 && !Xdo().Key(up ? "End" : "Home")) return false;
    for (; count > 0; --count)
      if (!Xdo().Key(up ? "Up" : "Down")) return false;
    return true;
  }
  // Back to idle if working, then the menu's last item, exit: the program must end with status 0
  // (a sanitized build also checks for leaks on the way out and fails the exit when it finds one).
  void QuitFromMenu(TChild& app) {
    if (Surface(app)) {
      ASSERT_TRUE(HotKey());
      ASSERT_TRUE(WaitUntil([&] { return !Surface(app); }));
    }
    ASSERT_TRUE(RightClickMenu(app, MarkerPicture()));
    ASSERT_TRUE(ChooseMenuItem(app, ItemExit));
    EXPECT_EQ(app.WaitForExit(10000), 0) << "stderr: " << app.StdErr().toStdString();
  }
  // A corner of the marker's picture, clear of its five buttons.
  QPoint MarkerPicture() { return {Session().Size().width() - 52 + 4, 28 + 4}; }
  // The viewable windows of `pid`, for a failure's message.
  std::string ShownWindows(qint64 pid) {
    QString list;
    for (const TWindowInfo& w : X().WindowsOfPid(pid))
      if (w.Viewable)
        list += QStringLiteral(" '%1' %2x%3+%4+%5%6")
                    .arg(X().Name(w.Id))
                    .arg(w.Geometry.width())
                    .arg(w.Geometry.height())
                    .arg(w.Geometry.x())
                    .arg(w.Geometry.y())
                    .arg(w.OverrideRedirect ? " pop-up" : "");
    return list.toStdString();
  }
  // The viewable windows of `pid` with their geometry, to compare before and after.
  std::vector<std::pair<QString, QRect>> Windows(qint64 pid) {
    std::vector<std::pair<QString, QRect>> list;
    for (const TWindowInfo& window : X().WindowsOfPid(pid))
      if (window.Viewable) list.emplace_back(X().Name(window.Id), window.Geometry);
    std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return list;
  }
  // A pattern window of the probe, shown and on screen; its geometry.
  QRect ShowPattern(TChild& probe) {
    EXPECT_TRUE(probe.WaitForLine("ready"));
    return TXSessionTest::ShowPattern(probe, {100, 120, 400, 300});
  }

 private:
  qint64 FProgram = 0;  // the first copy still running: the one the hot key is for
  QRect FTray;
};

}  // namespace e2e
