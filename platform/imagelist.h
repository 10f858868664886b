#pragma once

#include <QIcon>
#include <QPixmap>
#include <functional>
#include <memory>
#include <vector>

class QPainter;

// Draws one picture into the list's box of width x height logical pixels; the painter is scaled
// for the device the picture is made for.
using TPictureDrawing = std::function<void(QPainter&)>;

// An icon of a width x height picture kept as its drawing, drawn at the device ratio of the screen
// it shows on (exactly the plain picture at ratio 1).
QIcon DrawnIcon(int width, int height, TPictureDrawing draw);

// Pictures of one size with transparency, shared by tool bars and menus by index.
class TImageList {
 public:
  TImageList(int width, int height) : FWidth(width), FHeight(height) {}

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int Count() const { return static_cast<int>(FImages.size()); }
  void Add(const QPixmap& pixmap);
  // A picture kept as its drawing: its icon is drawn anew at the device ratio of the screen it
  // shows on (crisp at 1.25, 1.5 or 2), and at ratio 1 is exactly Pixmap(index).
  void Add(TPictureDrawing draw);
  // Null pixmap / icon for an index outside the list.
  QPixmap Pixmap(int index) const;
  QIcon Icon(int index) const;

 private:
  struct TEntry {
    QPixmap Pixmap;  // at ratio 1
    std::shared_ptr<const TPictureDrawing> Draw;
  };
  int FWidth;
  int FHeight;
  std::vector<TEntry> FImages;
};
