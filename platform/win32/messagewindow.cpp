#include "platform/win32/messagewindow.h"

#include <windows.h>

namespace {

constexpr wchar_t ClassName[] = L"QuilmarMessageWindow";

LRESULT CALLBACK MessageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<TWin32MessageWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  std::intptr_t result = 0;
  if (self && self->Dispatch(message, wParam, lParam, result)) return result;
  // A polite "end task" (taskkill without /F) sends WM_CLOSE to every top-level window of the
  // program; the default would destroy this one and with it the hot key and the activation,
  // while the program itself goes on. It is ours to close, by its destructor only.
  if (message == WM_CLOSE) return 0;
  return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterClassOnce(HINSTANCE instance) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExW(instance, ClassName, &existing)) return true;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = MessageWindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = ClassName;
  return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

TWin32MessageWindow::TWin32MessageWindow() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!RegisterClassOnce(instance)) return;
  // WS_EX_TOOLWINDOW: should anything ever show it, it still gets no task-bar button.
  HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, ClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                instance, this);
  FHandle = reinterpret_cast<std::uintptr_t>(window);
}

TWin32MessageWindow::~TWin32MessageWindow() {
  if (!FHandle) return;
  HWND window = reinterpret_cast<HWND>(FHandle);
  // Messages still on their way find no object behind the window any more.
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  DestroyWindow(window);
}

void TWin32MessageWindow::SetHandler(unsigned message, THandler handler) {
  if (handler)
    FHandlers[message] = std::move(handler);
  else
    FHandlers.erase(message);
}

bool TWin32MessageWindow::Dispatch(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                                   std::intptr_t& result) {
  auto it = FHandlers.find(message);
  if (it == FHandlers.end()) {
    if (!FFallback) return false;
    const TFallback fallback = FFallback;
    return fallback(message, wParam, lParam, result);
  }
  // A copy: the handler may replace or remove itself, or run a nested loop that does.
  const THandler handler = it->second;
  result = handler(wParam, lParam);
  return true;
}

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}
