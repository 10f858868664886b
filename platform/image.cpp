#include "platform/image.h"

#include "platform/drawing.h"
#include "platform/widgetset.h"

// Changes to the picture repaint the control when it is shown.
class TImage::TRepaintSink : public TDamageSink {
 public:
  explicit TRepaintSink(TImage* owner) : FOwner(owner) {}
  void Damaged(const TRect&) override { FOwner->Handle().Repaint(); }

 private:
  TImage* FOwner;
};

TImage::TImage(String name, TControl* parent)
    : TControl(std::move(name), parent), FSink(std::make_unique<TRepaintSink>(this)) {
  SetHandle(WidgetSet().CreateImage(*this));
  FCanvas.SetDamageSink(FSink.get());
}

TImage::~TImage() = default;

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

void TImage::SetPicture(const TPicture& picture) {
  if (!FBitmap) {
    FBitmap = std::make_unique<TBitmap>();
    FCanvas.SetTarget(FBitmap.get());
  }
  FBitmap->SetSize(picture.Width(), picture.Height());
  // An opaque picture's premultiplied colours are its colours.
  for (int y = 0; y < picture.Height(); ++y) {
    const std::uint32_t* from = picture.ScanLine(y);
    std::uint32_t* to = FBitmap->ScanLine(y);
    for (int x = 0; x < picture.Width(); ++x) to[x] = from[x] & 0x00FFFFFFu;
  }
  Handle().Repaint();
}

void TImage::SetStretch(bool stretch) {
  FStretch = stretch;
  Handle().Repaint();
}
