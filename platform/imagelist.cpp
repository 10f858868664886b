#include "platform/imagelist.h"

void TImageList::Add(const TPicture& picture) {
  const bool fits = picture.Width() == FWidth && picture.Height() == FHeight;
  FImages.push_back({fits ? picture : Drawing::Renderer().Scale(picture, FWidth, FHeight), {}});
}

void TImageList::Add(TPictureDrawing draw) { FImages.push_back({{}, TDrawnPicture(FWidth, FHeight, std::move(draw))}); }

TPicture TImageList::Picture(int index) const {
  if (index < 0 || index >= Count()) return {};
  const TEntry& entry = FImages[static_cast<std::size_t>(index)];
  return entry.Drawn.Empty() ? entry.Fixed : entry.Drawn.Plain();
}

const TDrawnPicture* TImageList::Drawing(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  const TEntry& entry = FImages[static_cast<std::size_t>(index)];
  return entry.Drawn.Empty() ? nullptr : &entry.Drawn;
}
