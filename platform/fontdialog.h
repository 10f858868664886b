#pragma once

#include "platform/raster/canvas.h"

// The font dialog: face, style, size, underline, strike-out and colour. Font is preset before
// Execute and changes only when the user confirms. It opens above the window the application
// chooses for dialogs (platform/dialogs.h).
class TFontDialog {
 public:
  TFont Font{"MS Sans Serif", 8, clWindowText, 0};

  // Runs the dialog modally; true when the user confirmed.
  bool Execute();
};
