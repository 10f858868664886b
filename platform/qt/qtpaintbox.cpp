#include "platform/qt/qtpaintbox.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "platform/paintbox.h"
#include "platform/qt/qtraster.h"

TQtPaintBoxWidget::TQtPaintBoxWidget(TPaintBox& box, QWidget* parent) : QWidget(parent), FBox(box) {
  // The buffer covers every pixel: nothing under the box needs painting first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setMouseTracking(true);
  setContextMenuPolicy(Qt::PreventContextMenu);
}

TQtPaintBoxWidget::~TQtPaintBoxWidget() {
  for (const TWatched& watched : FWatched) {
    if (watched.Widget) watched.Widget->removeEventFilter(this);
  }
  if (FWatchedWindow) FWatchedWindow->removeEventFilter(this);
}

void TQtPaintBoxWidget::UpdateDeviceRect(const TRect& r) {
  const qreal ratio = devicePixelRatioF();
  if (ratio == 1.0) {
    update(r.Left, r.Top, static_cast<int>(r.Width()), static_cast<int>(r.Height()));
    return;
  }
  const int left = static_cast<int>(std::floor(r.Left / ratio));
  const int top = static_cast<int>(std::floor(r.Top / ratio));
  const int right = static_cast<int>(std::ceil(r.Right / ratio));
  const int bottom = static_cast<int>(std::ceil(r.Bottom / ratio));
  update(left, top, right - left, bottom - top);
}

void TQtPaintBoxWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FBox.Resized();
}

void TQtPaintBoxWidget::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  WatchWindow();
}

void TQtPaintBoxWidget::paintEvent(QPaintEvent* event) {
  TBitmap& pixels = FBox.Pixels();
  if (pixels.Empty()) return;
  QPainter painter(this);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  QImage view = QtView(pixels);
  const qreal ratio = devicePixelRatioF();
  view.setDevicePixelRatio(ratio);
  for (const QRect& r : event->region()) {
    // Under the event's clip of many rectangles the raster engine copies row by row through a
    // thread pool: good for wide areas, but four times slower than a plain block copy for the
    // tall thin strips along a figure's outline. Those are clipped to themselves.
    if (r.width() < 1024)
      painter.setClipRect(r);
    else
      painter.setClipping(false);
    painter.drawImage(r.topLeft(), view, QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio));
  }
  FBox.Painted();
}

TRect TQtPaintBoxWidget::DeviceRectOf(const TControl& control) const {
  const auto watched =
      std::find_if(FWatched.begin(), FWatched.end(), [&control](const TWatched& w) { return w.Control == &control; });
  const QWidget* widget = watched != FWatched.end() ? watched->Widget.data() : QtWidget(control);
  if (!widget || !widget->isVisibleTo(parentWidget()) || widget->width() <= 0 || widget->height() <= 0) return {};
  const QPoint origin = widget->parentWidget() == parentWidget()
                            ? widget->pos() - pos()
                            : widget->mapTo(window(), QPoint()) - mapTo(window(), QPoint());
  const qreal ratio = devicePixelRatioF();
  const int left = static_cast<int>(std::floor(origin.x() * ratio));
  const int top = static_cast<int>(std::floor(origin.y() * ratio));
  const int right = static_cast<int>(std::ceil((origin.x() + widget->width()) * ratio));
  const int bottom = static_cast<int>(std::ceil((origin.y() + widget->height()) * ratio));
  return TRect{left, top, right, bottom};
}

void TQtPaintBoxWidget::Watch(const TControl& control, const std::function<void()>& changed) {
  QWidget* widget = QtWidget(control);
  if (!widget) return;
  FWatched.push_back({&control, widget, changed});
  widget->installEventFilter(this);
}

