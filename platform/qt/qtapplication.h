#pragma once

#include <QPalette>
#include <array>

#include "platform/raster/colors.h"

class QWidget;

// The system colours as the desktop's palette has them: each reference with a counterpart among
// the palette's roles takes that colour, the others (captions, borders, the desktop) keep the
// classic one.
std::array<TColor, SystemColorCount> DesktopColorScheme(const QPalette& palette);

// A parent for dialogs and message boxes: a parentless one would lie below the stay-on-top
// windows and could not be seen. The modal window, else the active one, else the one last
// active, else the main form's.
QWidget* QtDialogParent();
