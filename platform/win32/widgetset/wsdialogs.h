#pragma once

#include <vector>

#include "platform/win32/widgetset/win32api.h"

// The system's modal dialogs (file, font, message box) on Win32: each is owned by the window the
// framework's dialogs open above, and made topmost as it comes up, so that a stay-on-top form
// never hides it.

// The active window of ours, else the form that was active last, else the main form; null when
// none of them shows.
HWND DialogOwnerWindow();

// While it lives, a system dialog (#32770) of this thread is made topmost as it activates, and
// the program's forms other than `owner` take no input, as under a modal form (the dialog
// disables its owner itself). Each form blocked, the owner too, is told when the dialog is gone.
class TSystemDialogScope {
 public:
  explicit TSystemDialogScope(HWND owner);
  ~TSystemDialogScope();
  TSystemDialogScope(const TSystemDialogScope&) = delete;
  TSystemDialogScope& operator=(const TSystemDialogScope&) = delete;

 private:
  HWND FOwner;
  std::vector<HWND> FDisabled;
};
