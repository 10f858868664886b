#include "platform/raster/canvas.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
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

QColor ToQColor(TColor color) {
  const TColor rgb = ColorToRGB(color);
  return QColor(int(rgb & 0xFF), int((rgb >> 8) & 0xFF), int((rgb >> 16) & 0xFF));
}

// Text boxes far from the target are not measured: the font engine's fixed-point coordinates
// would overflow.
constexpr std::int64_t FarAway = std::int64_t{1} << 24;

}  // namespace

QString ResolveFontFace(const QString& name) {
  if (name.isEmpty()) return name;
  // Faces the desktop lacks are common: files and the original platform name Windows faces.
  // The answer is kept per name; the font list does not change while we run.
  static QHash<QString, QString> resolved;
  const auto known = resolved.constFind(name);
  if (known != resolved.constEnd()) return *known;
  QString face = name;
  if (!QFontDatabase::hasFamily(name)) {
    face.clear();
    for (const char* fallback : {"WenQuanYi Micro Hei", "WenQuanYi Zen Hei", "Noto Sans CJK SC", "Droid Sans Fallback"})
      if (QFontDatabase::hasFamily(QString::fromLatin1(fallback))) {
        face = QString::fromLatin1(fallback);
        break;
      }
  }
  resolved.insert(name, face);
  return face;
}

QFont QFontOf(const TFont& font) {
  const QString face = ResolveFontFace(font.Name);
  QFont result = face.isEmpty() ? QFont() : QFont(face);
  if (font.Size > 0) result.setPointSize(font.Size);
  result.setBold((font.Style & fsBold) != 0);
  result.setItalic((font.Style & fsItalic) != 0);
  result.setUnderline((font.Style & fsUnderline) != 0);
  result.setStrikeOut((font.Style & fsStrikeOut) != 0);
  return result;
}

TFont TFontOf(const QFont& font, TColor color) {
  TFont result;
  result.Name = font.family();
  // A font given in pixels only is taken at the 96 dots per inch text is drawn with.
  result.Size = font.pointSize() > 0 ? font.pointSize() : std::max(1, font.pixelSize() * 72 / 96);
  result.Color = color;
  result.Style = (font.bold() ? fsBold : 0u) | (font.italic() ? fsItalic : 0u) | (font.underline() ? fsUnderline : 0u) |
                 (font.strikeOut() ? fsStrikeOut : 0u);
  return result;
}

template <class TBuild>
void TCanvas::Draw(TPenMode mode, bool oneRect, TBuild&& build) {
  if (FTarget == nullptr || FTarget->Empty()) return;
  Raster::TSpanList& spans = ThreadSpans();
  spans.Reset(FTarget->Width(), FTarget->Height());
  build(spans);
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
  Damaged(sameSize ? Raster::CopyPixels(*FTarget, dest, source, src, clip)
                   : Raster::StretchPixels(*FTarget, dest, source, src, clip));
}

namespace {

// The pixels text drawn at (x, y) may change: the text box, widened by glyphs that overhang it
// (italics, wide letters in some faces). Not clipped.
TRect TextBox(const QFontMetrics& metrics, int x, int y, const QString& text) {
  const QRect ink = metrics.boundingRect(text).translated(0, metrics.ascent());
  const std::int64_t advance = std::min<std::int64_t>(metrics.horizontalAdvance(text), FarAway);
  const auto clamp = [](std::int64_t v) { return std::int32_t(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); };
  return TRect{clamp(std::int64_t{x} + std::min(0, ink.left())), clamp(std::int64_t{y} + std::min(0, ink.top())),
               clamp(std::int64_t{x} + std::max<std::int64_t>(advance, ink.right() + 1)),
               clamp(std::int64_t{y} + std::max(metrics.height(), ink.bottom() + 1))};
}

bool FarFromOrigin(int x, int y) { return std::abs(std::int64_t{x}) > FarAway || std::abs(std::int64_t{y}) > FarAway; }

}  // namespace

TRect TCanvas::TextBounds(int x, int y, const QString& text) const {
  if (text.isEmpty() || FarFromOrigin(x, y)) return TRect{};
  const QFont font = QFontOf(Font);
  if (FTarget == nullptr || FTarget->Empty()) return TextBox(QFontMetrics(font), x, y, text);
  const QImage view = FTarget->View();
  return TextBox(QFontMetrics(font, &view), x, y, text);
}

void TCanvas::TextOut(int x, int y, const QString& text) {
  // Far away the font engine's fixed-point coordinates would overflow: such text misses the
  // target anyway.
  if (FTarget == nullptr || FTarget->Empty() || text.isEmpty() || FarFromOrigin(x, y)) return;
  QImage view = FTarget->View();
  const QFont font = QFontOf(Font);
  const QFontMetrics metrics(font, &view);
  const TRect bounds{0, 0, FTarget->Width(), FTarget->Height()};
  const TRect visible = Intersect(TextBox(metrics, x, y, text), bounds);
  if (visible.IsEmpty()) return;

  QRegion clip(0, 0, bounds.Right, bounds.Bottom);
  std::array<TRect, MaxExcluded> excluded;
  const int count = VisibleExcluded(excluded);
  for (int i = 0; i < count; ++i) {
    const TRect& r = excluded[i];
    clip -= QRegion(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
  }
  {
    QPainter painter(&view);
    painter.setClipRegion(clip);
    painter.setFont(font);
    if (Brush.Style != bsClear)
      painter.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()), ToQColor(Brush.Color));
    painter.setPen(ToQColor(Font.Color));
    painter.drawText(QPoint(x, y + metrics.ascent()), text);
  }
  Damaged(visible);
}

// Measured on the target when there is one, so that the numbers match what TextOut draws.
int TCanvas::TextWidth(const QString& text) const {
  if (FTarget == nullptr || FTarget->Empty()) return QFontMetrics(QFontOf(Font)).horizontalAdvance(text);
  const QImage view = FTarget->View();
  return QFontMetrics(QFontOf(Font), &view).horizontalAdvance(text);
}

int TCanvas::TextHeight(const QString& text) const {
  Q_UNUSED(text);
  if (FTarget == nullptr || FTarget->Empty()) return QFontMetrics(QFontOf(Font)).height();
  const QImage view = FTarget->View();
  return QFontMetrics(QFontOf(Font), &view).height();
}

std::uint32_t TCanvas::Pixel(int x, int y) const {
  if (FTarget == nullptr || x < 0 || y < 0 || x >= FTarget->Width() || y >= FTarget->Height()) return 0;
  return FTarget->Pixel(x, y);
}
