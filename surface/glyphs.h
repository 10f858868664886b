#pragma once

#include "platform/drawing.h"

class TImageList;

// Fills the list with the tool bar's 21 glyphs of 16x16 pixels, by index:
// 0 stop, 1 freehand, 2 line, 3 ellipse, 4 rectangle, 5 rounded rectangle, 6 diamond,
// 7 selection, 8 refresh, 9 eraser, 10 title, 11-14 move up/down/left/right, 15 white board,
// 16 save, 17 open, 18 unused, 19 font, 20 help.
void DrawToolGlyphs(TImageList& list);

// The region menu's own pictures, 24-bit with no transparency, at their own sizes: save the
// region (18x18, also for its background), copy it (19x17, likewise), paste into it (20x18).
TDrawnPicture RegionSaveGlyph();
TDrawnPicture RegionCopyGlyph();
TDrawnPicture RegionPasteGlyph();
