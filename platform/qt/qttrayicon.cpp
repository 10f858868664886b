#include <QSystemTrayIcon>

#include "platform/qt/qtcontrols.h"
#include "platform/qt/qtpictures.h"
#include "platform/qt/qtraster.h"
#include "platform/trayicon.h"

namespace {

class TQtTrayIcon final : public TWSTrayIcon {
 public:
  TQtTrayIcon(const TPicture& picture, const String& hint, std::function<void(std::intptr_t)> mouse)
      : FIcon(QtIcon(picture)) {
    FIcon.setToolTip(QStr(hint));
    QObject::connect(&FIcon, &QSystemTrayIcon::activated, &FIcon,
                     [mouse = std::move(mouse)](QSystemTrayIcon::ActivationReason reason) {
                       if (reason == QSystemTrayIcon::Context) mouse(TrayRightPress);
                       if (reason == QSystemTrayIcon::DoubleClick) mouse(TrayDoubleClick);
                     });
    FIcon.show();
  }

  void SetHint(const String& hint) override { FIcon.setToolTip(QStr(hint)); }

  TRect BoundsRect() const override {
    // Only an icon that a tray host has taken in has a place on the screen.
    if (!FIcon.isVisible() || !QSystemTrayIcon::isSystemTrayAvailable()) return {};
    const QRect r = FIcon.geometry();
    return TRect{r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
  }

 private:
  QSystemTrayIcon FIcon;
};

}  // namespace

std::unique_ptr<TWSTrayIcon> TQtWidgetSet::CreateTrayIcon(const TPicture& picture, const String& hint,
                                                          std::function<void(std::intptr_t)> mouse) {
  return std::make_unique<TQtTrayIcon>(picture, hint, std::move(mouse));
}
