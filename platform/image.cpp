#include "platform/image.h"

#include <QPaintEvent>
#include <QPainter>

#include "platform/qt/qtraster.h"

// Changes to the picture repaint the control when it is shown.
class TImage::TRepaintSink : public TDamageSink {
 public:
  explicit TRepaintSink(TImage* owner) : FOwner(owner) {}
  void Damaged(const TRect&) override {
    if (FOwner->isVisible()) FOwner->update();
  }

 private:
  TImage* FOwner;
};

TImage::TImage(QWidget* parent) : QWidget(parent), FSink(std::make_unique<TRepaintSink>(this)) {
  FCanvas.SetDamageSink(FSink.get());
}

TImage::~TImage() = default;

int TImage::Width() const { return FDeviceSize.Of(size(), devicePixelRatioF()).width(); }
int TImage::Height() const { return FDeviceSize.Of(size(), devicePixelRatioF()).height(); }

void TImage::SetSize(int width, int height) {
  const qreal ratio = devicePixelRatioF();
  const QSize logical = LogicalSizeOf(QSize(width, height), ratio);
  FDeviceSize.Set(QSize(width, height), logical, ratio);
  resize(logical);
}

void TImage::SetDeviceGeometry(const QRect& logical, QSize device) {
  FDeviceSize.Set(device, logical.size(), devicePixelRatioF());
  setGeometry(logical);
}

TCanvas* TImage::Canvas() {
  if (!FBitmap) {
    FBitmap = std::make_unique<TBitmap>(Width(), Height());
    FCanvas.SetTarget(FBitmap.get());
  }
  return &FCanvas;
}

void TImage::CreateBitmapOn(TPixelBlock memory) {
  if (FBitmap) return;
  auto bitmap = std::make_unique<TBitmap>();
  if (bitmap->Adopt(std::move(memory), Width(), Height()))
    bitmap->Fill(0x00FFFFFF);
  else
    bitmap->SetSize(Width(), Height());
  FBitmap = std::move(bitmap);
  FCanvas.SetTarget(FBitmap.get());
}

void TImage::ReleaseBitmap() {
  FCanvas.SetTarget(nullptr);
  FBitmap.reset();
}

void TImage::SetPicture(const QImage& image) {
  if (!FBitmap) {
    FBitmap = std::make_unique<TBitmap>();
    FCanvas.SetTarget(FBitmap.get());
  }
  AssignImage(*FBitmap, image);
  update();
}

void TImage::SetStretch(bool stretch) {
  FStretch = stretch;
  update();
}

void TImage::paintEvent(QPaintEvent* event) {
  if (!FBitmap || FBitmap->Empty()) return;
  QPainter painter(this);
  QImage view = QtView(*FBitmap);
  if (FStretch) {
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
