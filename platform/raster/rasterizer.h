#pragma once

// Turns figures into horizontal spans in which every pixel occurs at most once. Internal to the
// raster layer: TCanvas drives it and applies the spans with its pen mode.

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/raster/bitmap.h"
#include "platform/raster/canvas.h"
#include "platform/raster/rect.h"

namespace Raster {

// Widths past this are clamped: a pen a thousand pixels wide already covers a 4K screen twice
// over, and the disc and row tables stay small.
inline constexpr int MaxPenWidth = 1000;

// Pixels X0 .. X1-1 of row Y, all inside the target.
struct TSpan {
  std::int32_t Y;
  std::int32_t X0;
  std::int32_t X1;
  std::uint32_t Pixel;
};

// The spans of one primitive, clipped to the target's bounds as they are added. Keeps its
// capacity between primitives so that drawing allocates nothing once warmed up.
class TSpanList {
 public:
  // Starts a primitive on a target of this size; allocates only when the capacity reserved for
  // a target of that size is missing.
  void Reset(int width, int height);

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }

  // Pixels first..last (inclusive) of row y; any part outside the target is dropped.
  void AddRun(std::int64_t y, std::int64_t first, std::int64_t last, std::uint32_t pixel) {
    if (y < 0 || y >= FHeight) return;
    if (first < 0) first = 0;
    if (last >= FWidth) last = std::int64_t{FWidth} - 1;
    if (first > last) return;
    if (FSpans.size() == FSpans.capacity()) Grow();
    FSpans.push_back(TSpan{std::int32_t(y), std::int32_t(first), std::int32_t(last + 1), pixel});
  }

  std::span<const TSpan> Spans() const { return FSpans; }

 private:
  void Grow();
  std::vector<TSpan> FSpans;
  int FWidth = 0;
  int FHeight = 0;
};

// What a figure is drawn with, resolved once per call.
struct TRasterPen {
  int Width = 1;        // 1 .. MaxPenWidth; 1 covers widths 0 and 1
  bool Dotted = false;  // only with Width 1
  std::uint32_t PenPixel = 0;
  bool Fill = false;  // solid brush: interiors and dot gaps
  std::uint32_t BrushPixel = 0;
  TPenMode Mode = pmCopy;  // only where a figure's pixels overlap themselves (degenerate dotted frames)
};

// Each call adds the spans of one primitive. Coordinates are those of the canvas; anything may be
// off the target or absurdly large.
void LineSpans(TSpanList& spans, std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2,
               const TRasterPen& pen);
void RectangleSpans(TSpanList& spans, const TRect& box, const TRasterPen& pen);
void EllipseSpans(TSpanList& spans, const TRect& box, const TRasterPen& pen);
void RoundRectSpans(TSpanList& spans, const TRect& box, std::int64_t cornerWidth, std::int64_t cornerHeight,
                    const TRasterPen& pen);
void FillSpans(TSpanList& spans, const TRect& rect, std::uint32_t pixel);

// The one place where pixels change: applies the spans with the pen mode, leaving out the
// excluded rectangles (already within the target). Returns the bounds of what it wrote.
TRect ApplySpans(TBitmap& target, std::span<const TSpan> spans, TPenMode mode, std::span<const TRect> excluded);

// Bounds of what a call wrote, grown piece by piece.
struct TBounds {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool Any = false;
  void Add(int y, int x0, int x1) {  // pixels x0..x1-1 of row y
    if (!Any) {
      *this = {x0, y, x1, y + 1, true};
      return;
    }
    Left = std::min(Left, x0);
    Right = std::max(Right, x1);
    Top = std::min(Top, y);
    Bottom = std::max(Bottom, y + 1);
  }
  TRect Rect() const { return Any ? TRect{Left, Top, Right, Bottom} : TRect{}; }
};

// Calls piece(x0, x1) for the parts of row y's pixels x0..x1-1 outside the excluded rectangles,
// left to right (right to left when `reverse`).
template <class TPiece>
void ForPieces(int y, int x0, int x1, std::span<const TRect> excluded, bool reverse, TPiece&& piece) {
  struct TCut {
    int L, R;
  };
  TCut cuts[TCanvas::MaxExcluded];
  int n = 0;
  for (const TRect& r : excluded) {
    if (y < r.Top || y >= r.Bottom || r.Left >= x1 || r.Right <= x0) continue;
    const TCut cut{std::max(r.Left, x0), std::min(r.Right, x1)};
    int i = n++;
    for (; i > 0 && cuts[i - 1].L > cut.L; --i) cuts[i] = cuts[i - 1];
    cuts[i] = cut;
  }
  if (n == 0) {
    piece(x0, x1);
    return;
  }
  // Gaps between the cuts (cuts may overlap one another).
  TCut gaps[TCanvas::MaxExcluded + 1];
  int g = 0;
  int x = x0;
  for (int i = 0; i < n; ++i) {
    if (cuts[i].L > x) gaps[g++] = {x, cuts[i].L};
    x = std::max(x, cuts[i].R);
  }
  if (x < x1) gaps[g++] = {x, x1};
  if (reverse)
    for (int i = g - 1; i >= 0; --i) piece(gaps[i].L, gaps[i].R);
  else
    for (int i = 0; i < g; ++i) piece(gaps[i].L, gaps[i].R);
}

// Block copies. Equal sizes copy 1:1 exactly (source and target may be the same bitmap and
// overlap); different sizes scale smoothly. Parts of src outside the source leave the target
// untouched; nothing is written outside the target or inside the excluded rectangles. Return
// the bounds of what they wrote.
TRect CopyPixels(TBitmap& target, const TRect& dest, const TBitmap& source, const TRect& src,
                 std::span<const TRect> excluded);
TRect StretchPixels(TBitmap& target, const TRect& dest, const TBitmap& source, const TRect& src,
                    std::span<const TRect> excluded);

// The pen's disc for a width of 2 or more: row j (from -width/2 to (width-1)/2) covers offsets
// Lo(j) .. Hi(j). It is the filled ellipse of a width x width box (see EllipseSpans).
class TDisc {
 public:
  explicit TDisc(int width);
  int Width() const { return FWidth; }
  int FirstRow() const { return -(FWidth / 2); }
  int LastRow() const { return (FWidth - 1) / 2; }
  int Lo(int row) const { return FLo[row - FirstRow()]; }
  int Hi(int row) const { return FHi[row - FirstRow()]; }

 private:
  int FWidth;
  std::int32_t FLo[MaxPenWidth];
  std::int32_t FHi[MaxPenWidth];
};

// The disc of a width, cached per thread (recomputed only when the width changes).
const TDisc& DiscOf(int width);

}  // namespace Raster
