#include <algorithm>

#include "platform/raster/rasterizer.h"

namespace Raster {

namespace {

// Tight loops over one row piece: no calls, no clip tests (pieces are clipped before).
template <TPenMode Mode>
inline void PaintRun(std::uint32_t* row, int x0, int x1, std::uint32_t pixel) {
  if constexpr (Mode == pmCopy) {
    std::fill(row + x0, row + x1, pixel);
  } else {
    for (int x = x0; x < x1; ++x) row[x] ^= pixel;
  }
}

template <TPenMode Mode>
TRect Apply(TBitmap& target, std::span<const TSpan> spans, std::span<const TRect> excluded) {
  TBounds bounds;
  if (excluded.empty()) {
    for (const TSpan& s : spans) {
      PaintRun<Mode>(target.ScanLine(s.Y), s.X0, s.X1, s.Pixel);
      bounds.Add(s.Y, s.X0, s.X1);
    }
    return bounds.Rect();
  }
  for (const TSpan& s : spans) {
    std::uint32_t* row = target.ScanLine(s.Y);
    ForPieces(s.Y, s.X0, s.X1, excluded, false, [&](int x0, int x1) {
      PaintRun<Mode>(row, x0, x1, s.Pixel);
      bounds.Add(s.Y, x0, x1);
    });
  }
  return bounds.Rect();
}

}  // namespace

TRect ApplySpans(TBitmap& target, std::span<const TSpan> spans, TPenMode mode,
                 std::span<const TRect> excluded) {
  return mode == pmXor ? Apply<pmXor>(target, spans, excluded) : Apply<pmCopy>(target, spans, excluded);
}

}  // namespace Raster
