#pragma once

#include <cstdint>
#include <functional>
#include <map>

// A hidden top-level window of our own for what Windows sends to a window rather than to the
// program: registered broadcasts, hot keys, the notification-area icon's callbacks. It is
// top-level and not message-only, since HWND_BROADCAST reaches top-level windows only, and it
// is never shown. Handlers run on the thread that made the window, from whichever loop
// dispatches its messages (Qt's, a modal dialog's, a test's). WM_CLOSE reaches a handler set for
// it but never closes the window.
class TWin32MessageWindow {
 public:
  // Returns the message's result; the message counts as handled.
  using THandler = std::function<std::intptr_t(std::uintptr_t wParam, std::intptr_t lParam)>;

  TWin32MessageWindow();
  ~TWin32MessageWindow();
  TWin32MessageWindow(const TWin32MessageWindow&) = delete;
  TWin32MessageWindow& operator=(const TWin32MessageWindow&) = delete;

  // The HWND; 0 when the window could not be made.
  std::uintptr_t Handle() const { return FHandle; }
  explicit operator bool() const { return FHandle != 0; }

  // One handler per message number; an empty one removes it.
  void SetHandler(unsigned message, THandler handler);
  // For the messages without a handler of their own (registered messages, whose numbers are not
  // known ahead): returns true, with the result set, when it took the message.
  using TFallback = std::function<bool(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                                       std::intptr_t& result)>;
  void SetFallback(TFallback fallback) { FFallback = std::move(fallback); }

  // Called by the window procedure: true when a handler took the message.
  bool Dispatch(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result);

 private:
  std::uintptr_t FHandle = 0;
  std::map<unsigned, THandler> FHandlers;
  TFallback FFallback;
};

// Runs every message waiting for the calling thread, then returns.
void PumpMessages();
