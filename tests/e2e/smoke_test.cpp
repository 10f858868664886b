#include "tests/e2e/harness.h"

namespace e2e {
namespace {

const QString Probe = QStringLiteral(QUILMAR_E2E_PROBE);

// The session works end to end: a window appears under the window manager, xdotool finds it
// by name, a click reaches it and its new colour reaches the screen.
TEST_F(TXSessionTest, WindowAppearsIsFoundAndTakesAClick) {
  auto probe = Spawn(Probe, {"gui"});
  ASSERT_TRUE(probe->WaitForLine("ready"));
  probe->Send("smoke");
  ASSERT_TRUE(probe->WaitForLine("shown"));

  std::vector<xcb_window_t> found;
  ASSERT_TRUE(WaitUntil([&] {
    found = Xdo().Search({"--onlyvisible", "--name", "^QuilmarSmoke$"});
    return !found.empty();
  }));
  std::optional<TWindowInfo> window;
  ASSERT_TRUE(WaitUntil([&] {
    window = X().Info(found.front());
    return window && window->Viewable &&
           X().Grab({window->Geometry.center(), QSize(1, 1)}).pixel(0, 0) == qRgb(255, 0, 0);
  })) << "the red window never reached the screen";
  EXPECT_EQ(X().WindowsOfPid(probe->Pid()).size(), 1u);

  const QPoint target = window->Geometry.center();
  ASSERT_TRUE(Xdo().Click(target.x(), target.y()));
  const auto click = probe->WaitForLine("click");
  ASSERT_TRUE(click);
  const QStringList words = click->split(' ');
  EXPECT_EQ(words.value(1).toDouble(), target.x() - window->Geometry.x());
  EXPECT_EQ(words.value(2).toDouble(), target.y() - window->Geometry.y());
  EXPECT_TRUE(WaitUntil([&] {
    return X().Grab({target, QSize(1, 1)}).pixel(0, 0) == qRgb(0, 255, 0);
  })) << "the click did not turn the window green on screen";
}

}  // namespace
}  // namespace e2e
