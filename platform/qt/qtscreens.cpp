#include "platform/qt/qtscreens.h"

#include <algorithm>

#include <QCursor>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <optional>
#include <vector>

#include "platform/forms.h"
#include "platform/qt/qtcontrols.h"

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

std::uintptr_t MonitorId(const QScreen* screen) { return reinterpret_cast<std::uintptr_t>(screen); }

QScreen* ScreenOf(std::uintptr_t id) {
  for (QScreen* screen : QGuiApplication::screens())
    if (MonitorId(screen) == id) return screen;
  return nullptr;
}

TMonitor MonitorOf(const QScreen* screen) {
  if (!screen) return {};
  return TMonitor{MonitorId(screen), TRectOf(screen->geometry()), TRectOf(DeviceGeometry(screen)),
                  screen->devicePixelRatio()};
}

namespace {

class TQtScreen final : public TScreen {
 public:
  TRect PrimaryMonitorRect() const override {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? TRectOf(screen->geometry()) : TRect{0, 0, 1024, 768};
  }
  TRect MonitorRectUnderPointer() const override {
    QScreen* screen = ScreenUnderPointer();
    return screen ? TRectOf(screen->geometry()) : PrimaryMonitorRect();
  }
  TRect DesktopRect() const override {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? TRectOf(screen->virtualGeometry()) : PrimaryMonitorRect();
  }
  TPoint CursorPos() const override {
    const QPoint at = QCursor::pos();
    return TPoint{at.x(), at.y()};
  }
  int MonitorCount() const override { return static_cast<int>(QGuiApplication::screens().size()); }
  TMonitor PrimaryMonitor() const override { return MonitorOf(QGuiApplication::primaryScreen()); }
  TMonitor MonitorUnderPointer() const override { return MonitorOf(ScreenUnderPointer()); }
  TMonitor MonitorOrPrimary(std::uintptr_t id) const override {
    QScreen* screen = id ? ScreenOf(id) : nullptr;
    return MonitorOf(screen ? screen : QGuiApplication::primaryScreen());
  }

  void AddChangeHandler(const void* owner, TChangeHandler handler) override {
    Watch();
    FHandlers.push_back({owner, std::move(handler)});
  }
  void RemoveChangeHandler(const void* owner) override {
    std::erase_if(FHandlers, [owner](const THandler& h) { return h.Owner == owner; });
  }

 private:
  struct THandler {
    const void* Owner;
    TChangeHandler Run;
  };

  void Tell(TMonitorChange change, std::uintptr_t id) {
    for (const THandler& handler : std::vector<THandler>(FHandlers)) handler.Run(change, id);
  }
  void WatchScreen(QScreen* screen) {
    QObject::connect(screen, &QScreen::geometryChanged, FContext,
                     [this, screen] { Tell(TMonitorChange::Resized, MonitorId(screen)); });
  }
  // RandR can resize or rotate a screen at any time, and an output can come or go.
  void Watch() {
    if (FContext) return;
    FContext = new QObject(QCoreApplication::instance());
    for (QScreen* screen : QGuiApplication::screens()) WatchScreen(screen);
    QObject::connect(qGuiApp, &QGuiApplication::screenAdded, FContext, [this](QScreen* screen) { WatchScreen(screen); });
    QObject::connect(qGuiApp, &QGuiApplication::primaryScreenChanged, FContext,
                     [this](QScreen* screen) { Tell(TMonitorChange::PrimaryChanged, MonitorId(screen)); });
    QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, FContext,
                     [this](QScreen* screen) { Tell(TMonitorChange::Removed, MonitorId(screen)); });
  }

  QPointer<QObject> FContext;  // the connections, which go with the application object
  std::vector<THandler> FHandlers;
};

}  // namespace

TScreen& TQtWidgetSet::Screen() {
  static TQtScreen screen;
  return screen;
}
