#include "platform/win32/taskbar.h"

#include <windows.h>

namespace {

// Top-level windows get task-bar buttons; children never do, and message-only windows are
// children of HWND_MESSAGE, not of the desktop.
bool IsTopLevel(HWND window) {
  if (GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) return false;
  HWND parent = GetAncestor(window, GA_PARENT);
  return parent == nullptr || parent == GetDesktopWindow();
}

void SetToolStyle(HWND window) {
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_EXSTYLE);
  const LONG_PTR wanted = (style | WS_EX_TOOLWINDOW) & ~LONG_PTR{WS_EX_APPWINDOW};
  if (wanted != style) SetWindowLongPtrW(window, GWL_EXSTYLE, wanted);
}

LRESULT CALLBACK CreateHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    // The creation goes on with these values: the style is set from the start, and the window
    // procedure's WM_NCCREATE and WM_CREATE see it already.
    CREATESTRUCTW* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
    const bool child = (create->style & WS_CHILD) != 0 || create->hwndParent == HWND_MESSAGE;
    if (!child) {
      create->dwExStyle = (create->dwExStyle | WS_EX_TOOLWINDOW) & ~DWORD{WS_EX_APPWINDOW};
      SetToolStyle(reinterpret_cast<HWND>(wParam));
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Called before the window procedure sees each message sent to a window of this thread.
LRESULT CALLBACK MessageHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    // Some systems store the creation's styles only after the creation hook has run.
    bool showing = sent->message == WM_CREATE;
    if (sent->message == WM_SHOWWINDOW) showing = sent->wParam != 0;
    if (sent->message == WM_WINDOWPOSCHANGING)
      showing = (reinterpret_cast<const WINDOWPOS*>(sent->lParam)->flags & SWP_SHOWWINDOW) != 0;
    // The bit taken away from a window already made: put it back.
    bool styleLost = false;
    if (sent->message == WM_STYLECHANGED && sent->wParam == static_cast<WPARAM>(GWL_EXSTYLE)) {
      const auto* change = reinterpret_cast<const STYLESTRUCT*>(sent->lParam);
      styleLost = (change->styleNew & WS_EX_TOOLWINDOW) == 0 || (change->styleNew & WS_EX_APPWINDOW) != 0;
    }
    if ((showing || styleLost) && IsTopLevel(sent->hwnd)) SetToolStyle(sent->hwnd);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL CALLBACK ApplyToExisting(HWND window, LPARAM) {
  TWin32TaskbarHider::Apply(reinterpret_cast<std::uintptr_t>(window));
  return TRUE;
}

}  // namespace

TWin32TaskbarHider::TWin32TaskbarHider() {
  const DWORD thread = GetCurrentThreadId();
  FCreateHook = SetWindowsHookExW(WH_CBT, CreateHook, nullptr, thread);
  FMessageHook = SetWindowsHookExW(WH_CALLWNDPROC, MessageHook, nullptr, thread);
  EnumThreadWindows(thread, ApplyToExisting, 0);
}

TWin32TaskbarHider::~TWin32TaskbarHider() {
  if (FMessageHook) UnhookWindowsHookEx(static_cast<HHOOK>(FMessageHook));
  if (FCreateHook) UnhookWindowsHookEx(static_cast<HHOOK>(FCreateHook));
}

void TWin32TaskbarHider::Apply(std::uintptr_t window) {
  HWND handle = reinterpret_cast<HWND>(window);
  if (handle && IsTopLevel(handle)) SetToolStyle(handle);
}
