#include "platform/qt/qtscreens.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <optional>
#include <vector>

#ifdef QUILMAR_X11
#include "platform/x11/monitors.h"
#endif

QScreen* ScreenUnderPointer() {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.size() <= 1) return QGuiApplication::primaryScreen();
  const QPoint pointer = QCursor::pos();
  if (QScreen* screen = QGuiApplication::screenAt(pointer)) return screen;
  std::vector<TRect> areas;
  for (const QScreen* screen : screens) areas.push_back(TRectOf(screen->geometry()));
  const int nearest = NearestArea(areas, TPoint{pointer.x(), pointer.y()});
  return nearest >= 0 ? screens[nearest] : QGuiApplication::primaryScreen();
}

QRect DeviceGeometry(const QScreen* screen) {
  if (!screen) return {};
  const qreal ratio = screen->devicePixelRatio();
  if (ratio == 1.0) return screen->geometry();
  std::optional<TRect> monitor;
#ifdef QUILMAR_X11
  if (const std::optional<QRect> randr = RandrMonitorRect(screen->name())) monitor = TRectOf(*randr);
#endif
  return QRectOf(DeviceGeometryOf(TRectOf(screen->geometry()), ratio, monitor));
}
