#pragma once

// Internal to the raster layer: a shape as one run of pixels per row, and the stroker that turns
// it into pen and brush spans. Lines, rectangles, ellipses and rounded rectangles all end here.

#include <algorithm>
#include <cstdint>

#include "platform/raster/rasterizer.h"

namespace Raster {

// Rows Base .. Base+Count-1 of a shape, each an inclusive run L..R (L > R: no pixels). Columns are
// clamped a margin outside the target, which keeps them in 32 bits without changing any pixel
// the target can show (the margin is wider than any pen reaches).
class TShapeRows {
 public:
  static constexpr std::int32_t EmptyL = 1 << 29;
  static constexpr std::int32_t EmptyR = -(1 << 29);
  static constexpr std::int32_t Margin = 2 * MaxPenWidth + 16;

  TShapeRows(std::int64_t base, int count, int width, std::int32_t* l, std::int32_t* r)
      : FBase(base), FCount(count), FMinX(-Margin), FMaxX(width + Margin), FL(l), FR(r) {
    std::fill_n(FL, count, EmptyL);
    std::fill_n(FR, count, EmptyR);
  }

  std::int64_t Base() const { return FBase; }
  std::int64_t End() const { return FBase + FCount; }
  int Count() const { return FCount; }

  // Row y (within Base..End-1) covers first..last.
  void Set(std::int64_t y, std::int64_t first, std::int64_t last) {
    const auto i = std::size_t(y - FBase);
    FL[i] = std::int32_t(std::clamp(first, FMinX, FMaxX));
    FR[i] = std::int32_t(std::clamp(last, FMinX, FMaxX));
  }

  // Row y takes row `from`'s run (both within Base..End-1).
  void Copy(std::int64_t y, std::int64_t from) {
    FL[y - FBase] = FL[from - FBase];
    FR[y - FBase] = FR[from - FBase];
  }

  const std::int32_t* L() const { return FL; }
  const std::int32_t* R() const { return FR; }

 private:
  std::int64_t FBase;
  int FCount;
  std::int64_t FMinX;
  std::int64_t FMaxX;
  std::int32_t* FL;
  std::int32_t* FR;
};

// Scratch for the stroker, per thread: room for eight tables of `rows` rows. Grows only for a
// taller target or a wider pen than before.
std::int32_t* RowScratch(int rows);

// Spans of a shape whose rows lie in top..bottom-1. A closed shape is a filled region outlined by
// the pen (1-pixel pen: the region's pixels with a neighbour outside it, brush inside; wider pen:
// the pen's disc swept along that outline, brush where the disc does not reach). An open shape
// (a line) is the disc swept along its pixels. `fill(rows, from, to)` writes the shape's rows
// from..to-1 into the table (rows it leaves alone are empty).
void StrokeRows(TSpanList& spans, const TShapeRows& rows, std::int64_t outTop, std::int64_t outBottom, bool closed,
                const TRasterPen& pen, std::int32_t* scratch);

// The dotted pen: pixel k of a figure's path (from 0 at its start) is on when k mod 6 < 3.
inline bool DotOn(std::int64_t k) { return k % 6 < 3; }

// Row y, pixels first..last (inclusive) of a dotted path whose pixel `first` has index kFirst and
// whose index changes by kStep (+1 or -1) per pixel to the right: dots in the pen colour, gaps in
// the brush colour when the brush is solid. Only the part inside the target is walked.
void DottedRun(TSpanList& spans, std::int64_t y, std::int64_t first, std::int64_t last, std::int64_t kFirst, int kStep,
               const TRasterPen& pen);

template <class TFill>
void StrokeShape(TSpanList& spans, std::int64_t top, std::int64_t bottom, bool closed, const TRasterPen& pen,
                 TFill&& fill) {
  const int firstDiscRow = -(pen.Width / 2);
  const int lastDiscRow = (pen.Width - 1) / 2;
  const std::int64_t outTop = std::max<std::int64_t>(0, top + firstDiscRow);
  const std::int64_t outBottom = std::min<std::int64_t>(spans.Height(), bottom + lastDiscRow);
  if (outTop >= outBottom) return;
  // Each output row looks at the shape rows its disc reaches, and one more on each side for the
  // outline's neighbours.
  const std::int64_t base = outTop - lastDiscRow - 1;
  const int count = int(outBottom - outTop) + (lastDiscRow - firstDiscRow) + 2;
  std::int32_t* storage = RowScratch(count);
  TShapeRows rows(base, count, spans.Width(), storage, storage + count);
  fill(rows, std::max(base, top), std::min(base + count, bottom));
  StrokeRows(spans, rows, outTop, outBottom, closed, pen, storage + 2 * std::size_t(count));
}

}  // namespace Raster
