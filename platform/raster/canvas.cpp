#include "platform/raster/canvas.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <utility>

#include "platform/raster/damage.h"
#include "platform/raster/rasterizer.h"

namespace {

// One span list per thread, reused by every canvas: after the first figure on a target of a
// given size, drawing allocates nothing.
Raster::TSpanList& ThreadSpans() {
  thread_local Raster::TSpanList spans;
  return spans;
}

// Likewise one damage table per thread.
Raster::TDamageBands& ThreadDamage() {
  thread_local Raster::TDamageBands damage;
  return damage;
}

Raster::TRasterPen RasterPen(const TPen& pen, const TBrush& brush) {
  Raster::TRasterPen result;
  result.Width = std::clamp(pen.Width, 1, Raster::MaxPenWidth);
  // A dotted pen wider than one pixel draws solid, as on the classic desktop.
  result.Dotted = pen.Style == psDot && result.Width == 1;
  result.PenPixel = ColorToPixel(pen.Color);
  result.Fill = brush.Style == bsSolid;
  result.BrushPixel = ColorToPixel(brush.Color);
  result.Mode = pen.Mode;
  return result;
}

// Text boxes far from the target are not measured: the font engine's fixed-point coordinates
// would overflow.
constexpr std::int64_t FarAway = std::int64_t{1} << 24;

}  // namespace

template <class TBuild>
void TCanvas::Draw(TPenMode mode, bool oneRect, TBuild&& build) {
  if (FTarget == nullptr || FTarget->Empty()) return;
  Raster::TSpanList& spans = ThreadSpans();
  spans.Reset(FTarget->Width(), FTarget->Height());
  build(spans);
  if (FChange != nullptr) TellChanging(spans.Spans());
  std::array<TRect, MaxExcluded> excluded;
  const std::span<const TRect> clip{excluded.data(), std::size_t(VisibleExcluded(excluded))};
  const TRect bounds = Raster::ApplySpans(*FTarget, spans.Spans(), mode, clip);
  if (FDamage == nullptr || bounds.IsEmpty()) return;
  // Splitting bounds this small could not save the cost of one more rectangle.
  if (oneRect || bounds.Width() * bounds.Height() <= Raster::TDamageBands::JoinArea) {
    FDamage->Damaged(bounds);
    return;
  }
  Raster::TDamageBands& damage = ThreadDamage();
  damage.Reset(FTarget->Height());
  damage.AddSpans(spans.Spans(), clip);
  damage.Report(*FDamage);
}

int TCanvas::VisibleExcluded(std::array<TRect, MaxExcluded>& out) const {
  const TRect bounds{0, 0, FTarget->Width(), FTarget->Height()};
  int count = 0;
  for (int i = 0; i < FExcludedCount; ++i) {
    const TRect r = Intersect(FExcluded[i], bounds);
    if (!r.IsEmpty()) out[count++] = r;
  }
  return count;
}

void TCanvas::Damaged(const TRect& rect) {
  if (FDamage != nullptr && !rect.IsEmpty()) FDamage->Damaged(rect);
}