bool TQtPaintBoxWidget::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FWatchedWindow) {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
        FWindowPos = static_cast<QMouseEvent*>(event)->position();
        FHaveWindowPos = true;
        break;
      case QEvent::MouseMove: {
        auto* move = static_cast<QMouseEvent*>(event);
        FWindowPos = move->position();
        FHaveWindowPos = true;
        if (!FBox.Tracking()) break;
        // Handled here, on the window's own event, the move skips the toolkit's copies of the
        // event on its way to the widget: a drag allocates nothing.
        const qreal ratio = devicePixelRatioF();
        const QPointF device = FWindowPos * ratio;
        const QPoint offset = mapTo(window(), QPoint());
        const int x = qRound(device.x()) - qRound(offset.x() * ratio);
        const int y = qRound(device.y()) - qRound(offset.y() * ratio);
        FBox.MouseMove(ShiftStateOf(move->modifiers(), move->buttons()), x, y);
        return true;
      }
      default: break;
    }
    return false;
  }
  switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
      for (const TWatched& w : FWatched)
        if (w.Widget == watched) w.Changed();
      break;
    default: break;
  }
  return false;
}

void TQtPaintBoxWidget::WatchWindow() {
  QWindow* handle = window()->windowHandle();
  if (!handle || handle == FWatchedWindow) return;
  if (FWatchedWindow) FWatchedWindow->removeEventFilter(this);
  FWatchedWindow = handle;
  handle->installEventFilter(this);
}

QPoint TQtPaintBoxWidget::DevicePos(const QMouseEvent* event) const {
  const qreal ratio = devicePixelRatioF();
  const QPointF local = event->position();
  if (ratio == 1.0) return QPoint(qRound(local.x()), qRound(local.y()));
  // Widget events carry whole logical pixels; the window's own event has the fraction that
  // picks the right device pixel on a scaled screen. Use it when it is this event's.
  const QPoint offset = mapTo(window(), QPoint());
  if (FHaveWindowPos && (FWindowPos - (local + offset)).manhattanLength() <= 1.0) {
    const QPointF device = FWindowPos * ratio;
    return QPoint(qRound(device.x()), qRound(device.y())) -
           QPoint(qRound(offset.x() * ratio), qRound(offset.y() * ratio));
  }
  return QPoint(qRound(local.x() * ratio), qRound(local.y() * ratio));
}

void TQtPaintBoxWidget::mousePressEvent(QMouseEvent* event) {
  TMouseButton button;
  if (!MouseButtonOf(event->button(), button)) return;
  const QPoint p = DevicePos(event);
  FBox.MouseDown(button, ShiftStateOf(event->modifiers(), event->buttons()), p.x(), p.y());
}

void TQtPaintBoxWidget::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = DevicePos(event);
  FBox.MouseMove(ShiftStateOf(event->modifiers(), event->buttons()), p.x(), p.y());
}

void TQtPaintBoxWidget::mouseReleaseEvent(QMouseEvent* event) {
  TMouseButton button;
  if (!MouseButtonOf(event->button(), button)) return;
  const QPoint p = DevicePos(event);
  FBox.MouseUp(button, ShiftStateOf(event->modifiers(), event->buttons()), p.x(), p.y(),
               event->buttons() != Qt::NoButton);
}

TQtPaintBox::TQtPaintBox(TPaintBox& box, QWidget* parent)
    : TQtDeviceControl(new TQtPaintBoxWidget(box, parent), true) {}

void TQtPaintBox::InvalidateRect(const TRect& area) {
  if (TQtPaintBoxWidget* widget = BoxWidget()) widget->UpdateDeviceRect(area);
}

void TQtPaintBox::SetCursor(TCursor cursor) {
  if (QWidget* widget = Widget()) widget->setCursor(CursorOf(cursor));
}

TRect TQtPaintBox::DeviceRectOf(const TControl& other) const {
  const TQtPaintBoxWidget* widget = BoxWidget();
  return widget ? widget->DeviceRectOf(other) : TRect{};
}

void TQtPaintBox::WatchControl(const TControl& other, const std::function<void()>& changed) {
  if (TQtPaintBoxWidget* widget = BoxWidget()) widget->Watch(other, changed);
}

std::unique_ptr<TWSControl> TQtWidgetSet::CreatePaintBox(TPaintBox& box) {
  return std::make_unique<TQtPaintBox>(box, QtParentWidget(box));
}

QWidget* QtOf(const TPaintBox* box) { return QtWidget(*box); }
