#include "ws_support.h"

#include "platform/application.h"
#include "support.h"

bool LoopUntil(const std::function<bool()>& done, unsigned timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    Application->ProcessMessages();
    if (done()) return true;
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 20)), QS_ALLINPUT);
  }
}

namespace {

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (std::wstring(name) == L"#32770" && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK AddStatic(HWND window, LPARAM texts) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (_wcsicmp(name, L"Static") == 0) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    if (text[0]) {
      auto& all = *reinterpret_cast<std::wstring*>(texts);
      if (!all.empty()) all += L'\n';
      all += text;
    }
  }
  return TRUE;
}

}  // namespace

HWND FindSystemDialog() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::wstring StaticTexts(HWND dialog) {
  std::wstring texts;
  EnumChildWindows(dialog, AddStatic, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

void ClickAt(int x, int y) { RunHost("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1"); }

POINT CentreOf(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}
