#include "platform/desktop.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <algorithm>
#include <cstring>

#include "platform/qt/qtscreens.h"
#include "platform/raster/bitmap.h"

#ifdef QUILMAR_X11
#include "platform/x11/x11desktop.h"
#endif

namespace {

// Where no native service exists (the offscreen platform of the tests): capture through Qt,
// no hot key, and nothing to hide from a task bar.
class TQtDesktopServices final : public TDesktopServices {
 public:
  bool RegisterHotKey(int, unsigned, unsigned, THotKeyHandler) override { return false; }
  void UnregisterHotKeys() override {}
  void PrepareCapture(int, int) override {}

  bool CaptureScreen(TBitmap& target, int left, int top, int width, int height) override {
    // Qt grabs one screen at a time, in its device pixels: the one whose corner is asked for.
    QScreen* screen = QGuiApplication::primaryScreen();
    for (QScreen* candidate : QGuiApplication::screens())
      if (DeviceGeometry(candidate).topLeft() == QPoint(left, top)) screen = candidate;
    if (!screen) return false;
    QImage grab = screen->grabWindow(0).toImage();
    if (grab.isNull()) return false;
    if (grab.format() != QImage::Format_RGB32) grab = grab.convertToFormat(QImage::Format_RGB32);
    width = std::min({width, target.Width(), grab.width()});
    height = std::min({height, target.Height(), grab.height()});
    for (int y = 0; y < height; ++y) std::memcpy(target.ScanLine(y), grab.constScanLine(y), std::size_t(width) * 4);
    return true;
  }

  void HideFromTaskbar() override {}
};

}  // namespace

std::unique_ptr<TDesktopServices> CreateDesktopServices() {
#ifdef QUILMAR_X11
  if (QGuiApplication::platformName() == QLatin1String("xcb")) {
    if (auto x11 = CreateX11DesktopServices()) return x11;
  }
#endif
  return std::make_unique<TQtDesktopServices>();
}
