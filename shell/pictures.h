#pragma once

#include <QPixmap>

// The marker's pictures, drawn at start-up.
QPixmap MarkerPicture();  // 36x36, the marker's background picture
QPixmap PlayGlyph();      // 22x23, the play button and the "start" menu item
QPixmap ExitGlyph();      // 16x16, the "quit" menu item
QPixmap TrayPicture();    // 16x16, the tray icon
