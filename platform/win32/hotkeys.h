#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

class TWin32MessageWindow;

// System-wide hot keys with RegisterHotKey, delivered as WM_HOTKEY to our message window.
// Windows matches the modifiers exactly: a key registered with Ctrl alone does not arrive for
// Ctrl+Shift or Ctrl+Alt.
class TWin32HotKeys {
 public:
  // The identifier, the modifiers (MOD_ALT 1, MOD_CONTROL 2, MOD_SHIFT 4, MOD_WIN 8) and the
  // virtual key, as WM_HOTKEY carries them.
  using THandler = std::function<void(int id, unsigned modifiers, unsigned virtualKey)>;

  explicit TWin32HotKeys(TWin32MessageWindow& window);
  ~TWin32HotKeys();
  TWin32HotKeys(const TWin32HotKeys&) = delete;
  TWin32HotKeys& operator=(const TWin32HotKeys&) = delete;

  // False when the key cannot be had: another program (or this one, under another identifier)
  // holds the same combination.
  bool Register(int id, unsigned modifiers, unsigned virtualKey, THandler handler);
  void UnregisterAll();

 private:
  TWin32MessageWindow& FWindow;
  std::map<int, THandler> FHandlers;
};

// A global atom for `name` (GlobalAddAtomA; counted, 0 on failure) and its release.
std::uint16_t AddGlobalAtom(const std::string& name);
void DeleteGlobalAtom(std::uint16_t atom);
