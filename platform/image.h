#pragma once

#include <QWidget>
#include <memory>

#include "platform/raster/bitmap.h"
#include "platform/raster/canvas.h"
#include "platform/screens.h"

// An image control holding a bitmap. The bitmap is made on the first access to the canvas,
// at the size (in device pixels) the control has at that moment, and keeps that size.
// Hidden images serve as off-screen buffers.
class TImage : public QWidget {
  Q_OBJECT
  Q_PROPERTY(bool Stretch READ Stretch WRITE SetStretch)
 public:
  explicit TImage(QWidget* parent = nullptr);
  ~TImage() override;

  TCanvas* Canvas();
  bool HasBitmap() const { return FBitmap != nullptr; }
  // Makes the bitmap now, white at the control's size, on `memory` where that is large enough
  // and on memory of its own otherwise. Does nothing once the bitmap exists.
  void CreateBitmapOn(TPixelBlock memory);
  TBitmap* Bitmap() const { return FBitmap.get(); }
  // Lets the bitmap and its memory go; the next use makes one at the control's size.
  void ReleaseBitmap();
  // Replaces the picture by a copy of `image` (at its own size).
  void SetPicture(const QImage& image);

  // Size in device pixels: the one last given while the control keeps the logical size it was
  // given for.
  int Width() const;
  int Height() const;
  void SetSize(int width, int height);  // device pixels
  // Places the control at `logical`, which shows `device` pixels.
  void SetDeviceGeometry(const QRect& logical, QSize device);

  bool Stretch() const { return FStretch; }
  void SetStretch(bool stretch);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  class TRepaintSink;
  std::unique_ptr<TBitmap> FBitmap;
  TCanvas FCanvas;
  std::unique_ptr<TRepaintSink> FSink;
  bool FStretch = false;
  TDeviceSize FDeviceSize;
};
