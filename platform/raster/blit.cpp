#include <cmath>
#include <cstring>

#include "platform/raster/engines.h"
#include "platform/raster/rasterizer.h"

namespace Raster {

namespace {

// Half-open rectangle in 64 bits: canvas rectangles may lie anywhere in 32-bit space, and their
// offsets from one another need 33 bits.
struct TBox {
  std::int64_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool Empty() const { return Right <= Left || Bottom <= Top; }
  std::int64_t Width() const { return Right - Left; }
  std::int64_t Height() const { return Bottom - Top; }
};

TBox Box(const TRect& r) { return {r.Left, r.Top, r.Right, r.Bottom}; }
TBox Bounds(const TBitmap& b) { return {0, 0, b.Width(), b.Height()}; }

TBox Meet(const TBox& a, const TBox& b) {
  return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
}

// One row between different bitmaps. The eraser's short rows go without a library call.
inline void CopyRow(std::uint32_t* dst, const std::uint32_t* src, std::size_t n) {
  if (n > 32) {
    std::memcpy(dst, src, n * sizeof(std::uint32_t));
    return;
  }
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) std::memcpy(dst + i, src + i, 16);
  if (n & 2) {
    std::memcpy(dst + i, src + i, 8);
    i += 2;
  }
  if (n & 1) dst[i] = src[i];
}

// Copies the pixels of `from` (already inside both bitmaps) to the same-sized rectangle at
// `to`, in an order that is safe when both are one bitmap and the rectangles overlap.
TRect Move(TBitmap& target, const TBox& to, const TBitmap& source, const TBox& from, std::span<const TRect> excluded) {
  const bool same = &target == &source;
  if (!same && excluded.empty()) {
    const auto n = std::size_t(to.Width());
    const std::ptrdiff_t dstStride = target.Stride(), srcStride = source.Stride();
    std::uint32_t* dst = target.ScanLine(int(to.Top)) + to.Left;
    const std::uint32_t* src = source.ScanLine(int(from.Top)) + from.Left;
    if (std::int64_t(n) == dstStride && std::int64_t(n) == srcStride) {
      // Whole rows of both bitmaps: one block, as fast as the machine copies memory.
      std::memcpy(dst, src, n * std::size_t(to.Height()) * sizeof(std::uint32_t));
      return TRect{int(to.Left), int(to.Top), int(to.Right), int(to.Bottom)};
    }
    for (std::int64_t row = 0; row < to.Height(); ++row, dst += dstStride, src += srcStride) CopyRow(dst, src, n);
    return TRect{int(to.Left), int(to.Top), int(to.Right), int(to.Bottom)};
  }
  const bool bottomUp = same && to.Top > from.Top;
  const bool rightToLeft = same && to.Left > from.Left;
  const std::int64_t shift = from.Left - to.Left;
  TBounds bounds;
  for (std::int64_t i = 0; i < to.Height(); ++i) {
    const std::int64_t row = bottomUp ? to.Height() - 1 - i : i;
    const int y = int(to.Top + row);
    std::uint32_t* dst = target.ScanLine(y);
    const std::uint32_t* src = source.ScanLine(int(from.Top + row));
    ForPieces(y, int(to.Left), int(to.Right), excluded, rightToLeft, [&](int x0, int x1) {
      std::memmove(dst + x0, src + (x0 + shift), std::size_t(x1 - x0) * sizeof(std::uint32_t));
      bounds.Add(y, x0, x1);
    });
  }
  return bounds.Rect();
}

}  // namespace

TRect CopyPixels(TBitmap& target, const TRect& dest, const TBitmap& source, const TRect& src,
                 std::span<const TRect> excluded) {
  const TBox d = Box(dest), s = Box(src);
  if (d.Empty() || s.Empty() || d.Width() != s.Width() || d.Height() != s.Height()) return {};
  const std::int64_t dx = d.Left - s.Left, dy = d.Top - s.Top;
  // The source pixels that exist, moved to the target, and the part of that the target has.
  const TBox inSource = Meet(s, Bounds(source));
  const TBox to =
      Meet({inSource.Left + dx, inSource.Top + dy, inSource.Right + dx, inSource.Bottom + dy}, Bounds(target));
  if (to.Empty()) return {};
  const TBox from{to.Left - dx, to.Top - dy, to.Right - dx, to.Bottom - dy};
  return Move(target, to, source, from, excluded);
}

TRect StretchPixels(TBitmap& target, const TRect& dest, const TBitmap& source, const TRect& src,
                    std::span<const TRect> excluded) {
  const TBox d = Box(dest), s = Box(src);
  if (d.Empty() || s.Empty()) return {};
  const TBox inSource = Meet(s, Bounds(source));
  if (inSource.Empty()) return {};
  // The part of dest that the existing source pixels map to.
  const double scaleX = double(d.Width()) / double(s.Width());
  const double scaleY = double(d.Height()) / double(s.Height());
  const auto mapX = [&](std::int64_t x) { return d.Left + std::llround(double(x - s.Left) * scaleX); };
  const auto mapY = [&](std::int64_t y) { return d.Top + std::llround(double(y - s.Top) * scaleY); };
  const TBox mapped{mapX(inSource.Left), mapY(inSource.Top), mapX(inSource.Right), mapY(inSource.Bottom)};
  const TBox visible = Meet(mapped, Bounds(target));
  if (visible.Empty()) return {};

  TBitmap scaled;
  TBox scaledAt = mapped;
  const double mappedArea = double(mapped.Width()) * double(mapped.Height());
  const double visibleArea = double(visible.Width()) * double(visible.Height());
  if (mappedArea <= 2 * visibleArea + (1 << 20)) {
    // Mostly visible: scale the whole part, which averages properly when shrinking.
    const TRect part{int(inSource.Left), int(inSource.Top), int(inSource.Right), int(inSource.Bottom)};
    ImageScaler().Scale(source, part, int(mapped.Width()), int(mapped.Height()), scaled);
  } else {
    // A huge target rectangle: render only what the target shows.
    scaledAt = visible;
    const double sx = double(inSource.Width()) / double(mapped.Width());
    const double sy = double(inSource.Height()) / double(mapped.Height());
    ImageScaler().Render(source, inSource.Left + double(visible.Left - mapped.Left) * sx,
                         inSource.Top + double(visible.Top - mapped.Top) * sy, double(visible.Width()) * sx,
                         double(visible.Height()) * sy, int(visible.Width()), int(visible.Height()), scaled);
  }
  if (scaled.Width() != scaledAt.Width() || scaled.Height() != scaledAt.Height()) return {};

  // Copy the visible part row by row (the scaled image is a separate buffer, so no overlap).
  TBounds bounds;
  for (std::int64_t y = visible.Top; y < visible.Bottom; ++y) {
    auto* dst = target.ScanLine(int(y));
    const auto* from = scaled.ScanLine(int(y - scaledAt.Top));
    ForPieces(int(y), int(visible.Left), int(visible.Right), excluded, false, [&](int x0, int x1) {
      std::memcpy(dst + x0, from + (x0 - scaledAt.Left), std::size_t(x1 - x0) * sizeof(std::uint32_t));
      bounds.Add(int(y), x0, x1);
    });
  }
  return bounds.Rect();
}

}  // namespace Raster
