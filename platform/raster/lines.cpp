#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/raster/rasterizer.h"
#include "platform/raster/shaperows.h"

namespace Raster {

namespace {

using i128 = __int128;

std::int64_t FloorDiv(i128 n, std::int64_t d) {  // d > 0
  if (n >= INT64_MIN && n <= INT64_MAX) {  // the usual case: a 64-bit division is far cheaper
    const auto m = std::int64_t(n);
    std::int64_t q = m / d;
    if (m % d != 0 && m < 0) --q;
    return q;
  }
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

using u128 = unsigned __int128;

// round(k * c / (2 * sqrt(l2))) for c >= 0, halves rounded up: the largest m with
// (2m - 1) sqrt(l2) <= k c. Exact: k c needs 42 bits, (2m - 1)^2 l2 at most 86.
std::int64_t RoundHalfScaled(std::int64_t k, std::int64_t c, u128 l2) {
  const auto fits = [&](std::int64_t m) {
    const u128 odd = u128(2 * m - 1);
    return m <= 0 || odd * odd * l2 <= u128(k) * u128(k) * u128(c) * u128(c);
  };
  const long double estimate = static_cast<long double>(k) * static_cast<long double>(c) /
                               (2.0L * std::sqrt(static_cast<long double>(l2)));
  auto m = static_cast<std::int64_t>(std::floor(estimate + 0.5L));
  while (m > 0 && !fits(m)) --m;
  while (fits(m + 1)) ++m;
  return m;
}

std::int64_t RoundHalfScaledSigned(std::int64_t k, std::int64_t c, u128 l2) {
  return c >= 0 ? RoundHalfScaled(k, c, l2) : -RoundHalfScaled(k, -c, l2);
}

// Columns where a line through q with direction (ex, ey), ey != 0, crosses rows y0, y0 + 1, ...
// rounded up: ceil(q.x + (y - q.y) ex / ey).
class TCrossing {
 public:
  TCrossing(std::int64_t qx, std::int64_t qy, std::int64_t ex, std::int64_t ey, std::int64_t y0)
      : FSteps(Start(qx, qy, ey < 0 ? -ex : ex, ey < 0 ? -ey : ey, y0), ey < 0 ? -ex : ex, ey < 0 ? -ey : ey) {}
  std::int64_t Value() const { return FSteps.Value(); }
  void Next() { FSteps.Next(); }

 private:
  static i128 Start(std::int64_t qx, std::int64_t qy, std::int64_t ex, std::int64_t ey, std::int64_t y0) {
    return i128(qx) * ey + i128(y0 - qy) * ex + (ey - 1);
  }
  TFloorSteps FSteps;
};

// A wide line neither level nor upright: the band between the two sides parallel to it at the
// pen's two half widths, (w + 1) / 2 on the upper side of a flat line (the right side of a steep
// one) and w / 2 on the other, each side's offset from the ends rounded to whole pixels; the
// band is the parallelogram of those four corners, filled by the polygon rule (pixel centres
// inside, left and top edges included, right and bottom ones not), and the pen's disc at both
// ends makes the round caps. Each row is one run of the band and the caps' runs, merged.
void BandSpans(TSpanList& spans, std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2,
               const TRasterPen& pen) {
  const std::int64_t dx = x2 - x1, dy = y2 - y1;
  const u128 l2 = u128(i128(dx) * dx) + u128(i128(dy) * dy);
  const bool flat = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
  // (nx, ny) = s (dy, -dx) points to the side that gets the larger half: up for a flat line,
  // right for a steep one.
  const std::int64_t s = flat ? (dx > 0 ? 1 : -1) : (dy > 0 ? 1 : -1);
  const std::int64_t nx = s * dy, ny = -s * dx;
  const std::int64_t w = pen.Width;
  const std::int64_t bigX = RoundHalfScaledSigned(w + 1, nx, l2), bigY = RoundHalfScaledSigned(w + 1, ny, l2);
  const std::int64_t smallX = -RoundHalfScaledSigned(w, nx, l2), smallY = -RoundHalfScaledSigned(w, ny, l2);
  // Corners: a = p1 + big, d = p1 + small; the sides run along (dx, dy) through a and d, the ends
  // along (ex, ey) = d - a through a and through a + (dx, dy).
  const std::int64_t ax = x1 + bigX, ay = y1 + bigY, bx = x2 + bigX, by = y2 + bigY;
  const std::int64_t ddx = x1 + smallX, ddy = y1 + smallY;
  const std::int64_t ex = smallX - bigX, ey = smallY - bigY;

  const TDisc& disc = DiscOf(pen.Width);
  // Rows of the corners and the caps.
  const std::int64_t up = std::min<std::int64_t>({bigY, smallY, disc.FirstRow()});
  const std::int64_t down = std::max<std::int64_t>({bigY, smallY, disc.LastRow()});
  const std::int64_t top = std::max<std::int64_t>(0, std::min(y1, y2) + up);
  const std::int64_t bottom = std::min<std::int64_t>(spans.Height(), std::max(y1, y2) + down + 1);
  if (top >= bottom) return;
  // Which line of each pair lies left does not change from row to row.
  const auto leftOf = [](std::int64_t px, std::int64_t py, std::int64_t qx, std::int64_t qy, std::int64_t ux,
                         std::int64_t uy) {
    // Is the line through p left of the parallel line through q, direction (ux, uy), uy != 0?
    const i128 cross = i128(px - qx) * (uy < 0 ? -uy : uy) - i128(py - qy) * (uy < 0 ? -ux : ux);
    return cross < 0;
  };
  TCrossing sideA(ax, ay, dx, dy, top), sideD(ddx, ddy, dx, dy, top);
  const bool sideALeft = leftOf(ax, ay, ddx, ddy, dx, dy);
  TCrossing& sideL = sideALeft ? sideA : sideD;
  TCrossing& sideR = sideALeft ? sideD : sideA;
  // Ends: crossings when they are not level, else a range of rows.
  const bool levelEnds = ey == 0;
  TCrossing endA(ax, ay, ex, levelEnds ? 1 : ey, top), endB(bx, by, ex, levelEnds ? 1 : ey, top);
  const bool endALeft = !levelEnds && leftOf(ax, ay, bx, by, ex, ey);
  TCrossing& endL = endALeft ? endA : endB;
  TCrossing& endR = endALeft ? endB : endA;
  const std::int64_t endTop = std::min(ay, by), endBottom = std::max(ay, by);

  struct TRun {
    std::int64_t L, R;
  };
  for (std::int64_t y = top; y < bottom; ++y) {
    std::int64_t l = sideL.Value(), r = sideR.Value() - 1;
    if (levelEnds) {
      if (y < endTop || y >= endBottom) r = l - 1;
    } else {
      l = std::max(l, endL.Value());
      r = std::min(r, endR.Value() - 1);
    }
    sideA.Next(), sideD.Next(), endA.Next(), endB.Next();
    const std::int64_t j1 = y - y1, j2 = y - y2;
    const bool cap1 = j1 >= disc.FirstRow() && j1 <= disc.LastRow();
    const bool cap2 = j2 >= disc.FirstRow() && j2 <= disc.LastRow();
    if (!cap1 && !cap2) {
      spans.AddRun(y, l, r, pen.PenPixel);  // empty when l > r
      continue;
    }
    // Near the ends: the band's run and the caps' runs, in order and merged where they touch, so
    // that every pixel is added once.
    TRun runs[3];
    int n = 0;
    const auto add = [&](std::int64_t first, std::int64_t last) {
      if (first > last) return;
      int i = n++;
      for (; i > 0 && runs[i - 1].L > first; --i) runs[i] = runs[i - 1];
      runs[i] = {first, last};
    };
    add(l, r);
    if (cap1) add(x1 + disc.Lo(int(j1)), x1 + disc.Hi(int(j1)));
    if (cap2) add(x2 + disc.Lo(int(j2)), x2 + disc.Hi(int(j2)));
    for (int i = 0; i < n;) {
      TRun merged = runs[i++];
      while (i < n && runs[i].L <= merged.R + 1) merged.R = std::max(merged.R, runs[i++].R);
      spans.AddRun(y, merged.L, merged.R, pen.PenPixel);
    }
  }
}

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
  if (x1 != x2 && y1 != y2) {
    BandSpans(spans, x1, y1, x2, y2, pen);
    return;
  }
  // Level, upright and zero-length lines: the disc swept along the pixels from a to b, both ends
  // included (round caps).
  StrokeShape(spans, std::min(y1, y2), std::max(y1, y2) + 1, false, pen,
              [&](TShapeRows& rows, std::int64_t from, std::int64_t to) {
                walk.Rows(from, to, walk.Length(),
                          [&](std::int64_t y, std::int64_t, std::int64_t, std::int64_t xFirst, std::int64_t xLast) {
                            rows.Set(y, std::min(xFirst, xLast), std::max(xFirst, xLast));
                          });
              });
}

}  // namespace Raster
