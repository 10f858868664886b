#include <cstring>
#include <random>

#include "raster_support.h"

using namespace RasterTest;

namespace {

struct TDamageLog : TDamageSink {
  std::vector<TRect> Rects;
  void Damaged(const TRect& r) override { Rects.push_back(r); }
  std::int64_t Area() const {
    std::int64_t area = 0;
    for (const TRect& r : Rects) area += r.Width() * r.Height();
    return area;
  }
};

std::vector<std::uint32_t> Copy(const TBitmap& b) {
  std::vector<std::uint32_t> pixels(std::size_t(b.Width()) * b.Height());
  for (int y = 0; y < b.Height(); ++y)
    std::memcpy(&pixels[std::size_t(y) * b.Width()], b.ScanLine(y), std::size_t(b.Width()) * 4);
  return pixels;
}

// Runs one drawing call and checks what it reported: rectangles inside the bitmap, none empty,
// and every pixel the call changed inside one of them.
template <class TDraw>
void ExpectCovered(TScene& s, TDamageLog& log, TDraw&& draw, const std::string& what) {
  const int w = s.Bitmap.Width(), h = s.Bitmap.Height();
  const auto before = Copy(s.Bitmap);
  log.Rects.clear();
  draw(s.Canvas);
  std::vector<std::uint8_t> covered(before.size(), 0);
  for (const TRect& r : log.Rects) {
    ASSERT_FALSE(r.IsEmpty()) << what;
    ASSERT_TRUE(r.Left >= 0 && r.Top >= 0 && r.Right <= w && r.Bottom <= h)
        << what << ": " << r.Left << "," << r.Top << " - " << r.Right << "," << r.Bottom;
    for (int y = r.Top; y < r.Bottom; ++y)
      std::memset(&covered[std::size_t(y) * w + r.Left], 1, std::size_t(r.Width()));
  }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (before[std::size_t(y) * w + x] == s.Bitmap.Pixel(x, y)) continue;
      ASSERT_TRUE(covered[std::size_t(y) * w + x]) << what << ": changed pixel " << x << "," << y << " not reported";
    }
}

}  // namespace

// Wide enough for rows split by clip rectangles into more pieces, farther apart, than a band
// keeps apart; tall enough for many bands.
TEST(Damage, EveryChangedPixelOfRandomFiguresLiesInAReportedRectangle) {
  constexpr int W = 2400, H = 300;
  TScene s(W, H);
  TDamageLog log;
  s.Canvas.SetDamageSink(&log);
  std::mt19937 rng(5);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) s.Bitmap.SetPixel(x, y, rng() & 0xFFFFFF);
  const std::vector<std::vector<TRect>> clips = {
      {},
      {{216, 270, 756, 300}, {2000, 0, 2400, 40}},
      // Five pieces per row, 270 pixels apart.
      {{250, -5, 520, 305}, {770, -5, 1040, 305}, {1290, -5, 1560, 305}, {1810, -5, 2080, 305}},
  };
  std::uniform_int_distribution<int> x(-300, W + 300), y(-100, H + 100), kind(0, 3), clip(0, 2);
  const int widths[] = {1, 2, 3, 8, 20, 45};
  for (int i = 0; i < 240; ++i) {
    s.Canvas.ResetClip();
    for (const TRect& r : clips[clip(rng)]) s.Canvas.ExcludeClipRect(r);
    s.Canvas.Pen.Width = widths[rng() % std::size(widths)];
    s.Canvas.Pen.Style = rng() % 3 == 0 ? psDot : psSolid;
    s.Canvas.Pen.Mode = rng() % 2 ? pmXor : pmCopy;
    s.Canvas.Pen.Color = TColor(rng() & 0xFFFFFF);
    s.Canvas.Brush.Style = rng() % 4 == 0 ? bsSolid : bsClear;
    const int x1 = x(rng), y1 = y(rng), x2 = x(rng), y2 = y(rng), k = kind(rng);
    ExpectCovered(
        s, log,
        [&](TCanvas& c) {
          switch (k) {
            case 0: c.MoveTo(x1, y1), c.LineTo(x2, y2); break;
            case 1: c.Rectangle(x1, y1, x2, y2); break;
            case 2: c.Ellipse(x1, y1, x2, y2); break;
            default: c.RoundRect(x1, y1, x2, y2, std::abs(x2 - x1) / 4, std::abs(y2 - y1) / 4); break;
          }
        },
        "case " + std::to_string(i));
  }
}

// The drag that motivated it all: a hollow figure across a 4K screen must not repaint the screen.
TEST(Damage, HollowScreenSizedFiguresReportAFewStripsNotTheScreen) {
  constexpr int W = 3840, H = 2160;
  constexpr double Screen = double(W) * H;
  TScene s(W, H);
  TDamageLog log;
  s.Canvas.SetDamageSink(&log);
  s.Canvas.Pen.Mode = pmXor;
  s.Canvas.ExcludeClipRect({216, 2132, 756, 2160});  // the tool bar along the bottom edge
  const struct {
    const char* Name;
    int Width;
    TPenStyle Style;
    void (*Draw)(TCanvas&);
    double MaxShare;
    std::size_t MaxRects;
  } cases[] = {
      {"rectangle", 20, psSolid, [](TCanvas& c) { c.Rectangle(8, 8, 3830, 2150); }, 0.05, 8},
      {"selection frame", 1, psDot, [](TCanvas& c) { c.Rectangle(8, 8, 3830, 2150); }, 0.02, 8},
      {"ellipse", 20, psSolid, [](TCanvas& c) { c.Ellipse(8, 8, 3830, 2150); }, 0.12, 80},
      {"rounded rectangle", 20, psSolid, [](TCanvas& c) { c.RoundRect(8, 8, 3830, 2150, 955, 535); }, 0.12, 30},
      {"diagonal line", 20, psSolid, [](TCanvas& c) { c.MoveTo(8, 8), c.LineTo(3830, 2150); }, 0.06, 40},
  };
  for (const auto& f : cases) {
    s.Canvas.Pen.Width = f.Width;
    s.Canvas.Pen.Style = f.Style;
    ExpectCovered(s, log, f.Draw, f.Name);
    EXPECT_LE(double(log.Area()) / Screen, f.MaxShare) << f.Name;
    EXPECT_LE(log.Rects.size(), f.MaxRects) << f.Name;
  }
}

// Bands grow taller past MaxBands bands (8192 rows) so the table keeps its size; both sides of
// that limit and the tallest bitmap must still be covered exactly.
TEST(Damage, TallTargetsAreCoveredOnBothSidesOfTheBandLimit) {
  for (const int h : {8192, 8193, TBitmap::MaxSide}) {
    TScene s(8, h);
    TDamageLog log;
    s.Canvas.SetDamageSink(&log);
    ExpectCovered(
        s, log, [h](TCanvas& c) { c.MoveTo(3, 0), c.LineTo(3, h); }, "line, height " + std::to_string(h));
    ASSERT_EQ(log.Rects.size(), 1u) << h;
    EXPECT_EQ(log.Rects[0], (TRect{3, 0, 4, h})) << h;
    ExpectCovered(
        s, log, [h](TCanvas& c) { c.Pen.Width = 3, c.MoveTo(-50, h - 2), c.LineTo(60, h - 1); },
        "bottom row, height " + std::to_string(h));
    EXPECT_FALSE(log.Rects.empty()) << h;
  }
}
