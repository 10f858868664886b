#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/raster/colors.h"
#include "platform/raster/rect.h"
#include "surface/fcover.h"

class TBitmap;

// The surface's invariants as the soak checks them. Each returns an empty string when it holds,
// otherwise what is wrong and where.

// A copy of a bitmap's pixels, kept between two points of a drag (reused, so a drag allocates
// nothing once warmed up).
struct TPixels {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint32_t> Data;
};
void Copy(const TBitmap& from, TPixels& to);

// A checksum of every pixel (the unused top byte left out).
std::uint64_t Checksum(const TBitmap& bitmap);

// The tool, its tool-bar button, its main-menu item and the surface's cursor disagree.
std::string ToolDisagreement();

// What a finished drag with `tool` left on the surface, compared with the surface at its press:
// a drawing tool may only have put its pen colour, the eraser only the background, a selection
// nothing, or with `selectionShown` only its inverted dotted frame along `selection`. Anything
// else (a preview pixel left behind, a stale band from an earlier drag) is reported. The tool
// bar and the caption box, which are never drawn under, are left out.
std::string LeftOverAfterDrag(const TPixels& atPress, TDrawTool tool, TColor color, const TRect& selection,
                              bool selectionShown);

// Pixels that changed since `before`, other than (with a frame) the inverted dots of that
// selection frame being erased; the tool bar and the caption box are left out.
std::string ChangedOutsideFrame(const TPixels& before, const TRect* frame);
