#include "platform/paintbox.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/application.h"
#include "platform/qt/qtcontrols.h"
#include "platform/qt/qtscreens.h"
#include "platform/qt/qtraster.h"

// Hands each drawing's changed rectangle to the window system as a repaint of that part only.
class TPaintBox::TScreenSink : public TDamageSink {
 public:
  explicit TScreenSink(TPaintBox* owner) : FOwner(owner) {}
  void Damaged(const TRect& r) override {
    const qreal ratio = FOwner->devicePixelRatioF();
    if (ratio == 1.0) {
      FOwner->update(r.Left, r.Top, static_cast<int>(r.Width()), static_cast<int>(r.Height()));
      return;
    }
    const int left = static_cast<int>(std::floor(r.Left / ratio));
    const int top = static_cast<int>(std::floor(r.Top / ratio));
    const int right = static_cast<int>(std::ceil(r.Right / ratio));
    const int bottom = static_cast<int>(std::ceil(r.Bottom / ratio));
    FOwner->update(left, top, right - left, bottom - top);
  }

 private:
  TPaintBox* FOwner;
};

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent), FSink(std::make_unique<TScreenSink>(this)) {
  // The buffer covers every pixel: nothing under the box needs painting first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setMouseTracking(true);
  setContextMenuPolicy(Qt::PreventContextMenu);
  FCanvas.SetTarget(&FPixels);
  FCanvas.SetDamageSink(FSink.get());
}

TPaintBox::~TPaintBox() {
  for (const QPointer<QWidget>& control : FClipped) {
    if (control) control->removeEventFilter(this);
  }
  if (FWatchedWindow) FWatchedWindow->removeEventFilter(this);
}

int TPaintBox::Width() const { return FDeviceSize.Of(TSizeOf(size()), devicePixelRatioF()).Width; }
int TPaintBox::Height() const { return FDeviceSize.Of(TSizeOf(size()), devicePixelRatioF()).Height; }

void TPaintBox::SetDeviceGeometry(const QRect& logical, QSize device) {
  FDeviceSize.Set(TSizeOf(device), TSizeOf(logical.size()), devicePixelRatioF());
  setGeometry(logical);
}

void TPaintBox::PrepareBuffer() {
  if (FPixels.Width() == Width() && FPixels.Height() == Height()) return;
  FPixels.SetSize(Width(), Height());
  FStale = true;
  UpdateClip();
}

void TPaintBox::ResizeBuffer(int width, int height) {
  const int oldWidth = FPixels.Width();
  const int oldHeight = FPixels.Height();
  if (width == oldWidth && height == oldHeight) return;
  FPixels.Resize(width, height);
  // The area gained has no drawings: it shows the background.
  RestoreFromBackground(TRect{oldWidth, 0, width, height});
  RestoreFromBackground(TRect{0, oldHeight, oldWidth, height});
  UpdateClip();
  update();
}

void TPaintBox::ReleaseBuffer() { FPixels = TBitmap(); }

void TPaintBox::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PrepareBuffer();
}

void TPaintBox::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  WatchWindow();
}

void TPaintBox::Invalidate() {
  FStale = true;
  update();
}

void TPaintBox::RestoreAll() {
  FStale = false;
  RestoreFromBackground(TRect{0, 0, FPixels.Width(), FPixels.Height()});
}

void TPaintBox::RestoreFromBackground(const TRect& area) {
  // The whole box is refilled before its next use anyway.
  if (FStale) return;
  const TRect target = Intersect(area, TRect{0, 0, FPixels.Width(), FPixels.Height()});
  if (target.IsEmpty()) return;
  TRect from{};
  if (FBackground && !FBackground->Empty())
    from = Intersect(target, TRect{0, 0, FBackground->Width(), FBackground->Height()});
  const auto width = static_cast<std::size_t>(target.Width());
  for (int y = target.Top; y < target.Bottom; ++y) {
    std::uint32_t* row = FPixels.ScanLine(y) + target.Left;
    if (!from.IsEmpty() && y >= from.Top && y < from.Bottom) {
      std::memcpy(FPixels.ScanLine(y) + from.Left, FBackground->ScanLine(y) + from.Left,
                  static_cast<std::size_t>(from.Width()) * sizeof(std::uint32_t));
      // Beyond a background smaller than the box the window shows white.
      std::fill(row, FPixels.ScanLine(y) + from.Left, 0x00FFFFFFu);
      std::fill(FPixels.ScanLine(y) + from.Right, row + width, 0x00FFFFFFu);
    } else {
      std::fill(row, row + width, 0x00FFFFFFu);
    }
  }
}

