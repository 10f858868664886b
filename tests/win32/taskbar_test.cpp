#include <gtest/gtest.h>

#include <map>

#include "platform/win32/taskbar.h"
#include "support.h"

namespace {

// The extended style each window had when it was told it is being shown, and whether it was
// visible yet: recorded by the window procedure, which runs after the hider's hook.
struct TShowRecord {
  LONG_PTR ExStyle = 0;
  bool AlreadyVisible = false;
  int Count = 0;
};
std::map<HWND, TShowRecord> ShowRecords;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SHOWWINDOW && wParam) {
    TShowRecord& record = ShowRecords[window];
    record.ExStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    record.AlreadyVisible = IsWindowVisible(window) != 0;
    ++record.Count;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

const wchar_t* RecordingClass() {
  static const bool registered = [] {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QuilmarRecording";
    return RegisterClassW(&windowClass) != 0;
  }();
  return registered ? L"QuilmarRecording" : nullptr;
}

HWND Make(DWORD exStyle, DWORD style, HWND parent = nullptr) {
  return CreateWindowExW(exStyle, RecordingClass(), L"w", style, 10, 10, 100, 80, parent, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

bool HasToolStyle(HWND window) {
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_EXSTYLE);
  return (style & WS_EX_TOOLWINDOW) && !(style & WS_EX_APPWINDOW);
}

TEST(TaskbarHider, EveryTopLevelWindowHasTheToolStyleBeforeEachShowing) {
  ShowRecords.clear();
  HWND before = Make(WS_EX_APPWINDOW, WS_OVERLAPPEDWINDOW);  // made before the hider exists
  ASSERT_TRUE(before);
  TWin32TaskbarHider hider;
  ASSERT_TRUE(hider.Active());
  EXPECT_TRUE(HasToolStyle(before));

  HWND plain = Make(0, WS_OVERLAPPEDWINDOW);
  HWND app = Make(WS_EX_APPWINDOW | WS_EX_TOPMOST, WS_POPUP);
  HWND reset = Make(0, WS_OVERLAPPEDWINDOW);
  ASSERT_TRUE(plain && app && reset);
  EXPECT_TRUE(HasToolStyle(plain));
  EXPECT_TRUE(HasToolStyle(app));
  // A toolkit recomputing a window's styles after creation writes them whole.
  SetWindowLongPtrW(reset, GWL_EXSTYLE, WS_EX_APPWINDOW | WS_EX_WINDOWEDGE);
  EXPECT_TRUE(HasToolStyle(reset));
  EXPECT_TRUE(GetWindowLongPtrW(reset, GWL_EXSTYLE) & WS_EX_WINDOWEDGE) << "other styles are kept";

  // A child, and a message-only window, have no task-bar button to lose and keep their style.
  HWND child = Make(0, WS_CHILD, plain);
  HWND messageOnly = Make(0, 0, HWND_MESSAGE);
  ASSERT_TRUE(child && messageOnly);
  EXPECT_FALSE(GetWindowLongPtrW(child, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_FALSE(GetWindowLongPtrW(messageOnly, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);

  for (HWND window : {before, plain, app, reset}) {
    ShowWindow(window, SW_SHOWNOACTIVATE);
    ShowWindow(window, SW_HIDE);
    ShowWindow(window, SW_SHOW);
  }
  PumpFor(100);
  for (HWND window : {before, plain, app, reset}) {
    SCOPED_TRACE(window);
    const TShowRecord& record = ShowRecords[window];
    EXPECT_EQ(record.Count, 2);
    EXPECT_TRUE(record.ExStyle & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(record.ExStyle & WS_EX_APPWINDOW);
    EXPECT_FALSE(record.AlreadyVisible);
  }
  EXPECT_TRUE(GetWindowLongPtrW(app, GWL_EXSTYLE) & WS_EX_TOPMOST) << "a stay-on-top window stays on top";

  for (HWND window : {child, messageOnly, before, plain, app, reset}) DestroyWindow(window);
}

TEST(TaskbarHider, WindowsMadeAfterItIsGoneAreLeftAlone) {
  { TWin32TaskbarHider hider; }
  HWND window = Make(WS_EX_APPWINDOW, WS_OVERLAPPEDWINDOW);
  ASSERT_TRUE(window);
  EXPECT_FALSE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  DestroyWindow(window);
}

}  // namespace
