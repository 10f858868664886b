// The program itself in a real X session, driven like a user would.
#include "tests/e2e/app_fixture.h"

namespace e2e {
namespace {

TEST_F(TAppTest, IdleShowsTheMarkerWhereItBelongs) {
  auto app = StartApp();
  const auto marker = X().FindWindow(app->Pid(), "KEZ");
  ASSERT_TRUE(marker);
  EXPECT_EQ(marker->Geometry, QRect(Session().Size().width() - 52, 28, 36, 36));
  EXPECT_FALSE(Surface(*app));
  QString wmClass;
  Xdo().Run({"search", "--pid", QString::number(app->Pid()), "--classname", "quilmar"}, &wmClass);
  EXPECT_FALSE(wmClass.trimmed().isEmpty()) << "no window with WM_CLASS quilmar";
}

TEST_F(TAppTest, CtrlF1FreezesTheScreenAndCtrlF1GivesItBack) {
  auto probe = Spawn(Probe, {"gui"});
  const QRect pattern = ShowPattern(*probe);
  auto app = StartApp();

  ASSERT_TRUE(HotKey());
  ASSERT_TRUE(WaitUntil([&] { return SurfaceCoversScreen(*app); })) << "no full-screen surface";
  ASSERT_FALSE(pattern.intersects(ToolBar));
  EXPECT_TRUE(WaitUntil([&] { return PatternMismatches(X().Grab(pattern)) == 0; }))
      << "the surface does not show the captured pixels";

  // Frozen: the live window under the surface changes, the screen does not.
  probe->Send("invert");
  ASSERT_TRUE(probe->WaitForLine("inverted"));
  EXPECT_FALSE(WaitUntil([&] { return PatternMismatches(X().Grab(pattern)) != 0; }, SettleMs));

  ASSERT_TRUE(HotKey());
  EXPECT_TRUE(WaitUntil([&] { return !Surface(*app); })) << "the surface stayed";
  EXPECT_TRUE(WaitUntil([&] { return PatternMismatches(X().Grab(pattern), true) == 0; }))
      << "the live desktop did not come back";
  EXPECT_TRUE(app->Running());
}

TEST_F(TAppTest, OtherCombinationsOfF1DoNothing) {
  auto app = StartApp();
  for (const char* other : {"ctrl+shift+F1", "ctrl+alt+F1", "F1"}) ASSERT_TRUE(Xdo().Key(other));
  // Handled in order: had one of them started the working state, this one would end it.
  ASSERT_TRUE(HotKey());
  ASSERT_TRUE(WaitUntil([&] { return SurfaceCoversScreen(*app); }));
  EXPECT_FALSE(WaitUntil([&] { return !Surface(*app); }, SettleMs));

  // And while working they do not end it.
  for (const char* other : {"ctrl+shift+F1", "ctrl+alt+F1"}) ASSERT_TRUE(Xdo().Key(other));
  EXPECT_FALSE(WaitUntil([&] { return !Surface(*app); }, SettleMs));
}

// An open menu holds the keyboard; Ctrl+F1 still switches, and the menu goes with it.
TEST_F(TAppTest, CtrlF1SwitchesWhileAMenuIsOpen) {
  auto app = StartApp();
  ASSERT_TRUE(RightClickMenu(*app, MarkerPicture()));
  ASSERT_TRUE(HotKey());
  EXPECT_TRUE(WaitUntil([&] { return SurfaceCoversScreen(*app) && !OpenMenu(*app); }));

  ASSERT_TRUE(RightClickMenu(*app, {Session().Size().width() / 2, Session().Size().height() / 2}));
  ASSERT_TRUE(HotKey());
  EXPECT_TRUE(WaitUntil([&] { return !Surface(*app) && !OpenMenu(*app); }));
  // The keyboard is free again: the next Ctrl+F1 is the ordinary one.
  ASSERT_TRUE(HotKey());
  EXPECT_TRUE(WaitUntil([&] { return SurfaceCoversScreen(*app); }));
  EXPECT_TRUE(app->Running());
}

TEST_F(TAppTest, ExitIsDisabledWhileWorkingAndQuitsWhenIdle) {
  auto app = StartApp();
  ASSERT_TRUE(HotKey());
  ASSERT_TRUE(WaitUntil([&] { return SurfaceCoversScreen(*app); }));

  // The last item, exit, is disabled: a click on it does nothing.
  ASSERT_TRUE(RightClickMenu(*app, {Session().Size().width() / 2, Session().Size().height() / 2}));
  const auto menu = OpenMenu(*app);
  ASSERT_TRUE(menu);
  ASSERT_TRUE(Xdo().Click(menu->Geometry.x() + 30, menu->Geometry.y() + menu->Geometry.height() - 8));
  EXPECT_FALSE(app->WaitForExit(SettleMs).has_value()) << "quit from the working state";
  ASSERT_TRUE(Xdo().Key("Escape"));
  ASSERT_TRUE(WaitUntil([&] { return !OpenMenu(*app); }));
  ASSERT_TRUE(HotKey());
  ASSERT_TRUE(WaitUntil([&] { return !Surface(*app); }));
  QuitFromMenu(*app);
  if (HasFatalFailure()) return;

  auto again = StartApp();
  EXPECT_TRUE(again->Running());
  EXPECT_FALSE(again->WaitForExit(SettleMs).has_value()) << "a new start after quitting ended";
}

TEST_F(TAppTest, SecondStartExitsAtOnceAndLeavesTheFirstAlone) {
  auto first = StartApp();
  for (bool working : {false, true}) {
    if (working) {
      ASSERT_TRUE(HotKey());
      ASSERT_TRUE(WaitUntil([&] { return SurfaceCoversScreen(*first); }));
    }
    const auto windowsBefore = Windows(first->Pid());
    auto second = SpawnApp();
    bool showedWindow = false;
    EXPECT_TRUE(WaitUntil([&] {
      showedWindow = showedWindow || !X().WindowsOfPid(second->Pid()).empty();
      return !second->Running();
    }));
    EXPECT_EQ(second->WaitForExit(), 0);
    EXPECT_FALSE(showedWindow);
    EXPECT_EQ(Windows(first->Pid()), windowsBefore) << (working ? "working" : "idle");
    EXPECT_TRUE(first->Running());
  }
}

TEST_F(TAppTest, TenSimultaneousStartsLeaveOneCopy) {
  std::vector<std::unique_ptr<TChild>> copies;
  for (int i = 0; i < 10; ++i) copies.push_back(SpawnApp());
  auto running = [&] {
    return std::count_if(copies.begin(), copies.end(), [](auto& copy) { return copy->Running(); });
  };
  EXPECT_TRUE(WaitUntil([&] { return running() <= 1; }, 10000));
  EXPECT_FALSE(WaitUntil([&] { return running() != 1; }, SettleMs)) << running() << " copies run";
  for (auto& copy : copies) {
    if (copy->Running())
      EXPECT_TRUE(WaitUntil([&] { return X().FindWindow(copy->Pid(), "KEZ").has_value(); }, 10000));
    else
      EXPECT_EQ(copy->WaitForExit(), 0);
  }
}

TEST_F(TAppTest, NoWindowOfOursHasATaskbarEntry) {
  auto app = StartApp();
  auto everyWindowSkips = [&] {
    const auto windows = X().WindowsOfPid(app->Pid());
    int viewable = 0;
    for (const TWindowInfo& window : windows) {
      if (!window.Viewable) continue;
      ++viewable;
      // A pop-up the window manager does not manage is never in a task bar (Wine's menus).
      if (window.OverrideRedirect && !X().FrameExtents(window.Id)) continue;
      EXPECT_TRUE(X().HasState(window.Id, "_NET_WM_STATE_SKIP_TASKBAR"))
          << "window '" << X().Name(window.Id).toStdString() << "'";
    }
    return viewable;
  };
  EXPECT_GE(everyWindowSkips(), 1);

  ASSERT_TRUE(RightClickMenu(*app, MarkerPicture()));
  EXPECT_GE(everyWindowSkips(), 2);
  ASSERT_TRUE(Xdo().Key("Escape"));
  ASSERT_TRUE(WaitUntil([&] { return !OpenMenu(*app); }));

  ASSERT_TRUE(HotKey());
  ASSERT_TRUE(WaitUntil([&] { return SurfaceCoversScreen(*app); }));
  EXPECT_GE(everyWindowSkips(), 2);
  ASSERT_TRUE(RightClickMenu(*app, {Session().Size().width() / 2, Session().Size().height() / 2}));
  EXPECT_GE(everyWindowSkips(), 3);
  ASSERT_TRUE(Xdo().Key("Escape"));
  ASSERT_TRUE(WaitUntil([&] { return !OpenMenu(*app); }));

  // Shown a second time, the surface must carry the state again.
  ASSERT_TRUE(HotKey());
  ASSERT_TRUE(WaitUntil([&] { return !Surface(*app); }));
  ASSERT_TRUE(HotKey());
  ASSERT_TRUE(WaitUntil([&] { return SurfaceCoversScreen(*app); }));
  EXPECT_TRUE(X().HasState(Surface(*app)->Id, "_NET_WM_STATE_SKIP_TASKBAR"));
}

}  // namespace
}  // namespace e2e
