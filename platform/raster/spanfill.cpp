#include <algorithm>

#include "platform/raster/rasterizer.h"

namespace Raster {

namespace {

// Tight loops over one row piece: no calls, no clip tests (pieces are clipped before). Most
// spans of an outline are a few pixels long; they skip the vector loop's set-up.
template <TPenMode Mode>
inline void PaintRun(std::uint32_t* row, int x0, int x1, std::uint32_t pixel) {
  std::uint32_t* p = row + x0;
  const int n = x1 - x0;
  if (n <= 4) {
    for (int i = 0; i < n; ++i) {
      if constexpr (Mode == pmCopy)
        p[i] = pixel;
      else
        p[i] ^= pixel;
    }
    return;
  }
  if constexpr (Mode == pmCopy) {
    std::fill(p, p + n, pixel);
  } else {
    for (int i = 0; i < n; ++i) p[i] ^= pixel;
  }
}

constexpr std::size_t Lookahead = 8;

template <TPenMode Mode>
TRect Apply(TBitmap& target, std::span<const TSpan> spans, std::span<const TRect> excluded) {
  if (spans.empty()) return {};
  // Taken once: pixel stores could alias the bitmap's fields as far as the compiler knows.
  std::uint32_t* const base = target.ScanLine(0);
  const std::ptrdiff_t stride = target.Stride();
  if (excluded.empty()) {
    int left = spans[0].X0, top = spans[0].Y, right = spans[0].X1, bottom = spans[0].Y;
    const std::size_t count = spans.size();
    for (std::size_t i = 0; i < count; ++i) {
      const TSpan& s = spans[i];
      // Outline spans hop from row to row, a cache line each; ask for lines a few spans ahead.
      if (i + Lookahead < count) {
        const TSpan& next = spans[i + Lookahead];
        __builtin_prefetch(base + next.Y * stride + next.X0, 1);
      }
      PaintRun<Mode>(base + s.Y * stride, s.X0, s.X1, s.Pixel);
      left = std::min(left, s.X0);
      right = std::max(right, s.X1);
      top = std::min(top, s.Y);
      bottom = std::max(bottom, s.Y);
    }
    return TRect{left, top, right, bottom + 1};
  }
  TBounds bounds;
  for (const TSpan& s : spans) {
    std::uint32_t* row = base + s.Y * stride;
    ForPieces(s.Y, s.X0, s.X1, excluded, false, [&](int x0, int x1) {
      PaintRun<Mode>(row, x0, x1, s.Pixel);
      bounds.Add(s.Y, x0, x1);
    });
  }
  return bounds.Rect();
}

}  // namespace

TRect ApplySpans(TBitmap& target, std::span<const TSpan> spans, TPenMode mode, std::span<const TRect> excluded) {
  return mode == pmXor ? Apply<pmXor>(target, spans, excluded) : Apply<pmCopy>(target, spans, excluded);
}

}  // namespace Raster
