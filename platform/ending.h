#pragma once

#include <functional>
#include <memory>

#include "platform/strings.h"

// SIGTERM and SIGINT (on Windows: WM_CLOSE to the program's windows, as a polite "end task"
// sends) end the program the way its exit command does: `terminate` is called on
// the GUI thread, from the message loop, never from the signal handler itself. Signals that
// arrive while the program is already ending are let go.
class TTerminationSignals {
 public:
  explicit TTerminationSignals(std::function<void()> terminate);
  ~TTerminationSignals();
  TTerminationSignals(const TTerminationSignals&) = delete;
  TTerminationSignals& operator=(const TTerminationSignals&) = delete;

 private:
  class TImpl;
  std::unique_ptr<TImpl> FImpl;
};

// While one exists, losing the connection to the display ends the program at once: `release`
// lets go what other copies would trip over (the instance lock, the activation socket), one
// line on standard error says why, and the exit status is 1. Nothing else runs: every window
// went with the display, and the toolkit would otherwise call exit() from inside its event
// dispatch, running static destructors while its threads and objects still live.
class TLostDisplayGuard {
 public:
  explicit TLostDisplayGuard(std::function<void()> release);
  ~TLostDisplayGuard();
  TLostDisplayGuard(const TLostDisplayGuard&) = delete;
  TLostDisplayGuard& operator=(const TLostDisplayGuard&) = delete;

  // The line written when the display (its name, as in DISPLAY) is lost.
  static String Message(const String& display);
};
