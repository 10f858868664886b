#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <optional>
#include <vector>

class QScreen;

// The screen the pointer is on. The toolkit rounds the pointer to whole logical pixels, which on
// the right or bottom edge of a screen scaled 1.25 or 1.75 lies just outside every screen: the
// nearest screen is taken then. The primary screen when the toolkit knows no pointer screen.
QScreen* ScreenUnderPointer();

// A screen's rectangle on the desktop in device pixels: the window system's own rectangle of the
// monitor where it has one (RandR on X11), else the logical size scaled back.
QRect DeviceGeometry(const QScreen* screen);

// The device rectangle of a screen the toolkit shows as `logical` at `ratio`. The toolkit keeps a
// screen's top-left corner in device pixels and rounds its size to whole logical pixels, so
// scaling that back can be a pixel off (2560 at 1.5 is 1706.67, kept as 1707, back 2561): the
// window system's `monitor` rectangle is taken when it is this screen's, at the same corner and
// of a size that rounds to the same logical one.
QRect DeviceGeometryOf(const QRect& logical, double ratio, const std::optional<QRect>& monitor);

// A widget's size in device pixels. Scaling its logical size back can be a pixel larger than the
// device size it was given (see DeviceGeometryOf): the size given holds for as long as the
// widget keeps the logical size and ratio it was given for, and the logical size scaled back
// serves otherwise.
class TDeviceSize {
 public:
  void Set(QSize device, QSize logical, double ratio);
  QSize Of(QSize logical, double ratio) const;

 private:
  QSize FDevice;
  QSize FLogical;
  double FRatio = 0;
};

// The logical size that shows `device` pixels at `ratio`.
QSize LogicalSizeOf(QSize device, double ratio);

// The index of the area holding `point`, else of the area nearest to it; -1 when there is none.
int NearestArea(const std::vector<QRect>& areas, QPoint point);
