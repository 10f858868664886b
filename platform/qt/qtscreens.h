#pragma once

#include <QRect>
#include <QSize>
#include <cstdint>

#include "platform/raster/rect.h"
#include "platform/screens.h"

class QScreen;

// The framework's geometry and Qt's, converted at the widgetset's seam.
inline TRect TRectOf(const QRect& r) { return TRect{r.x(), r.y(), r.x() + r.width(), r.y() + r.height()}; }
inline QRect QRectOf(const TRect& r) {
  return QRect(r.Left, r.Top, static_cast<int>(r.Width()), static_cast<int>(r.Height()));
}
inline TSize TSizeOf(QSize size) { return TSize{size.width(), size.height()}; }
inline QSize QSizeOf(TSize size) { return QSize(size.Width, size.Height); }

// The screen the pointer is on. The toolkit rounds the pointer to whole logical pixels, which on
// the right or bottom edge of a screen scaled 1.25 or 1.75 lies just outside every screen: the
// nearest screen is taken then. The primary screen when the toolkit knows no pointer screen.
QScreen* ScreenUnderPointer();

// A screen's rectangle on the desktop in device pixels: the window system's own rectangle of the
// monitor where it has one (RandR on X11), else the logical size scaled back.
QRect DeviceGeometry(const QScreen* screen);

struct TMonitor;

// The framework's identifier of a screen, and the screen of one (null when it is gone).
std::uintptr_t MonitorId(const QScreen* screen);
QScreen* ScreenOf(std::uintptr_t id);
TMonitor MonitorOf(const QScreen* screen);
