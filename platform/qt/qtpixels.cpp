#include "platform/qt/qtpixels.h"

#include <QPaintEvent>
#include <QPainter>

#include "platform/image.h"
#include "platform/qt/qtraster.h"

int TQtDeviceControl::DeviceWidth() const {
  QWidget* widget = Widget();
  return widget ? FDeviceSize.Of(TSizeOf(widget->size()), widget->devicePixelRatioF()).Width : 0;
}

int TQtDeviceControl::DeviceHeight() const {
  QWidget* widget = Widget();
  return widget ? FDeviceSize.Of(TSizeOf(widget->size()), widget->devicePixelRatioF()).Height : 0;
}

void TQtDeviceControl::SetDeviceSize(int width, int height) {
  QWidget* widget = Widget();
  if (!widget) return;
  const qreal ratio = widget->devicePixelRatioF();
  const TSize logical = LogicalSizeOf(TSize{width, height}, ratio);
  FDeviceSize.Set(TSize{width, height}, logical, ratio);
  widget->resize(QSizeOf(logical));
}

void TQtDeviceControl::SetDeviceBounds(const TRect& logical, int width, int height) {
  QWidget* widget = Widget();
  if (!widget) return;
  const QRect r = QRectOf(logical);
  FDeviceSize.Set(TSize{width, height}, TSizeOf(r.size()), widget->devicePixelRatioF());
  widget->setGeometry(r);
}

void TQtImageWidget::paintEvent(QPaintEvent* event) {
  const TBitmap* bitmap = FImage.Bitmap();
  if (!bitmap || bitmap->Empty()) return;
  QPainter painter(this);
  QImage view = QtView(*bitmap);
  if (FImage.Stretch()) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), view);
    return;
  }
  // Device pixels 1:1: a view tagged with the screen's ratio paints unscaled.
  const qreal ratio = devicePixelRatioF();
  view.setDevicePixelRatio(ratio);
  const QRect r = event->rect();
  painter.drawImage(r.topLeft(), view, QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio));
}

std::unique_ptr<TWSControl> TQtWidgetSet::CreateImage(TImage& image) {
  return std::make_unique<TQtDeviceControl>(new TQtImageWidget(image, QtParentWidget(image)), true);
}

QWidget* QtOf(const TImage* image) { return QtWidget(*image); }
