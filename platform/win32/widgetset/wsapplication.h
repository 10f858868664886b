#pragma once

#include "platform/application.h"
#include "platform/win32/widgetset/win32api.h"

// The message loops of the Win32 widgetset: the application's, the modal forms' and
// ProcessMessages all take messages the same way, and all of them end once the application is
// ending (Terminate, or the main form's closing).
namespace Win32Loop {

// Takes the next message, waiting for one, and dispatches it (a dialog form's keys through
// IsDialogMessage). False once the loops are to end.
bool HandleNext();
// Dispatches every message waiting, then returns.
void HandlePending();
// Every loop, nested ones included, returns; a menu being tracked closes.
void EndAll();
bool Ending();
// The application's loop starts anew (after an earlier one ended).
void Restart();

}  // namespace Win32Loop

// Runs a window procedure's part that calls into the program, reporting an exception that escapes
// it through the application's error report: it must not unwind through the system's frames.
// Without an application object (none made yet, or already gone) there is no report to show
// it in, and it goes on to the caller.
template <class F>
void Guarded(F&& f) {
  if (Application)
    RunHandler(std::forward<F>(f));
  else
    f();
}

// The shift state of the keyboard and mouse buttons now.
unsigned ShiftStateNow();
