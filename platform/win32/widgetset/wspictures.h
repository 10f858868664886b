#pragma once

#include <cstdint>
#include <vector>

#include "platform/drawing.h"
#include "platform/win32/widgetset/win32api.h"

// Pictures on Win32. Menus and buttons get them blended onto the colour they show on: GDI draws
// a 32-bit bitmap's transparent pixels black in menus (Wine does not blend their alpha).

// `picture` over `background` (a COLORREF), as 0x00RRGGBB pixels, rows packed.
// A picture of logical pixels for a window of `ratio`: `drawn` drawn anew at the device size
// where there is its drawing, else `picture` smoothly scaled; itself at ratio 1.
TPicture PictureAtRatio(const TPicture& picture, double ratio, const TDrawnPicture* drawn = nullptr);
std::vector<std::uint32_t> BlendOnto(const TPicture& picture, COLORREF background);
// The same, lightened and greyed for a disabled control.
std::vector<std::uint32_t> BlendOntoDisabled(const TPicture& picture, COLORREF background);
// A 32-bit top-down DIB section (an HBITMAP the caller deletes) holding width x height pixels.
HBITMAP BitmapOf(const std::vector<std::uint32_t>& pixels, int width, int height);
// Draws width x height pixels (0x00RRGGBB, rows packed) at (x, y) of `dc`.
void DrawPixels(HDC dc, int x, int y, const std::uint32_t* pixels, int width, int height, int stride);
