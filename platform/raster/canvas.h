#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/raster/bitmap.h"
#include "platform/raster/colors.h"
#include "platform/raster/engines.h"
#include "platform/raster/rect.h"

namespace Raster {
struct TSpan;
}

enum TPenMode { pmCopy, pmXor };
enum TPenStyle { psSolid, psDot };
enum TBrushStyle { bsSolid, bsClear };

struct TPen {
  TColor Color = clBlack;
  int Width = 1;  // 0 and 1 both draw one pixel wide
  TPenMode Mode = pmCopy;
  TPenStyle Style = psSolid;
};

struct TBrush {
  TColor Color = clWhite;
  TBrushStyle Style = bsSolid;
};

// Told which parts of the target a drawing call changed, so that only those are repainted. A
// figure's call reports a few rectangles, clipped to the target, that together cover every pixel
// it changed (a hollow screen-sized figure is not reported as the whole screen); block copies,
// fills and text report one. Told while the call is still running: it must not draw.
class TDamageSink {
 public:
  virtual ~TDamageSink() = default;
  virtual void Damaged(const TRect& rect) = 0;
};

// Told, before a drawing call changes the target, rectangles within the target that together
// cover every pixel the call may change (the clip not taken out), so that what is there can be
// kept. Told while the call is running: it must not draw.
class TChangeSink {
 public:
  virtual ~TChangeSink() = default;
  virtual void Changing(const TRect& rect) = 0;
};

// Draws on a TBitmap following the classic raster rules: every primitive is turned into spans in
// which each pixel occurs once, then the pen mode is applied, so an XOR figure drawn twice
// restores every pixel. Drawing is clipped to the bitmap minus the excluded rectangles.
// Figure calls allocate nothing once warmed up.
class TCanvas {
 public:
  static constexpr int MaxExcluded = 8;

  TCanvas() = default;
  explicit TCanvas(TBitmap* target) : FTarget(target) {}
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  TPen Pen;
  TBrush Brush;
  TFont Font;
  TPoint PenPos;

  void SetTarget(TBitmap* target) { FTarget = target; }
  TBitmap* Target() const { return FTarget; }
  // The device surface, for block transfers.
  TBitmap* Handle() const { return FTarget; }
  void SetDamageSink(TDamageSink* sink) { FDamage = sink; }
  void SetChangeSink(TChangeSink* sink) { FChange = sink; }

  // Clip: the bitmap's bounds minus these rectangles (at most MaxExcluded; more are ignored).
  void ExcludeClipRect(const TRect& rect);
  void ResetClip();
  int ExcludedCount() const { return FExcludedCount; }

  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Rectangle(int x1, int y1, int x2, int y2);
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  void Ellipse(int x1, int y1, int x2, int y2);
  void RoundRect(int x1, int y1, int x2, int y2, int cornerWidth, int cornerHeight);
  // Brush colour, ignoring the pen mode and bsClear; Left/Top inclusive, Right/Bottom exclusive.
  // An axis given in reverse order fills Right+1 .. Left (Bottom+1 .. Top), as the classic
  // block fill does; zero width or height fills nothing.
  void FillRect(const TRect& rect);
  // Copies src of the source canvas onto dest of this one, stretching smoothly when the sizes
  // differ and copying 1:1 exactly when they are equal. Parts of src outside the source leave
  // the destination untouched. Source and destination may be the same canvas.
  void CopyRect(const TRect& dest, const TCanvas& source, const TRect& src);
  void StretchDraw(const TRect& dest, const TBitmap& graphic);
  // Text with the font, top-left at (x, y); with bsClear the background is left as it is,
  // otherwise it is filled with the brush colour.
  void TextOut(int x, int y, std::string_view text);
  // Every pixel TextOut(x, y, text) may change with the current font: the text box, widened by
  // glyphs that overhang it. Not clipped; empty for an empty text.
  TRect TextBounds(int x, int y, std::string_view text) const;
  int TextWidth(std::string_view text) const;
  int TextHeight(std::string_view text) const;

  std::uint32_t Pixel(int x, int y) const;  // 0 outside the bitmap

 private:
  // Builds one primitive's spans with `build` and applies them with `mode` inside the clip,
  // then reports the damage: a few rectangles along what changed, or its bounds if `oneRect`.
  template <class TBuild>
  void Draw(TPenMode mode, bool oneRect, TBuild&& build);
  void CopyFrom(const TRect& dest, const TBitmap& source, const TRect& src);
  // The excluded rectangles' parts within the target; returns how many there are.
  int VisibleExcluded(std::array<TRect, MaxExcluded>& out) const;
  void Damaged(const TRect& rect);
  void Changing(const TRect& rect);
  void TellChanging(std::span<const Raster::TSpan> spans);

  TBitmap* FTarget = nullptr;
  TDamageSink* FDamage = nullptr;
  TChangeSink* FChange = nullptr;
  std::array<TRect, MaxExcluded> FExcluded{};
  int FExcludedCount = 0;
};
