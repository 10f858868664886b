#pragma once

#include <QIcon>
#include <QPixmap>
#include <vector>

// Pictures of one size with transparency, shared by tool bars and menus by index.
class TImageList {
 public:
  TImageList(int width, int height) : FWidth(width), FHeight(height) {}

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int Count() const { return static_cast<int>(FImages.size()); }
  void Add(const QPixmap& pixmap);
  // Null pixmap / icon for an index outside the list.
  QPixmap Pixmap(int index) const;
  QIcon Icon(int index) const;

 private:
  int FWidth;
  int FHeight;
  std::vector<QPixmap> FImages;
};
