#include <algorithm>

#include "platform/raster/rasterizer.h"
#include "platform/raster/shaperows.h"

namespace Raster {

namespace {

using i128 = __int128;

std::int64_t FloorDiv(i128 n, std::int64_t d) {
  i128 q = n / d;
  if (n % d != 0 && n < 0) --q;
  return std::int64_t(q);
}

// floor((n0 + i * step) / d) for i = 0, 1, 2, ... (d > 0), without a division per step. The
// start may need 128 bits (coordinates near 2^31 times differences near 2^32); the steps do not.
class TFloorSteps {
 public:
  TFloorSteps(i128 n0, std::int64_t step, std::int64_t d) : FD(d) {
    FQ = FloorDiv(n0, d);
    FR = std::int64_t(n0 - i128(FQ) * d);
    FStepQ = FloorDiv(step, d);
    FStepR = step - FStepQ * d;
  }
  std::int64_t Value() const { return FQ; }
  void Next() {
    FQ += FStepQ;
    FR += FStepR;
    if (FR >= FD) {
      FR -= FD;
      ++FQ;
    }
  }

 private:
  std::int64_t FD;
  std::int64_t FQ = 0;
  std::int64_t FR = 0;
  std::int64_t FStepQ = 0;
  std::int64_t FStepR = 0;
};

// The pixels of a 1-pixel line from a towards b, one per step along the major axis: pixel k (0 at
// a) has the exact minor coordinate rounded to nearest, ties going to the smaller coordinate in
// every direction (y = ceil(ay + dy * k / |dx| - 1/2) for an x-major line). Pixel |major| is b.
// Rows are found in closed form, so only the rows asked for are walked.
class TLineWalk {
 public:
  TLineWalk(std::int64_t ax, std::int64_t ay, std::int64_t bx, std::int64_t by)
      : FAx(ax), FAy(ay), FDx(bx - ax), FDy(by - ay), FAdx(FDx < 0 ? -FDx : FDx), FAdy(FDy < 0 ? -FDy : FDy) {}

  std::int64_t Length() const { return std::max(FAdx, FAdy); }

  // Calls visit(y, kFirst, kLast, xFirst, xLast) for every row y in y0..y1-1 that holds some of
  // the pixels 0..lastK, with the indices and columns of the row's first and last pixel.
  template <class TVisit>
  void Rows(std::int64_t y0, std::int64_t y1, std::int64_t lastK, TVisit&& visit) const {
    if (lastK < 0) return;
    if (Length() == 0) {
      if (FAy >= y0 && FAy < y1) visit(FAy, 0, 0, FAx, FAx);
      return;
    }
    const std::int64_t sy = FDy >= 0 ? 1 : -1;
    // Row offsets s (row ay + sy * s) within y0..y1-1 and 0..sMax.
    std::int64_t sa = 0, sb = 0;
    const auto visible = [&](std::int64_t sMax) {
      sa = std::max<std::int64_t>(0, sy > 0 ? y0 - FAy : FAy - (y1 - 1));
      sb = std::min<std::int64_t>(sMax, sy > 0 ? y1 - 1 - FAy : FAy - y0);
      return sa <= sb;
    };
    if (FAdx >= FAdy) {
      const std::int64_t sx = FDx > 0 ? 1 : -1;
      if (FDy == 0) {
        if (FAy >= y0 && FAy < y1) visit(FAy, 0, lastK, FAx, FAx + sx * lastK);
        return;
      }
      // Pixel k lies on row offset floor((2|dy|k + |dx| - 1 + c) / 2|dx|), and the last pixel of
      // row offset s is floor((2|dx|s + |dx| - c) / 2|dy|), with c = 1 for upward lines: that
      // is where the ties turn round.
      const std::int64_t c = FDy < 0 ? 1 : 0;
      const std::int64_t sMax = FloorDiv(i128(2 * FAdy) * lastK + FAdx - 1 + c, 2 * FAdx);
      if (!visible(sMax)) return;
      TFloorSteps lastOfRow(i128(2 * FAdx) * (sa - 1) + FAdx - c, 2 * FAdx, 2 * FAdy);
      std::int64_t kFirst = std::max<std::int64_t>(0, lastOfRow.Value() + 1);
      for (std::int64_t s = sa; s <= sb; ++s) {
        lastOfRow.Next();
        const std::int64_t kLast = std::min(lastOfRow.Value(), lastK);
        visit(FAy + sy * s, kFirst, kLast, FAx + sx * kFirst, FAx + sx * kLast);
        kFirst = kLast + 1;
      }
    } else {
      // One pixel a row, at column ax + floor((2 dx k + |dy| - 1) / 2|dy|).
      if (!visible(lastK)) return;
      TFloorSteps column(i128(2 * FDx) * sa + FAdy - 1, 2 * FDx, 2 * FAdy);
      for (std::int64_t k = sa; k <= sb; ++k, column.Next()) {
        const std::int64_t x = FAx + column.Value();
        visit(FAy + sy * k, k, k, x, x);
      }
    }
  }

 private:
  std::int64_t FAx, FAy, FDx, FDy, FAdx, FAdy;
};

}  // namespace

void LineSpans(TSpanList& spans, std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2,
               const TRasterPen& pen) {
  const TLineWalk walk(x1, y1, x2, y2);
  if (pen.Width <= 1) {
    // Start included, end excluded: a zero-length line has no pixels.
    const std::int64_t lastK = walk.Length() - 1;
    if (!pen.Dotted) {
      walk.Rows(0, spans.Height(), lastK,
                [&](std::int64_t y, std::int64_t, std::int64_t, std::int64_t xFirst, std::int64_t xLast) {
                  spans.AddRun(y, std::min(xFirst, xLast), std::max(xFirst, xLast), pen.PenPixel);
                });
    } else {
      walk.Rows(0, spans.Height(), lastK,
                [&](std::int64_t y, std::int64_t kFirst, std::int64_t kLast, std::int64_t xFirst, std::int64_t xLast) {
                  if (xFirst <= xLast)
                    DottedRun(spans, y, xFirst, xLast, kFirst, 1, pen);
                  else
                    DottedRun(spans, y, xLast, xFirst, kLast, -1, pen);
                });
    }
    return;
  }
  // Wider pens: the disc swept along the pixels from a to b, both ends included (round caps).
  StrokeShape(spans, std::min(y1, y2), std::max(y1, y2) + 1, false, pen,
              [&](TShapeRows& rows, std::int64_t from, std::int64_t to) {
                walk.Rows(from, to, walk.Length(),
                          [&](std::int64_t y, std::int64_t, std::int64_t, std::int64_t xFirst, std::int64_t xLast) {
                            rows.Set(y, std::min(xFirst, xLast), std::max(xFirst, xLast));
                          });
              });
}

}  // namespace Raster
