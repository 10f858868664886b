#include "platform/screens.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cstdint>
#include <limits>

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

QRect DeviceGeometry(const QScreen* screen) {
  if (!screen) return {};
  const QRect logical = screen->geometry();
  const qreal ratio = screen->devicePixelRatio();
  if (ratio == 1.0) return logical;
  return QRect(logical.topLeft(), QSize(qRound(logical.width() * ratio), qRound(logical.height() * ratio)));
}
