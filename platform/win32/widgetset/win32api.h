#pragma once

// The Win32 API for the widgetset's sources, and the text conversions at its seam. The
// framework's headers name a few things the way <windows.h> names its macros (the key codes,
// WM_HOTKEY, RegisterWindowMessage, TextOut): those macros go, so that both can be included in
// any order and the framework's names (of the same values) are the ones in force. The
// framework's GlobalDeleteAtom returns nothing, so the system's declaration of it is renamed
// away.
#define GlobalDeleteAtom QuilmarSystemGlobalDeleteAtom
#include <windows.h>
// Included here, ahead of the framework's headers, for the same reason.
#include <commctrl.h>
#include <richedit.h>
#undef GlobalDeleteAtom
#undef GlobalAddAtom

#include <cstdint>
#include <string>
#include <string_view>

#undef VK_BACK
#undef VK_RETURN
#undef VK_ESCAPE
#undef VK_UP
#undef VK_DOWN
#undef VK_DELETE
#undef WM_HOTKEY
#undef WM_USER
#undef RegisterWindowMessage
#undef TextOut
#undef DrawText
#undef GetObject
#undef LoadBitmap
#undef LoadImage
#undef CreateFont
#undef CF_BITMAP

// The system headers' own macros built on WM_USER (commctrl.h, richedit.h) take the framework's.
#include "platform/strings.h"
#include "platform/sysutils.h"

// The program's UTF-8 text as Windows' UTF-16 (wchar_t is 16 bits there), and back; malformed
// input becomes U+FFFD.
inline std::wstring WideOf(std::string_view text) {
  const std::u16string utf16 = Utf16Of(text);
  return std::wstring(utf16.begin(), utf16.end());
}
inline String Utf8Of(std::wstring_view text) {
  return Utf8Of(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

inline HWND HwndOf(std::uintptr_t handle) { return reinterpret_cast<HWND>(handle); }
