#pragma once

#include <memory>

#include "platform/controls.h"
#include "platform/raster/bitmap.h"
#include "platform/raster/canvas.h"

class TPicture;

// An image control holding a bitmap. The bitmap is made on the first access to the canvas,
// at the size (in device pixels) the control has at that moment, and keeps that size.
// Hidden images serve as off-screen buffers.
class TImage : public TControl {
 public:
  TImage(String name, TControl* parent);
  ~TImage() override;

  TCanvas* Canvas();
  bool HasBitmap() const { return FBitmap != nullptr; }
  // Makes the bitmap now, white at the control's size, on `memory` where that is large enough
  // and on memory of its own otherwise. Does nothing once the bitmap exists.
  void CreateBitmapOn(TPixelBlock memory);
  TBitmap* Bitmap() const { return FBitmap.get(); }
  // Lets the bitmap and its memory go; the next use makes one at the control's size.
  void ReleaseBitmap();
  // Replaces the picture by a copy of the opaque `picture` (at its own size).
  void SetPicture(const TPicture& picture);

  // Size in device pixels.
  int Width() const { return Handle().DeviceWidth(); }
  int Height() const { return Handle().DeviceHeight(); }
  void SetSize(int width, int height) { Handle().SetDeviceSize(width, height); }
  // Places the control at `logical`, which shows width x height device pixels.
  void SetDeviceGeometry(const TRect& logical, int width, int height) {
    Handle().SetDeviceBounds(logical, width, height);
  }

  // A stretched picture fills the control, smoothly scaled; otherwise it shows 1:1 from the
  // top-left corner.
  bool Stretch() const { return FStretch; }
  void SetStretch(bool stretch);

 private:
  class TRepaintSink;
  std::unique_ptr<TBitmap> FBitmap;
  TCanvas FCanvas;
  std::unique_ptr<TRepaintSink> FSink;
  bool FStretch = false;
};