void TPaintBox::paintEvent(QPaintEvent* event) {
  SyncPixels();
  if (FPixels.Empty()) return;
  QPainter painter(this);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  QImage view = QtView(FPixels);
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
  if (OnPaint) OnPaint();
}

void TPaintBox::SetCursor(TCursor cursor) {
  FCursor = cursor;
  setCursor(CursorOf(cursor));
}

TRect TPaintBox::DeviceRectOf(const QRect& logical) const {
  const qreal ratio = devicePixelRatioF();
  const int left = static_cast<int>(std::floor(logical.x() * ratio));
  const int top = static_cast<int>(std::floor(logical.y() * ratio));
  const int right = static_cast<int>(std::ceil((logical.x() + logical.width()) * ratio));
  const int bottom = static_cast<int>(std::ceil((logical.y() + logical.height()) * ratio));
  return TRect{left, top, right, bottom};
}

void TPaintBox::ClipOut(QWidget* control) {
  if (!control) return;
  FClipped.emplace_back(control);
  FClippedAreas.emplace_back();
  control->installEventFilter(this);
  UpdateClip();
}

void TPaintBox::UpdateClip() {
  FCanvas.ResetClip();
  for (std::size_t i = 0; i < FClipped.size(); ++i) {
    QWidget* control = FClipped[i];
    TRect area{};
    if (control && control->isVisibleTo(parentWidget()) && control->width() > 0 && control->height() > 0) {
      const QPoint origin = control->parentWidget() == parentWidget()
                                ? control->pos() - pos()
                                : control->mapTo(window(), QPoint()) - mapTo(window(), QPoint());
      area = DeviceRectOf(QRect(origin, control->size()));
      FCanvas.ExcludeClipRect(area);
    }
    FClippedAreas[i] = area;
  }
}

bool TPaintBox::eventFilter(QObject* watched, QEvent* event) {
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
        if (!FTracking) break;
        // While a button pressed on the box is held, every move belongs to the box wherever the
        // pointer is. Handled here, on the window's own event, the move skips the toolkit's
        // copies of the event on its way to the widget: a drag allocates nothing.
        const qreal ratio = devicePixelRatioF();
        const QPointF device = FWindowPos * ratio;
        const QPoint offset = mapTo(window(), QPoint());
        const int x = qRound(device.x()) - qRound(offset.x() * ratio);
        const int y = qRound(device.y()) - qRound(offset.y() * ratio);
        if (OnMouseMove) OnMouseMove(ShiftStateOf(move->modifiers(), move->buttons()), x, y);
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
    case QEvent::Hide: {
      const std::vector<TRect> before = FClippedAreas;
      UpdateClip();
      // The area a control leaves shows the background again: drawings made before the
      // control covered it do not come back.
      for (std::size_t i = 0; i < before.size(); ++i) {
        if (FClipped[i] == watched && !before[i].IsEmpty() && !(before[i] == FClippedAreas[i])) {
          RestoreFromBackground(before[i]);
          FSink->Damaged(Intersect(before[i], TRect{0, 0, FPixels.Width(), FPixels.Height()}));
        }
      }
      break;
    }
    default: break;
  }
  return false;
}

void TPaintBox::WatchWindow() {
  QWindow* handle = window()->windowHandle();
  if (!handle || handle == FWatchedWindow) return;
  if (FWatchedWindow) FWatchedWindow->removeEventFilter(this);
  FWatchedWindow = handle;
  handle->installEventFilter(this);
}

QPoint TPaintBox::DevicePos(const QMouseEvent* event) const {
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

void TPaintBox::mousePressEvent(QMouseEvent* event) {
  TMouseButton button;
  if (!MouseButtonOf(event->button(), button)) return;
  const QPoint p = DevicePos(event);
  FTracking = true;
  if (OnMouseDown) OnMouseDown(button, ShiftStateOf(event->modifiers(), event->buttons()), p.x(), p.y());
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = DevicePos(event);
  if (OnMouseMove) OnMouseMove(ShiftStateOf(event->modifiers(), event->buttons()), p.x(), p.y());
}

void TPaintBox::mouseReleaseEvent(QMouseEvent* event) {
  TMouseButton button;
  if (!MouseButtonOf(event->button(), button)) return;
  const QPoint p = DevicePos(event);
  if (event->buttons() == Qt::NoButton) FTracking = false;
  if (OnMouseUp) OnMouseUp(button, ShiftStateOf(event->modifiers(), event->buttons()), p.x(), p.y());
  // The context menu comes after the release has been handled, as a separate step.
  if (button == mbRight && FPopupMenu) {
    QTimer::singleShot(0, this, [menu = FPopupMenu] {
      const QPoint at = QCursor::pos();
      RunHandler([&] { menu->Popup(at.x(), at.y()); });
    });
  }
}
