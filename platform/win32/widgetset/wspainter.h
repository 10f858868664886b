#pragma once

#include "platform/drawing.h"
#include "platform/win32/widgetset/win32api.h"

// Installs the picture renderer on GDI (once; the application object does it): antialiased by
// drawing each figure's coverage at several samples a pixel, with the pictures' alpha kept.
void InstallWin32PictureRenderer();
