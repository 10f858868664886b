#include "platform/imagelist.h"

void TImageList::Add(const QPixmap& pixmap) {
  FImages.push_back(pixmap.size() == QSize(FWidth, FHeight)
                        ? pixmap
                        : pixmap.scaled(FWidth, FHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

QPixmap TImageList::Pixmap(int index) const {
  if (index < 0 || index >= Count()) return {};
  return FImages[static_cast<std::size_t>(index)];
}

QIcon TImageList::Icon(int index) const {
  QIcon icon;
  const QPixmap pixmap = Pixmap(index);
  if (pixmap.isNull()) return icon;
  // The same picture for the normal, hot and disabled states: a disabled button keeps its
  // full colours.
  icon.addPixmap(pixmap, QIcon::Normal);
  icon.addPixmap(pixmap, QIcon::Active);
  icon.addPixmap(pixmap, QIcon::Disabled);
  return icon;
}
