#include "platform/win32/widgetset/wspictures.h"

#include <algorithm>
#include <cmath>

namespace {

BITMAPINFO InfoOf(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// Premultiplied source over an opaque background, one channel.
std::uint32_t Over(std::uint32_t source, std::uint32_t alpha, std::uint32_t background) {
  return std::min<std::uint32_t>(255, source + (background * (255 - alpha) + 127) / 255);
}

}  // namespace

std::vector<std::uint32_t> BlendOnto(const TPicture& picture, COLORREF background) {
  std::vector<std::uint32_t> out(std::size_t(picture.Width()) * std::size_t(std::max(picture.Height(), 0)));
  const std::uint32_t br = GetRValue(background), bg = GetGValue(background), bb = GetBValue(background);
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x) {
      const std::uint32_t p = picture.Pixel(x, y), a = p >> 24;
      out[std::size_t(y) * std::size_t(picture.Width()) + std::size_t(x)] =
          Over((p >> 16) & 0xFF, a, br) << 16 | Over((p >> 8) & 0xFF, a, bg) << 8 | Over(p & 0xFF, a, bb);
    }
  return out;
}

std::vector<std::uint32_t> BlendOntoDisabled(const TPicture& picture, COLORREF background) {
  std::vector<std::uint32_t> out = BlendOnto(picture, background);
  for (std::uint32_t& p : out) {
    // Grey of the pixel's brightness, halfway to the background.
    const std::uint32_t grey = (((p >> 16) & 0xFF) * 30 + ((p >> 8) & 0xFF) * 59 + (p & 0xFF) * 11) / 100;
    const std::uint32_t r = (grey + GetRValue(background)) / 2, g = (grey + GetGValue(background)) / 2,
                        b = (grey + GetBValue(background)) / 2;
    p = r << 16 | g << 8 | b;
  }
  return out;
}

HBITMAP BitmapOf(const std::vector<std::uint32_t>& pixels, int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  const BITMAPINFO info = InfoOf(width, height);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap) std::copy(pixels.begin(), pixels.end(), static_cast<std::uint32_t*>(bits));
  return bitmap;
}

void DrawPixels(HDC dc, int x, int y, const std::uint32_t* pixels, int width, int height, int stride) {
  if (width <= 0 || height <= 0) return;
  // The rows are `stride` apart: the DIB is that wide, of which `width` columns show.
  const BITMAPINFO info = InfoOf(stride, height);
  SetDIBitsToDevice(dc, x, y, DWORD(width), DWORD(height), 0, 0, 0, UINT(height), pixels, &info, DIB_RGB_COLORS);
}

TPicture PictureAtRatio(const TPicture& picture, double ratio, const TDrawnPicture* drawn) {
  if (picture.Empty() || std::abs(ratio - 1.0) < 1e-9) return picture;
  const int width = std::max(1, int(std::lround(picture.Width() * ratio)));
  const int height = std::max(1, int(std::lround(picture.Height() * ratio)));
  if (drawn && !drawn->Empty()) return drawn->Draw(width, height);
  return Drawing::Renderer().Scale(picture, width, height);
}
