#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/raster/canvas.h"

namespace RasterTest {

using TPixels = std::set<std::pair<int, int>>;  // (x, y)

inline constexpr std::uint32_t White = 0x00FFFFFF;
inline constexpr std::uint32_t BluePixel = 0x000000FF;  // ColorToPixel(clBlue)
inline constexpr std::uint32_t RedPixel = 0x00FF0000;   // ColorToPixel(clRed)

// A bitmap and a canvas on it: blue pen one pixel wide, clear brush, copy mode.
struct TScene {
  TBitmap Bitmap;
  TCanvas Canvas;
  TScene(int width, int height, std::uint32_t fill = White) : Bitmap(width, height), Canvas(&Bitmap) {
    Bitmap.Fill(fill);
    Canvas.Pen.Color = clBlue;
    Canvas.Brush.Style = bsClear;
    Canvas.Brush.Color = clRed;
  }
};

inline std::vector<std::uint32_t> Snapshot(const TBitmap& b) {
  std::vector<std::uint32_t> pixels;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) pixels.push_back(b.Pixel(x, y));
  return pixels;
}

inline TPixels Changed(const std::vector<std::uint32_t>& before, const TBitmap& after) {
  TPixels changed;
  for (int y = 0; y < after.Height(); ++y)
    for (int x = 0; x < after.Width(); ++x)
      if (before[std::size_t(y) * after.Width() + x] != after.Pixel(x, y)) changed.insert({x, y});
  return changed;
}

inline TPixels Where(const TBitmap& b, std::uint32_t pixel) {
  TPixels found;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if ((b.Pixel(x, y) & 0xFFFFFF) == pixel) found.insert({x, y});
  return found;
}

// Inclusive bounds of a pixel set as {left, top, right, bottom}.
inline std::vector<int> BoundsOf(const TPixels& pixels) {
  if (pixels.empty()) return {};
  int l = 1 << 30, t = 1 << 30, r = -(1 << 30), b = -(1 << 30);
  for (auto [x, y] : pixels) {
    l = std::min(l, x), r = std::max(r, x), t = std::min(t, y), b = std::max(b, y);
  }
  return {l, t, r, b};
}

// For failure messages: '#' where the pixel differs from `background`.
inline std::string Picture(const TBitmap& b, std::uint32_t background = White) {
  std::string s = "\n";
  for (int y = 0; y < b.Height(); ++y) {
    for (int x = 0; x < b.Width(); ++x) s += (b.Pixel(x, y) & 0xFFFFFF) == background ? '.' : '#';
    s += '\n';
  }
  return s;
}

enum class TKind { Line, Rect, Ellipse, RoundRect, Diamond };

struct TFigure {
  TKind Kind;
  int X1, Y1, X2, Y2;
};

// Draws a figure the way the surface's rubber-band routines do.
inline void DrawFigure(TCanvas& c, const TFigure& f) {
  switch (f.Kind) {
    case TKind::Line:
      c.MoveTo(f.X1, f.Y1);
      c.LineTo(f.X2, f.Y2);
      break;
    case TKind::Rect: c.Rectangle(f.X1, f.Y1, f.X2, f.Y2); break;
    case TKind::Ellipse: c.Ellipse(f.X1, f.Y1, f.X2, f.Y2); break;
    case TKind::RoundRect:  // in 64 bits: the tests also pass corners 2^32 apart
      c.RoundRect(f.X1, f.Y1, f.X2, f.Y2, int(std::abs(std::int64_t{f.X1} - f.X2) / 4),
                  int(std::abs(std::int64_t{f.Y1} - f.Y2) / 4));
      break;
    case TKind::Diamond: {
      const int mx = int((std::int64_t{f.X1} + f.X2) / 2), my = int((std::int64_t{f.Y1} + f.Y2) / 2);
      c.MoveTo(f.X1, my), c.LineTo(mx, f.Y1);
      c.MoveTo(f.X1, my), c.LineTo(mx, f.Y2);
      c.MoveTo(f.X2, my), c.LineTo(mx, f.Y1);
      c.MoveTo(f.X2, my), c.LineTo(mx, f.Y2);
      break;
    }
  }
}

// The pixels a figure paints in copy mode on a white scene.
inline TPixels Footprint(int width, int height, const TFigure& f, int penWidth, TPenStyle style = psSolid,
                         TBrushStyle brush = bsClear) {
  TScene s(width, height);
  s.Canvas.Pen.Width = penWidth;
  s.Canvas.Pen.Style = style;
  s.Canvas.Brush.Style = brush;
  DrawFigure(s.Canvas, f);
  TPixels p = Where(s.Bitmap, BluePixel);
  for (auto q : Where(s.Bitmap, RedPixel)) p.insert(q);
  return p;
}

}  // namespace RasterTest
