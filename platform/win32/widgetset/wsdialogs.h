#pragma once

#include "platform/win32/widgetset/win32api.h"

// The system's modal dialogs (file, font, message box) on Win32: each is owned by the window the
// framework's dialogs open above, and made topmost as it comes up, so that a stay-on-top form
// never hides it.

// The active window of ours, else the form that was active last, else the main form; null when
// none of them shows.
HWND DialogOwnerWindow();

// While it lives, the next system dialog (#32770) of this thread that activates is made topmost.
class TTopmostDialogScope {
 public:
  TTopmostDialogScope();
  ~TTopmostDialogScope();
  TTopmostDialogScope(const TTopmostDialogScope&) = delete;
  TTopmostDialogScope& operator=(const TTopmostDialogScope&) = delete;
};
