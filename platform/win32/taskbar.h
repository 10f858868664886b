#pragma once

#include <cstdint>

// Keeps every top-level window made by the calling thread off the task bar: WS_EX_TOOLWINDOW
// set and WS_EX_APPWINDOW cleared as the window is created, again just before each showing,
// and again whenever someone (a toolkit recomputing a window's styles) takes the bit away.
// The other extended styles (topmost, layered…) are kept. Windows the thread already has are
// changed at once. Covers windows a toolkit makes on its own: menus, dialogs, message boxes.
class TWin32TaskbarHider {
 public:
  TWin32TaskbarHider();
  ~TWin32TaskbarHider();
  TWin32TaskbarHider(const TWin32TaskbarHider&) = delete;
  TWin32TaskbarHider& operator=(const TWin32TaskbarHider&) = delete;

  // False when the hooks could not be installed (windows made later then keep their button).
  bool Active() const { return FCreateHook && FMessageHook; }

  // Gives one window the style now; child and message-only windows are left alone.
  static void Apply(std::uintptr_t window);

 private:
  void* FCreateHook = nullptr;
  void* FMessageHook = nullptr;
};
