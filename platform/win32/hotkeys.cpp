#include "platform/win32/hotkeys.h"

#include <windows.h>

#include "platform/win32/messagewindow.h"

TWin32HotKeys::TWin32HotKeys(TWin32MessageWindow& window) : FWindow(window) {
  FWindow.SetHandler(WM_HOTKEY, [this](std::uintptr_t wParam, std::intptr_t lParam) -> std::intptr_t {
    auto it = FHandlers.find(static_cast<int>(wParam));
    if (it == FHandlers.end()) return 0;
    const THandler handler = it->second;
    handler(static_cast<int>(wParam), LOWORD(lParam), HIWORD(lParam));
    return 0;
  });
}

TWin32HotKeys::~TWin32HotKeys() {
  UnregisterAll();
  FWindow.SetHandler(WM_HOTKEY, {});
}

bool TWin32HotKeys::Register(int id, unsigned modifiers, unsigned virtualKey, THandler handler) {
  HWND window = reinterpret_cast<HWND>(FWindow.Handle());
  if (!window) return false;
  if (FHandlers.count(id)) UnregisterHotKey(window, id);
  FHandlers.erase(id);
  if (!RegisterHotKey(window, id, modifiers, virtualKey)) return false;
  FHandlers[id] = std::move(handler);
  return true;
}

void TWin32HotKeys::UnregisterAll() {
  HWND window = reinterpret_cast<HWND>(FWindow.Handle());
  for (const auto& entry : FHandlers) UnregisterHotKey(window, entry.first);
  FHandlers.clear();
}

std::uint16_t AddGlobalAtom(const std::string& name) { return GlobalAddAtomA(name.c_str()); }

void DeleteGlobalAtom(std::uint16_t atom) {
  if (atom != 0) GlobalDeleteAtom(atom);
}
