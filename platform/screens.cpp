#include "platform/screens.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#ifdef QUILMAR_X11
#include "platform/x11/monitors.h"
#endif

int NearestArea(const std::vector<QRect>& areas, QPoint point) {
  int best = -1;
  std::int64_t bestDistance = std::numeric_limits<std::int64_t>::max();
  for (std::size_t i = 0; i < areas.size(); ++i) {
    const QRect& area = areas[i];
    if (area.isEmpty()) continue;
    // Distance to the nearest pixel of the area (0 inside); the first area wins a tie.
    const std::int64_t dx = std::max({std::int64_t(area.left()) - point.x(), std::int64_t(0),
                                      std::int64_t(point.x()) - area.right()});
    const std::int64_t dy = std::max({std::int64_t(area.top()) - point.y(), std::int64_t(0),
                                      std::int64_t(point.y()) - area.bottom()});
    const std::int64_t distance = dx * dx + dy * dy;
    if (distance < bestDistance) {
      best = int(i);
      bestDistance = distance;
    }
  }
  return best;
}

QScreen* ScreenUnderPointer() {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.size() <= 1) return QGuiApplication::primaryScreen();
  const QPoint pointer = QCursor::pos();
  if (QScreen* screen = QGuiApplication::screenAt(pointer)) return screen;
  std::vector<QRect> areas;
  for (const QScreen* screen : screens) areas.push_back(screen->geometry());
  const int nearest = NearestArea(areas, pointer);
  return nearest >= 0 ? screens[nearest] : QGuiApplication::primaryScreen();
}

QRect DeviceGeometryOf(const QRect& logical, double ratio, const std::optional<QRect>& monitor) {
  if (ratio == 1.0) return logical;
  const QRect scaled(logical.topLeft(), QSize(qRound(logical.width() * ratio), qRound(logical.height() * ratio)));
  if (!monitor || monitor->isEmpty() || monitor->topLeft() != logical.topLeft()) return scaled;
  // The toolkit's logical size is the monitor's rounded, so it lies within half a pixel of it.
  const auto near = [ratio](int device, int logicalSide) {
    return std::abs(device / ratio - logicalSide) <= 0.5 + 1e-9;
  };
  if (!near(monitor->width(), logical.width()) || !near(monitor->height(), logical.height())) return scaled;
  return *monitor;
}

QRect DeviceGeometry(const QScreen* screen) {
  if (!screen) return {};
  const qreal ratio = screen->devicePixelRatio();
  if (ratio == 1.0) return screen->geometry();
  std::optional<QRect> monitor;
#ifdef QUILMAR_X11
  monitor = RandrMonitorRect(screen->name());
#endif
  return DeviceGeometryOf(screen->geometry(), ratio, monitor);
}

void TDeviceSize::Set(QSize device, QSize logical, double ratio) {
  FDevice = device;
  FLogical = logical;
  FRatio = ratio;
}

QSize TDeviceSize::Of(QSize logical, double ratio) const {
  if (FDevice.isValid() && logical == FLogical && ratio == FRatio) return FDevice;
  return QSize(qRound(logical.width() * ratio), qRound(logical.height() * ratio));
}

QSize LogicalSizeOf(QSize device, double ratio) {
  return QSize(qRound(device.width() / ratio), qRound(device.height() / ratio));
}
