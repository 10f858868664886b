#include "platform/raster/rasterizer.h"

#include <algorithm>
#include <cmath>

#include "platform/raster/shaperows.h"

namespace Raster {

namespace {

using u64 = std::uint64_t;
using u128 = unsigned __int128;

// The filled ellipse of a width x height box (both at least 2). In doubled pixel units from the
// box centre (U = 2x - (left + right - 1), V likewise), the ellipse through the centres of the
// box's edge pixels has semi-axes A = width - 1 and B = height - 1. A pixel belongs to the shape
// when the half-pixel cross through its centre meets that ellipse: |U| <= X(|V|) + 1 or
// |U| <= X(|V| - 1), with X(v) = A * sqrt(1 - v^2 / B^2). That rule touches all four box edges
// at every size, gives 2x2 a block, 3x3 a plus and 4x4 twelve pixels, and as a pen disc it gives
// 5, 52 and 308 pixels at widths 3, 8 and 20. Exact in 128-bit integers for any 32-bit box.
// It makes the pen's disc, and the rows of figures too large to trace (see TraceEllipse); the
// outlines of ellipses and rounded rectangles otherwise follow the traced curve, whose rows are
// narrower on some sizes (a pixel on each side for a 12x8 or 20x6 box, more at the tips of very
// flat ones).
class TEllipseRows {
 public:
  TEllipseRows(std::int64_t width, std::int64_t height)
      : FA(width - 1),
        FB(height - 1),
        FA2(u64(FA) * u64(FA)),
        FB2(u64(FB) * u64(FB)),
        FSmall(FA < 65536 && FB < 65536),
        FInvB2(1.0 / double(FB2)) {}

  // The largest |U| in the row at |V| = v (0 <= v <= B); U has the parity of A. Cheapest when
  // consecutive calls ask for neighbouring rows.
  std::int64_t HalfWidth(std::int64_t v) {
    const std::int64_t onRow = FloorX(FOnRow, v);
    const std::int64_t inner = FloorX(FInner, v > 0 ? v - 1 : 0);
    std::int64_t u = std::max(onRow + 1, inner);
    if (((u ^ FA) & 1) != 0) --u;
    return u;
  }

 private:
  struct TTrack {
    std::int64_t V = -1;
    std::int64_t T = 0;
  };

  static bool Fits(std::int64_t t, u64 b2, u128 rhs) { return u128(u64(t) * u64(t)) * b2 <= rhs; }

  std::int64_t Estimate(std::int64_t v) const {
    const long double ratio = static_cast<long double>(v) / static_cast<long double>(FB);
    const long double rest = std::max(0.0L, 1.0L - ratio * ratio);
    const auto t = static_cast<std::int64_t>(std::floor(static_cast<long double>(FA) * std::sqrt(rest)));
    return std::clamp<std::int64_t>(t, 0, FA);
  }

  // floor(X(v)): the largest t with t^2 B^2 <= A^2 (B^2 - v^2). Steps from the previous row's
  // answer, or starts from the closed form when that is far away.
  std::int64_t FloorX(TTrack& track, std::int64_t v) { return FSmall ? FloorX64(track, v) : FloorX128(track, v); }

  // Boxes below 65536 pixels (every screen) need no more than 64 bits: t^2, B^2, A^2 and
  // B^2 - v^2 are all below 2^32.
  std::int64_t FloorX64(TTrack& track, std::int64_t v) {
    const u64 rhs = FA2 * (FB2 - u64(v) * u64(v));
    const auto fits = [&](std::int64_t t) { return u64(t) * u64(t) * FB2 <= rhs; };
    std::int64_t t = -1;
    if (track.V >= 0) {
      // In the steep parts neighbouring rows differ by a step or two.
      t = track.T;
      int steps = 0;
      while (steps < 3 && t > 0 && !fits(t)) --t, ++steps;
      while (steps < 3 && t < FA && fits(t + 1)) ++t, ++steps;
      if (steps == 3) t = -1;
    }
    if (t < 0) {
      t = std::min<std::int64_t>(FA, std::int64_t(std::sqrt(double(rhs) * FInvB2)));
      while (t > 0 && !fits(t)) --t;
      while (t < FA && fits(t + 1)) ++t;
    }
    track = {v, t};
    return t;
  }

