#include "platform/win32/widgetset/wsapplication.h"

#include "platform/controls.h"
#include "platform/desktop.h"
#include "platform/forms.h"
#include "platform/win32/widgetset/wscontrols.h"
#include "platform/win32/widgetset/wsforms.h"
#include "platform/win32/widgetset/wspainter.h"
#include "platform/win32/widgetset/wsraster.h"

namespace {

bool EndingLoops = false;

void Dispatch(MSG& message) {
  // A dialog form moves the focus with Tab, closes on Escape and clicks on Enter, as the
  // system's dialogs do.
  if (HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr; root && IsDialogForm(root)) {
    if (IsDialogMessageW(root, &message)) return;
  }
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

// Per-monitor awareness: logical pixels are device pixels on every monitor. Wine refuses the
// call (every process is aware there already), and an older Windows lacks it.
void DeclareDpiAwareness() {
  using TSetContext = BOOL(WINAPI*)(HANDLE);
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  auto set = user32 ? reinterpret_cast<TSetContext>(
                          reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")))
                    : nullptr;
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
  if (!set || !set(reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4)))) SetProcessDPIAware();
}

HHOOK TopmostBoxHook = nullptr;

LRESULT CALLBACK RaiseBox(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    HWND window = reinterpret_cast<HWND>(wParam);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (std::wstring_view(name) == L"#32770") {
      SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      UnhookWindowsHookEx(TopmostBoxHook);
      TopmostBoxHook = nullptr;
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

class TWin32Application final : public TWSApplication {
 public:
  TWin32Application() {
    DeclareDpiAwareness();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    InstallWin32RasterEngines();
    InstallWin32WidgetSet();
    InstallWin32PictureRenderer();
  }

  void SetName(const String& name) override { FName = name; }

  void Run() override {
    Win32Loop::Restart();
    while (Win32Loop::HandleNext()) {
    }
  }

  void Terminate() override { Win32Loop::EndAll(); }
  void ProcessMessages() override { Win32Loop::HandlePending(); }
  // The system keeps only the latest pointer position for WM_MOUSEMOVE; the paint box asks for
  // the points between (GetMouseMovePointsEx) while moves are not to be merged.
  bool MergesPointerMoves() const override { return FMergeMoves; }
  void SetMergePointerMoves(bool merge) override { FMergeMoves = merge; }

  void Restore() override {
    for (HWND window : FormWindows())
      if (IsWindowVisible(window) && IsIconic(window)) ShowWindow(window, SW_RESTORE);
  }

  void BringToFront() override {
    HWND target = LastActiveFormWindow();
    if (!target && Application && Application->MainForm()) target = HwndOf(Application->MainForm()->NativeWindow());
    if (!target || !IsWindowVisible(target) || !IsWindowEnabled(target)) return;
    SetForegroundWindow(target);
    Application->Desktop().ActivateWindow(reinterpret_cast<std::uintptr_t>(target));
  }

  void ShowError(const String& title, const String& text) override {
    HWND owner = GetActiveWindow();
    // MB_TOPMOST alone leaves the box under the stay-on-top surface where the system ignores it
    // (Wine): the box is made topmost as it is activated too.
    TopmostBoxHook = SetWindowsHookExW(WH_CBT, RaiseBox, nullptr, GetCurrentThreadId());
    MessageBoxW(owner, WideOf(text).c_str(), WideOf(title).c_str(), MB_OK | MB_ICONERROR | MB_TOPMOST);
    if (TopmostBoxHook) UnhookWindowsHookEx(TopmostBoxHook);
    TopmostBoxHook = nullptr;
  }

  std::array<TColor, SystemColorCount> DesktopColors() const override {
    std::array<TColor, SystemColorCount> scheme = ClassicSystemColorScheme();
    for (int i = 0; i < SystemColorCount; ++i) {
      // An index the system has no colour for (25) keeps the classic one.
      if (GetSysColorBrush(i)) scheme[std::size_t(i)] = GetSysColor(i);
    }
    return scheme;
  }

 private:
  String FName;
  bool FMergeMoves = true;
};

}  // namespace

namespace Win32Loop {

bool HandleNext() {
  if (EndingLoops) return false;
  MSG message;
  const BOOL got = GetMessageW(&message, nullptr, 0, 0);
  if (got == 0 || got == -1) {
    EndingLoops = true;
    return false;
  }
  Dispatch(message);
  return !EndingLoops;
}

void HandlePending() {
  MSG message;
  while (!EndingLoops && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      EndingLoops = true;
      break;
    }
    Dispatch(message);
  }
}

void EndAll() {
  EndingLoops = true;
  EndMenu();
  // Wakes a loop waiting in GetMessage, the system's own (a message box) included.
  PostQuitMessage(0);
}

bool Ending() { return EndingLoops; }

void Restart() {
  EndingLoops = false;
  MSG message;
  while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

}  // namespace Win32Loop

unsigned ShiftStateNow() {
  unsigned s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
  if (GetKeyState(VK_LBUTTON) < 0) s |= ssLeft;
  if (GetKeyState(VK_RBUTTON) < 0) s |= ssRight;
  if (GetKeyState(VK_MBUTTON) < 0) s |= ssMiddle;
  return s;
}

std::unique_ptr<TWSApplication> CreateWSApplication(int&, char**) { return std::make_unique<TWin32Application>(); }

int ScreenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
int ScreenHeight() { return GetSystemMetrics(SM_CYSCREEN); }
