#include <gtest/gtest.h>

#include <vector>

#include "platform/application.h"
#include "platform/timers.h"
#include "platform/win32/widgetset/wsapplication.h"
#include "ws_support.h"

namespace {

// A call queued from a handler runs once the handler has returned to the loop, and calls queued
// one after another run in that order.
TEST(TWin32Calls, AQueuedCallRunsAfterTheHandlerInOrder) {
  std::vector<int> order;
  bool handlerDone = false;
  QueueCall([&] {
    for (int i = 1; i <= 3; ++i) QueueCall([&order, i] { order.push_back(i); });
    CallAfter(0, [&] { order.push_back(4); });
    EXPECT_TRUE(order.empty());
    handlerDone = true;
  });
  EXPECT_FALSE(handlerDone);
  ASSERT_TRUE(LoopUntil([&] { return order.size() == 4; }, 2000));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

TEST(TWin32Calls, ALaterCallWaitsItsTimeAndEqualTimesKeepTheirOrder) {
  std::vector<int> order;
  const ULONGLONG start = GetTickCount64();
  ULONGLONG ranAt = 0;
  CallAfter(120, [&] {
    order.push_back(2);
    ranAt = GetTickCount64();
  });
  CallAfter(120, [&] { order.push_back(3); });
  CallAfter(30, [&] { order.push_back(1); });
  ASSERT_TRUE(LoopUntil([&] { return order.size() == 3; }, 3000));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  EXPECT_GE(ranAt - start, 110u);
}

// Terminate ends the loop it is called from and every loop it runs in: here a modal form's, with
// the form still shown.
TEST(TWin32Loop, TerminateEndsNestedLoops) {
  TForm form("Modal", TFormRole::Dialog);
  bool ran = false;
  CallAfter(50, [&] {
    ran = true;
    Win32Loop::EndAll();
  });
  form.ShowModal();
  EXPECT_TRUE(ran);
  EXPECT_TRUE(Win32Loop::Ending());
  EXPECT_FALSE(Win32Loop::HandleNext());
  form.Hide();
  Win32Loop::Restart();
  bool later = false;
  QueueCall([&] { later = true; });
  EXPECT_TRUE(LoopUntil([&] { return later; }, 1000));
}

// An exception escaping a handler is shown in the error box (error icon, the application's
// title, the text with its full stop, above the stay-on-top windows) and the loop carries on.
TEST(TWin32Loop, AnEscapedExceptionShowsTheErrorBox) {
  std::wstring title, text;
  LONG_PTR exStyle = 0;
  bool checked = false;
  QueueCall([] { throw Exception("Cannot open the picture"); });
  // Runs from the message box's own loop.
  std::function<void()> look = [&] {
    HWND box = FindSystemDialog();
    if (!box) {
      CallAfter(20, look);
      return;
    }
    wchar_t caption[128] = {};
    GetWindowTextW(box, caption, 128);
    title = caption;
    text = StaticTexts(box);
    exStyle = GetWindowLongPtrW(box, GWL_EXSTYLE);
    checked = true;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  };
  CallAfter(20, look);
  ASSERT_TRUE(LoopUntil([&] { return checked && !FindSystemDialog(); }, 5000));
  EXPECT_EQ(title, L"Quilmar");
  EXPECT_NE(text.find(L"Cannot open the picture."), std::wstring::npos) << Utf8Of(text);
  EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
  bool after = false;
  QueueCall([&] { after = true; });
  EXPECT_TRUE(LoopUntil([&] { return after; }, 1000));
}

TEST(TWin32Screen, MonitorsAndPointerInDevicePixels) {
  // The test session's screen is 1024 x 768 (scripts/win32-test).
  EXPECT_EQ(Screen().PrimaryMonitorRect(), (TRect{0, 0, 1024, 768}));
  EXPECT_EQ(Screen().DesktopRect(), (TRect{0, 0, 1024, 768}));
  EXPECT_EQ(ScreenWidth(), 1024);
  ASSERT_TRUE(SetCursorPos(300, 200));
  EXPECT_TRUE(LoopUntil([] { return Screen().CursorPos() == TPoint{300, 200}; }, 2000));
  EXPECT_EQ(Screen().MonitorRectUnderPointer(), Screen().PrimaryMonitorRect());
}

// Initialize took the system colours from the desktop.
TEST(TWin32Colors, TheDesktopColoursAreTheSystemOnes) {
  for (const auto& [color, index] : {std::pair{clBtnFace, COLOR_BTNFACE}, std::pair{clHighlight, COLOR_HIGHLIGHT},
                                     std::pair{clWindowText, COLOR_WINDOWTEXT}, std::pair{clGrayText, COLOR_GRAYTEXT}})
    EXPECT_EQ(ColorToRGB(color), GetSysColor(index)) << index;
}

}  // namespace
