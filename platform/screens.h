#pragma once

#include <QPoint>
#include <QRect>
#include <vector>

class QScreen;

// The screen the pointer is on. The toolkit rounds the pointer to whole logical pixels, which on
// the right or bottom edge of a screen scaled 1.25 or 1.75 lies just outside every screen: the
// nearest screen is taken then. The primary screen when the toolkit knows no pointer screen.
QScreen* ScreenUnderPointer();

// A screen's rectangle on the desktop in device pixels. The toolkit keeps a screen's top-left
// corner in device pixels and scales only its size to logical pixels.
QRect DeviceGeometry(const QScreen* screen);

// The index of the area holding `point`, else of the area nearest to it; -1 when there is none.
int NearestArea(const std::vector<QRect>& areas, QPoint point);