  std::int64_t FloorX128(TTrack& track, std::int64_t v) {
    const u128 rhs = u128(FA2) * (FB2 - u64(v) * u64(v));
    std::int64_t t = track.V >= 0 ? track.T : Estimate(v);
    int steps = 0;
    while (steps <= 4 && !Fits(t, FB2, rhs)) --t, ++steps;
    while (steps <= 4 && t < FA && Fits(t + 1, FB2, rhs)) ++t, ++steps;
    if (steps > 4) {
      t = Estimate(v);
      while (!Fits(t, FB2, rhs)) --t;
      while (t < FA && Fits(t + 1, FB2, rhs)) ++t;
    }
    track = {v, t};
    return t;
  }

  std::int64_t FA;
  std::int64_t FB;
  u64 FA2;
  u64 FB2;
  bool FSmall;
  double FInvB2;
  TTrack FOnRow;
  TTrack FInner;
};

// The curve of an ellipse whose box has columns 0..a and rows 0..b (a, b >= 1), as a thin curve:
// traced with integer error terms from the right end of the middle row(s) down to the bottom
// row, one quarter, the others being its mirror images. Each step goes to the neighbouring pixel
// (right, down or diagonal) whose error is smallest, so consecutive pixels touch by an edge or a
// corner. Calls visit(row, right) once per row of the lower half, from row (b + 1) / 2 down to
// row b, with the row's outermost column `right` (the row's pixels run from a - right to right);
// stops early when visit returns false.
//
// The error terms grow like 8 a b^2: boxes up to MaxTracedSide fit in 64 bits. The trace walks
// about (a + b) / 2 steps, a few thousand for a screen-sized box.
inline constexpr std::int64_t MaxTracedSide = std::int64_t{1} << 18;

template <class TVisitRow>
void TraceEllipse(std::int64_t a, std::int64_t b, TVisitRow&& visit) {
  const std::int64_t odd = b & 1;
  std::int64_t dx = 4 * (1 - a) * b * b;       // error change of the next step inwards
  std::int64_t dy = 4 * (odd + 1) * a * a;     // error change of the next step down
  std::int64_t err = dx + dy + odd * a * a;    // error of the diagonal step
  const std::int64_t stepX = 8 * b * b, stepY = 8 * a * a;
  const std::int64_t firstRow = (b + 1) / 2;
  std::int64_t x = a, y = firstRow, visited = -1;
  do {
    if (y != visited) {
      if (!visit(y, x)) return;
      visited = y;
    }
    const std::int64_t e2 = 2 * err;
    if (e2 <= dy) {
      ++y;
      dy += stepY;
      err += dy;
    }
    if (e2 >= dx || 2 * err > dy) {
      --x;
      dx += stepX;
      err += dx;
    }
  } while (2 * x >= a);
  // Very flat or very narrow boxes leave the trace before the last rows: their tips are the
  // column just outside the one the trace ended on.
  for (; 2 * (y - firstRow) + odd <= b; ++y)
    if (y != visited && !visit(y, x + 1)) return;
}

// Ellipses and rounded rectangles this small have no inside: the whole shape is the outline
// (2x2 a block, 3x3 a plus, 4x4 twelve pixels).
bool SolidShape(std::int64_t w, std::int64_t h) { return w <= 4 && h <= 4; }

struct TVisit {
  bool Draws = false;
  std::uint32_t Pixel = 0;
};

TVisit DotVisit(std::int64_t k, const TRasterPen& pen) {
  if (DotOn(k)) return {true, pen.PenPixel};
  if (pen.Fill) return {true, pen.BrushPixel};
  return {};
}

// A dotted frame one pixel wide or high: its path runs along the line and back, so the middle
// pixels are visited twice and the result depends on the mode (XOR cancels two dots).
void DegenerateDottedFrame(TSpanList& spans, const TRect& box, const TRasterPen& pen) {
  const bool vertical = box.Width() == 1;
  const std::int64_t n = vertical ? box.Height() : box.Width();
  const std::int64_t origin = vertical ? box.Top : box.Left;
  const std::int64_t limit = vertical ? spans.Height() : spans.Width();
  const std::int64_t first = std::max<std::int64_t>(0, -origin);
  const std::int64_t last = std::min<std::int64_t>(n - 1, limit - 1 - origin);
  for (std::int64_t i = first; i <= last; ++i) {
    // Vertical: down the left side, then up the right side. Horizontal: left along the top,
    // then right along the bottom.
    const std::int64_t k1 = vertical ? i : n - 1 - i;
    const std::int64_t k2 = (i >= 1 && i <= n - 2) ? (vertical ? 2 * (n - 1) - i : n - 1 + i) : -1;
    const TVisit a = DotVisit(k1, pen);
    const TVisit b = k2 >= 0 ? DotVisit(k2, pen) : TVisit{};
    TVisit result;
    if (pen.Mode == pmXor) {
      const std::uint32_t delta = (a.Draws ? a.Pixel : 0) ^ (b.Draws ? b.Pixel : 0);
      result = {delta != 0, delta};
    } else {
      result = b.Draws ? b : a;
    }
    if (!result.Draws) continue;
    if (vertical)
      spans.AddRun(origin + i, box.Left, box.Left, result.Pixel);
    else
      spans.AddRun(box.Top, origin + i, origin + i, result.Pixel);
  }
}

// The closed dotted frame: one pattern from (right-1, top) left along the top, down the left
// side, right along the bottom and up the right side; each corner pixel once.
void DottedFrame(TSpanList& spans, const TRect& box, const TRasterPen& pen) {
  const std::int64_t x1 = box.Left, y1 = box.Top, x2 = box.Right, y2 = box.Bottom;
  const std::int64_t w = x2 - x1, h = y2 - y1;
  if (w == 1 || h == 1) {
    DegenerateDottedFrame(spans, box, pen);
    return;
  }
  const std::int64_t top = std::max<std::int64_t>(y1, 0);
  const std::int64_t bottom = std::min<std::int64_t>(y2, spans.Height());
  for (std::int64_t y = top; y < bottom; ++y) {
    if (y == y1) {
      DottedRun(spans, y, x1, x2 - 1, w - 1, -1, pen);
      continue;
    }
    const std::int64_t leftK = (w - 1) + (y - y1);
    if (y == y2 - 1) {
      DottedRun(spans, y, x1, x2 - 1, leftK, 1, pen);
      continue;
    }
    DottedRun(spans, y, x1, x1, leftK, 1, pen);
    if (pen.Fill && x2 - 2 >= x1 + 1) spans.AddRun(y, x1 + 1, x2 - 2, pen.BrushPixel);
    DottedRun(spans, y, x2 - 1, x2 - 1, 2 * (w - 1) + (h - 1) + (y2 - 1 - y), 1, pen);
  }
}

}  // namespace

// ---- scratch ----

std::int32_t* RowScratch(int rows) {
  thread_local std::vector<std::int32_t> storage;
  const std::size_t need = 8 * std::size_t(rows);
  // Room for the widest pen on top, so that changing the width never reallocates.
  if (storage.size() < need) storage.resize(need + 8 * std::size_t(2 * MaxPenWidth + 16));
  return storage.data();
}

void TSpanList::Reset(int width, int height) {
  FWidth = width;
  FHeight = height;
  FSpans.clear();
  // Region figures give at most three spans a row; dotted rows and frames about one per
  // 1.5 pixels of their long rows.
  const std::size_t want = 4 * std::size_t(height) + 2 * std::size_t(width) + 64;
  if (FSpans.capacity() < want) FSpans.reserve(want);
  RowScratch(height + MaxPenWidth + 8);
}

void TSpanList::Grow() { FSpans.reserve(2 * FSpans.capacity() + 64); }

// ---- the disc ----

TDisc::TDisc(int width) : FWidth(std::clamp(width, 1, MaxPenWidth)), FLo{}, FHi{} {
  if (FWidth == 1) return;
  TEllipseRows shape(FWidth, FWidth);
  // Box rows and columns FirstRow() .. FirstRow() + width - 1; doubled centre offset `sum`.
  const int sum = 2 * FirstRow() + FWidth - 1;
  for (int row = FirstRow(); row <= LastRow(); ++row) {
    const std::int64_t u = shape.HalfWidth(std::abs(2 * row - sum));
    FLo[row - FirstRow()] = std::int32_t((sum - u) / 2);
    FHi[row - FirstRow()] = std::int32_t((sum + u) / 2);
  }
}

const TDisc& DiscOf(int width) {
  thread_local TDisc disc(2);
  if (disc.Width() != width) disc = TDisc(width);
  return disc;
}

// ---- the stroker ----

void StrokeRows(TSpanList& spans, const TShapeRows& rows, std::int64_t outTop, std::int64_t outBottom, bool closed,
                const TRasterPen& pen, std::int32_t* scratch) {
  const int count = rows.Count();
  const int n = int(outBottom - outTop);
  const std::int32_t* fl = rows.L();
  const std::int32_t* fr = rows.R();
  // The region's inside: its pixels whose left, right, upper and lower neighbours all belong to
  // it (a pixel with only a diagonal neighbour outside is inside), so that the outline is a thin
  // curve whose pixels touch by an edge or a corner. Row runs: a pixel is inside when it is
  // within its own row's run but not at its ends, and within both neighbouring rows' runs.
  const auto inside = [&](std::size_t t, std::int32_t& l, std::int32_t& r) {
    l = std::max({fl[t - 1], fl[t] + 1, fl[t + 1]});
    r = std::min({fr[t - 1], fr[t] - 1, fr[t + 1]});
  };
  const auto first = std::size_t(outTop - rows.Base());  // table index of row outTop

  if (pen.Width <= 1) {
    for (int i = 0; i < n; ++i) {
      const std::size_t t = first + i;
      const std::int64_t y = outTop + i;
      if (fl[t] > fr[t]) continue;
      std::int32_t l = TShapeRows::EmptyL, r = TShapeRows::EmptyR;
      if (closed) inside(t, l, r);
      if (l <= r) {
        spans.AddRun(y, fl[t], l - 1, pen.PenPixel);
        if (pen.Fill) spans.AddRun(y, l, r, pen.BrushPixel);
        spans.AddRun(y, r + 1, fr[t], pen.PenPixel);
      } else {
        spans.AddRun(y, fl[t], fr[t], pen.PenPixel);
      }
    }
    return;
  }

  std::int32_t* il = scratch;
  std::int32_t* ir = scratch + count;
  if (closed) {
    il[0] = il[count - 1] = TShapeRows::EmptyL;
    ir[0] = ir[count - 1] = TShapeRows::EmptyR;
    for (int i = 1; i < count - 1; ++i) inside(std::size_t(i), il[i], ir[i]);
  }

  // Wide pen: the disc swept along the outline covers the dilation of the region by the disc
  // minus the inside's erosion by the mirrored disc (the pixels whose mirrored disc stays
  // inside). Both are row-wise extremes over the disc's rows.
  const TDisc& disc = DiscOf(pen.Width);
  std::int32_t* ol = scratch + 2 * std::size_t(count);
  std::int32_t* orr = ol + count;
  std::int32_t* el = orr + count;
  std::int32_t* er = el + count;
  std::fill_n(ol, n, TShapeRows::EmptyL);
  std::fill_n(orr, n, TShapeRows::EmptyR);
  for (int j = disc.FirstRow(); j <= disc.LastRow(); ++j) {
    const std::int32_t lo = disc.Lo(j), hi = disc.Hi(j);
    const std::int32_t* l = fl + first - j;
    const std::int32_t* r = fr + first - j;
    for (int i = 0; i < n; ++i) {
      ol[i] = std::min(ol[i], l[i] + lo);
      orr[i] = std::max(orr[i], r[i] + hi);
    }
  }
  if (closed) {
    std::fill_n(el, n, TShapeRows::EmptyR);
    std::fill_n(er, n, TShapeRows::EmptyL);
    for (int j = disc.FirstRow(); j <= disc.LastRow(); ++j) {
      const std::int32_t lo = disc.Lo(j), hi = disc.Hi(j);
      const std::int32_t* l = il + first - j;
      const std::int32_t* r = ir + first - j;
      for (int i = 0; i < n; ++i) {
        el[i] = std::max(el[i], l[i] + hi);
        er[i] = std::min(er[i], r[i] + lo);
      }
    }
  }
  for (int i = 0; i < n; ++i) {
    if (ol[i] > orr[i]) continue;
    const std::int64_t y = outTop + i;
    if (closed && el[i] <= er[i]) {
      spans.AddRun(y, ol[i], el[i] - 1, pen.PenPixel);
      if (pen.Fill) spans.AddRun(y, el[i], er[i], pen.BrushPixel);
      spans.AddRun(y, er[i] + 1, orr[i], pen.PenPixel);
    } else {
      spans.AddRun(y, ol[i], orr[i], pen.PenPixel);
    }
  }
}

void DottedRun(TSpanList& spans, std::int64_t y, std::int64_t first, std::int64_t last, std::int64_t kFirst, int kStep,
               const TRasterPen& pen) {
  if (y < 0 || y >= spans.Height()) return;
  const std::int64_t a = std::max<std::int64_t>(first, 0);
  const std::int64_t b = std::min<std::int64_t>(last, spans.Width() - 1);
  std::int64_t k = kFirst + kStep * (a - first);
  for (std::int64_t x = a; x <= b;) {
    const std::int64_t phase = k % 6;
    const bool on = phase < 3;
    // Pixels left in this dot or gap, walking right.
    const std::int64_t left = kStep > 0 ? (on ? 3 - phase : 6 - phase) : (on ? phase + 1 : phase - 2);
    const std::int64_t end = std::min(b, x + left - 1);
    if (on)
      spans.AddRun(y, x, end, pen.PenPixel);
    else if (pen.Fill)
      spans.AddRun(y, x, end, pen.BrushPixel);
    k += kStep * (end - x + 1);
    x = end + 1;
  }
}

// ---- figures ----

void RectangleSpans(TSpanList& spans, const TRect& box, const TRasterPen& pen) {
  const std::int64_t w = box.Width(), h = box.Height();
  if (w <= 0 || h <= 0 || (w == 1 && h == 1)) return;
  if (pen.Dotted) {
    DottedFrame(spans, box, pen);
    return;
  }
  StrokeShape(spans, box.Top, box.Bottom, true, pen, [&](TShapeRows& rows, std::int64_t from, std::int64_t to) {
    for (std::int64_t y = from; y < to; ++y) rows.Set(y, box.Left, std::int64_t{box.Right} - 1);
  });
}

void EllipseSpans(TSpanList& spans, const TRect& box, const TRasterPen& pen) {
  const std::int64_t w = box.Width(), h = box.Height();
  if (w <= 1 || h <= 1) return;
  const std::int64_t sumX = std::int64_t{box.Left} + box.Right - 1;
  const std::int64_t sumY = std::int64_t{box.Top} + box.Bottom - 1;
  if (w > MaxTracedSide || h > MaxTracedSide) {
    // Far larger than any screen (only reachable through absurd coordinates): the rows come in
    // closed form from the pixels the curve passes near, so that only the visible rows cost
    // anything. They can differ from the trace's where the curve runs nearly level.
    TEllipseRows shape(w, h);
    StrokeShape(spans, box.Top, box.Bottom, true, pen, [&](TShapeRows& rows, std::int64_t from, std::int64_t to) {
      for (std::int64_t y = from; y < to; ++y) {
        if (const std::int64_t mirror = sumY - y; mirror >= from && mirror < y) {
          rows.Copy(y, mirror);  // rows mirrored about the centre are alike
          continue;
        }
        const std::int64_t u = shape.HalfWidth(std::abs(2 * y - sumY));
        rows.Set(y, (sumX - u) / 2, (sumX + u) / 2);
      }
    });
    return;
  }
  StrokeShape(spans, box.Top, box.Bottom, !SolidShape(w, h), pen,
              [&](TShapeRows& rows, std::int64_t from, std::int64_t to) {
                TraceEllipse(w - 1, h - 1, [&](std::int64_t row, std::int64_t right) {
                  const std::int64_t lower = std::int64_t{box.Top} + row, upper = sumY - lower;
                  const std::int64_t r = std::int64_t{box.Left} + right, l = sumX - r;
                  if (lower >= from && lower < to) rows.Set(lower, l, r);
                  if (upper >= from && upper < to) rows.Set(upper, l, r);
                  return lower + 1 < to || upper - 1 >= from;
                });
              });
}

void RoundRectSpans(TSpanList& spans, const TRect& box, std::int64_t cornerWidth, std::int64_t cornerHeight,
                    const TRasterPen& pen) {
  const std::int64_t w = box.Width(), h = box.Height();
  if (w <= 0 || h <= 0) return;
  const std::int64_t cw = std::clamp<std::int64_t>(cornerWidth, 0, w);
  const std::int64_t ch = std::clamp<std::int64_t>(cornerHeight, 0, h);
  if (cw <= 2 || ch <= 2) {
    RectangleSpans(spans, box, pen);
    return;
  }
  const std::int64_t sumY = std::int64_t{box.Top} + box.Bottom - 1;
  const std::int64_t right = std::int64_t{box.Right} - 1;
  // Rows full width, then the corner ellipse's rows over the top and bottom ones: its left and
  // right halves moved out to the box's sides. With the corner as large as the box this is the
  // ellipse.
  if (cw > MaxTracedSide || ch > MaxTracedSide) {
    TEllipseRows corner(cw, ch);  // closed form, as for huge ellipses
    StrokeShape(spans, box.Top, box.Bottom, true, pen, [&](TShapeRows& rows, std::int64_t from, std::int64_t to) {
      for (std::int64_t y = from; y < to; ++y) {
        if (const std::int64_t mirror = sumY - y; mirror >= from && mirror < y) {
          rows.Copy(y, mirror);
          continue;
        }
        const std::int64_t e = std::min(y - box.Top, std::int64_t{box.Bottom} - 1 - y);
        std::int64_t cut = 0;
        if (e < ch / 2) cut = (cw - 1 - corner.HalfWidth(ch - 1 - 2 * e)) / 2;
        rows.Set(y, box.Left + cut, right - cut);
      }
    });
    return;
  }
  StrokeShape(spans, box.Top, box.Bottom, !SolidShape(w, h), pen,
              [&](TShapeRows& rows, std::int64_t from, std::int64_t to) {
                for (std::int64_t y = from; y < to; ++y) rows.Set(y, box.Left, right);
                TraceEllipse(cw - 1, ch - 1, [&](std::int64_t row, std::int64_t cornerRight) {
                  const std::int64_t cut = cw - 1 - cornerRight;
                  const std::int64_t top = std::int64_t{box.Top} + (ch - 1 - row), bottom = sumY - top;
                  if (top >= from && top < to) rows.Set(top, box.Left + cut, right - cut);
                  if (bottom >= from && bottom < to) rows.Set(bottom, box.Left + cut, right - cut);
                  return top - 1 >= from || bottom + 1 < to;
                });
              });
}

void FillSpans(TSpanList& spans, const TRect& rect, std::uint32_t pixel) {
  if (rect.IsEmpty()) return;
  const std::int64_t top = std::max<std::int64_t>(rect.Top, 0);
  const std::int64_t bottom = std::min<std::int64_t>(rect.Bottom, spans.Height());
  for (std::int64_t y = top; y < bottom; ++y) spans.AddRun(y, rect.Left, std::int64_t{rect.Right} - 1, pixel);
}

}  // namespace Raster
