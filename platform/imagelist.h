#pragma once

#include <vector>

#include "platform/drawing.h"

// Pictures of one size with transparency, shared by tool bars and menus by index. Wherever they
// show, a disabled control keeps their full colours.
class TImageList {
 public:
  TImageList(int width, int height) : FWidth(width), FHeight(height) {}

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int Count() const { return static_cast<int>(FImages.size()); }
  // A fixed picture, smoothly scaled to the list's size when it has another.
  void Add(const TPicture& picture);
  // A picture kept as its drawing: it is drawn anew at the device ratio of the screen it shows
  // on (crisp at 1.25, 1.5 or 2), and at ratio 1 is exactly Picture(index).
  void Add(TPictureDrawing draw);
  // At ratio 1; empty for an index outside the list.
  TPicture Picture(int index) const;
  // The drawing of a picture added as one; none for a fixed picture or an index outside the list.
  const TDrawnPicture* Drawing(int index) const;

 private:
  struct TEntry {
    TPicture Fixed;
    TDrawnPicture Drawn;
  };
  int FWidth;
  int FHeight;
  std::vector<TEntry> FImages;
};