void TCanvas::TellChanging(std::span<const Raster::TSpan> spans) {
  TRect bounds{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (const Raster::TSpan& span : spans) {
    if (span.X1 <= span.X0) continue;
    bounds = TRect{std::min(bounds.Left, span.X0), std::min(bounds.Top, span.Y), std::max(bounds.Right, span.X1),
                   std::max(bounds.Bottom, span.Y + 1)};
  }
  if (bounds.IsEmpty()) return;
  // A small figure (a stroke's segment) is told as its bounds, in one call; a large one row by
  // row, so that a hollow screen-sized figure is not told as the whole screen.
  constexpr std::int64_t OneCall = 128 * 128;
  if (bounds.Width() * bounds.Height() <= OneCall) {
    FChange->Changing(bounds);
    return;
  }
  for (const Raster::TSpan& span : spans)
    if (span.X1 > span.X0) FChange->Changing(TRect{span.X0, span.Y, span.X1, span.Y + 1});
}

void TCanvas::Changing(const TRect& rect) {
  if (FChange == nullptr) return;
  const TRect within = Intersect(rect, TRect{0, 0, FTarget->Width(), FTarget->Height()});
  if (!within.IsEmpty()) FChange->Changing(within);
}

void TCanvas::ExcludeClipRect(const TRect& rect) {
  if (rect.IsEmpty() || FExcludedCount >= MaxExcluded) return;
  FExcluded[FExcludedCount++] = rect;
}

void TCanvas::ResetClip() { FExcludedCount = 0; }

void TCanvas::MoveTo(int x, int y) { PenPos = {x, y}; }

void TCanvas::LineTo(int x, int y) {
  const TPoint from = PenPos;
  PenPos = {x, y};
  const Raster::TRasterPen pen = RasterPen(Pen, Brush);
  Draw(Pen.Mode, false, [&](Raster::TSpanList& spans) { Raster::LineSpans(spans, from.X, from.Y, x, y, pen); });
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  const Raster::TRasterPen pen = RasterPen(Pen, Brush);
  const TRect box = RectFromCorners(x1, y1, x2, y2);
  Draw(Pen.Mode, false, [&](Raster::TSpanList& spans) { Raster::RectangleSpans(spans, box, pen); });
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  const Raster::TRasterPen pen = RasterPen(Pen, Brush);
  const TRect box = RectFromCorners(x1, y1, x2, y2);
  Draw(Pen.Mode, false, [&](Raster::TSpanList& spans) { Raster::EllipseSpans(spans, box, pen); });
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int cornerWidth, int cornerHeight) {
  const Raster::TRasterPen pen = RasterPen(Pen, Brush);
  const TRect box = RectFromCorners(x1, y1, x2, y2);
  Draw(Pen.Mode, false,
       [&](Raster::TSpanList& spans) { Raster::RoundRectSpans(spans, box, cornerWidth, cornerHeight, pen); });
}

namespace {

// The pixels a fill from `from` (inclusive) towards `to` (exclusive) covers on one axis, as
// the classic block fill counts them: in order from..to-1, in reverse order to+1..from (the same
// count, mirrored about `from`). Returned half-open; saturates at the edge of 32 bits, far
// outside any target.
std::pair<std::int32_t, std::int32_t> FillExtent(std::int32_t from, std::int32_t to) {
  if (from <= to) return {from, to};
  const auto sat = [](std::int64_t v) { return std::int32_t(std::min<std::int64_t>(v, INT32_MAX)); };
  return {sat(std::int64_t{to} + 1), sat(std::int64_t{from} + 1)};
}

}  // namespace

void TCanvas::FillRect(const TRect& rect) {
  const std::uint32_t pixel = ColorToPixel(Brush.Color);
  const auto [left, right] = FillExtent(rect.Left, rect.Right);
  const auto [top, bottom] = FillExtent(rect.Top, rect.Bottom);
  const TRect box{left, top, right, bottom};
  Draw(pmCopy, true, [&](Raster::TSpanList& spans) { Raster::FillSpans(spans, box, pixel); });
}

void TCanvas::CopyRect(const TRect& dest, const TCanvas& source, const TRect& src) {
  if (source.FTarget != nullptr) CopyFrom(dest, *source.FTarget, src);
}

void TCanvas::StretchDraw(const TRect& dest, const TBitmap& graphic) {
  CopyFrom(dest, graphic, TRect{0, 0, graphic.Width(), graphic.Height()});
}

void TCanvas::CopyFrom(const TRect& dest, const TBitmap& source, const TRect& src) {
  if (FTarget == nullptr || FTarget->Empty() || source.Empty()) return;
  if (dest.IsEmpty() || src.IsEmpty()) return;
  std::array<TRect, MaxExcluded> excluded;
  const std::span<const TRect> clip{excluded.data(), std::size_t(VisibleExcluded(excluded))};
  const bool sameSize = dest.Width() == src.Width() && dest.Height() == src.Height();
  Changing(dest);
  Damaged(sameSize ? Raster::CopyPixels(*FTarget, dest, source, src, clip)
                   : Raster::StretchPixels(*FTarget, dest, source, src, clip));
}

namespace {

// The pixels text drawn at (x, y) may change: the text box, widened by glyphs that overhang it
// (italics, wide letters in some faces). Not clipped.
TRect TextBox(const TFontEngine::TMetrics& metrics, int x, int y) {
  const std::int64_t advance = std::min<std::int64_t>(metrics.Advance, FarAway);
  const auto clamp = [](std::int64_t v) { return std::int32_t(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); };
  return TRect{clamp(std::int64_t{x} + std::min(0, metrics.Ink.Left)),
               clamp(std::int64_t{y} + std::min(0, metrics.Ink.Top)),
               clamp(std::int64_t{x} + std::max<std::int64_t>(advance, metrics.Ink.Right)),
               clamp(std::int64_t{y} + std::max(metrics.Height, metrics.Ink.Bottom))};
}

bool FarFromOrigin(int x, int y) { return std::abs(std::int64_t{x}) > FarAway || std::abs(std::int64_t{y}) > FarAway; }

TFontEngine* InstalledFonts = nullptr;
TImageScaler* InstalledScaler = nullptr;

}  // namespace

namespace Raster {

void InstallEngines(TFontEngine* fonts, TImageScaler* scaler) {
  InstalledFonts = fonts;
  InstalledScaler = scaler;
}

TFontEngine& FontEngine() {
  if (InstalledFonts == nullptr) throw std::logic_error("no font engine is installed for drawing text");
  return *InstalledFonts;
}

TImageScaler& ImageScaler() {
  if (InstalledScaler == nullptr) throw std::logic_error("no image scaler is installed for stretching pictures");
  return *InstalledScaler;
}

}  // namespace Raster

// Measured on the target when there is one, so that the numbers match what TextOut draws.
TRect TCanvas::TextBounds(int x, int y, std::string_view text) const {
  if (text.empty() || FarFromOrigin(x, y)) return TRect{};
  const TBitmap* target = FTarget == nullptr || FTarget->Empty() ? nullptr : FTarget;
  return TextBox(Raster::FontEngine().Measure(Font, target, text), x, y);
}

void TCanvas::TextOut(int x, int y, std::string_view text) {
  // Far away the font engine's fixed-point coordinates would overflow: such text misses the
  // target anyway.
  if (FTarget == nullptr || FTarget->Empty() || text.empty() || FarFromOrigin(x, y)) return;
  TFontEngine& engine = Raster::FontEngine();
  const TRect bounds{0, 0, FTarget->Width(), FTarget->Height()};
  const TRect visible = Intersect(TextBox(engine.Measure(Font, FTarget, text), x, y), bounds);
  if (visible.IsEmpty()) return;
  std::array<TRect, MaxExcluded> excluded;
  const std::span<const TRect> clip{excluded.data(), std::size_t(VisibleExcluded(excluded))};
  std::optional<TColor> background;
  if (Brush.Style != bsClear) background = Brush.Color;
  Changing(visible);
  engine.Draw(*FTarget, clip, Font, x, y, text, background);
  Damaged(visible);
}

int TCanvas::TextWidth(std::string_view text) const {
  const TBitmap* target = FTarget == nullptr || FTarget->Empty() ? nullptr : FTarget;
  return Raster::FontEngine().Measure(Font, target, text).Advance;
}

int TCanvas::TextHeight(std::string_view text) const {
  const TBitmap* target = FTarget == nullptr || FTarget->Empty() ? nullptr : FTarget;
  return Raster::FontEngine().Measure(Font, target, text).Height;
}

std::uint32_t TCanvas::Pixel(int x, int y) const {
  if (FTarget == nullptr || x < 0 || y < 0 || x >= FTarget->Width() || y >= FTarget->Height()) return 0;
  return FTarget->Pixel(x, y);
}
