#pragma once

#include "platform/drawing.h"

// The marker's pictures, drawn at start-up.
TPicture MarkerPicture();  // 36x36, the marker's background picture
TPicture PlayGlyph();      // 22x23, the play button and the "start" menu item
TPicture ExitGlyph();      // 16x16, the "quit" menu item
TPicture TrayPicture();    // 16x16, the tray icon
