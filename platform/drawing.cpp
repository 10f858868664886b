#include "platform/drawing.h"

#include <stdexcept>

TPicture::TPicture(int width, int height, std::vector<std::uint32_t> pixels) {
  if (width < 0 || height < 0 || pixels.size() != std::size_t(width) * std::size_t(height))
    throw std::invalid_argument("TPicture: the pixels do not fill the picture");
  if (width == 0 || height == 0) return;
  FWidth = width;
  FHeight = height;
  FPixels = std::make_shared<const std::vector<std::uint32_t>>(std::move(pixels));
}

bool operator==(const TPicture& a, const TPicture& b) {
  if (a.FWidth != b.FWidth || a.FHeight != b.FHeight) return false;
  if (a.FPixels == b.FPixels || a.Empty()) return true;
  return *a.FPixels == *b.FPixels;
}

namespace {

TPictureRenderer* InstalledRenderer = nullptr;

}  // namespace

void Drawing::InstallRenderer(TPictureRenderer* renderer) { InstalledRenderer = renderer; }

TPictureRenderer& Drawing::Renderer() {
  if (InstalledRenderer == nullptr) throw std::logic_error("no picture renderer is installed");
  return *InstalledRenderer;
}

TPicture DrawPicture(int width, int height, const TPictureDrawing& draw) {
  return Drawing::Renderer().Render(draw, width, height, width, height);
}

TDrawnPicture::TDrawnPicture(int width, int height, TPictureDrawing draw)
    : FDraw(std::make_shared<const TPictureDrawing>(std::move(draw))), FPlain(DrawPicture(width, height, *FDraw)) {}

TPicture TDrawnPicture::Draw(int width, int height) const {
  if (width == FPlain.Width() && height == FPlain.Height()) return FPlain;
  if (!FDraw || FPlain.Empty()) return {};
  return Drawing::Renderer().Render(*FDraw, FPlain.Width(), FPlain.Height(), width, height);
}
