#include <cmath>
#include <random>

#include "raster_support.h"

using namespace RasterTest;

namespace {

__int128 CeilDiv(__int128 a, __int128 b) {  // b > 0
  const __int128 q = a / b;
  return (a % b != 0 && a > 0) ? q + 1 : q;
}

// The pixels of a 1-pixel line inside a width x height bitmap, straight from the rounding rule:
// one pixel per step of the major axis, minor = ceil(exact - 1/2).
TPixels ThinLine(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2, int width, int height,
                 bool withEnd = false) {
  const std::int64_t dx = x2 - x1, dy = y2 - y1, adx = std::abs(dx), ady = std::abs(dy);
  const std::int64_t last = std::max(adx, ady) - (withEnd ? 0 : 1);
  TPixels p;
  if (adx >= ady) {
    for (std::int64_t x = 0; x < width; ++x) {
      const std::int64_t k = dx >= 0 ? x - x1 : x1 - x;
      if (k < 0 || k > last) continue;
      const std::int64_t y = adx == 0 ? y1 : std::int64_t(y1 + CeilDiv(__int128(2) * dy * k - adx, 2 * adx));
      if (y >= 0 && y < height) p.insert({int(x), int(y)});
    }
  } else {
    for (std::int64_t y = 0; y < height; ++y) {
      const std::int64_t k = dy >= 0 ? y - y1 : y1 - y;
      if (k < 0 || k > last) continue;
      const std::int64_t x = x1 + CeilDiv(__int128(2) * dx * k - ady, 2 * ady);
      if (x >= 0 && x < width) p.insert({int(x), int(y)});
    }
  }
  return p;
}

TPixels DrawLine(int width, int height, int x1, int y1, int x2, int y2, int pen = 1) {
  TScene s(width, height);
  s.Canvas.Pen.Width = pen;
  s.Canvas.MoveTo(x1, y1);
  s.Canvas.LineTo(x2, y2);
  return Where(s.Bitmap, BluePixel);
}

}  // namespace

TEST(Lines, TieExamplesLightTheSamePixelsButTheSwappedEnd) {
  EXPECT_EQ(DrawLine(20, 20, 10, 10, 14, 12), (TPixels{{10, 10}, {11, 10}, {12, 11}, {13, 11}}));
  EXPECT_EQ(DrawLine(20, 20, 14, 12, 10, 10), (TPixels{{14, 12}, {13, 11}, {12, 11}, {11, 10}}));
}

TEST(Lines, FollowTheRoundingRuleInEveryOctantAndExcludeTheEnd) {
  // Every line from the centre to every point of a 41x41 square, both directions.
  for (int x = 0; x <= 40; ++x)
    for (int y = 0; y <= 40; ++y) {
      ASSERT_EQ(DrawLine(41, 41, 20, 20, x, y), ThinLine(20, 20, x, y, 41, 41)) << x << "," << y;
      ASSERT_EQ(DrawLine(41, 41, x, y, 20, 20), ThinLine(x, y, 20, 20, 41, 41)) << x << "," << y;
    }
}

TEST(Lines, ClippingNeverChangesWhichPixelsAreLit) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> coord(-80, 120);
  for (int i = 0; i < 2000; ++i) {
    const int x1 = coord(rng), y1 = coord(rng), x2 = coord(rng), y2 = coord(rng);
    ASSERT_EQ(DrawLine(40, 30, x1, y1, x2, y2), ThinLine(x1, y1, x2, y2, 40, 30))
        << x1 << "," << y1 << " -> " << x2 << "," << y2;
  }
  // Far-away ends: the visible part still follows the rule exactly.
  const int far[][4] = {{-(1 << 30), 5, 1 << 30, 25},
                        {3, -(1 << 30), 37, (1 << 30) - 1},
                        {INT32_MAX, INT32_MIN, INT32_MIN + 7, INT32_MAX},
                        {-(1 << 30), -(1 << 30) + 13, (1 << 30), (1 << 30) + 3}};
  for (const auto& f : far)
    EXPECT_EQ(DrawLine(40, 30, f[0], f[1], f[2], f[3]), ThinLine(f[0], f[1], f[2], f[3], 40, 30));
}

TEST(Lines, ZeroLengthDrawsNothingThinAndThePenDiscWide) {
  const struct {
    int Width;
    std::size_t Pixels;
  } cases[] = {{0, 0}, {1, 0}, {2, 4}, {3, 5}, {8, 52}, {20, 308}};
  for (const auto& c : cases) {
    const TPixels disc = DrawLine(60, 60, 30, 30, 30, 30, c.Width);
    EXPECT_EQ(disc.size(), c.Pixels) << "width " << c.Width;
    if (c.Width < 2) continue;
    // Offsets -w/2 .. (w-1)/2 on both axes, mirror-symmetric about the disc's centre.
    const int lo = 30 - c.Width / 2, hi = 30 + (c.Width - 1) / 2;
    EXPECT_EQ(BoundsOf(disc), (std::vector<int>{lo, lo, hi, hi})) << "width " << c.Width;
    for (auto [x, y] : disc) {
      EXPECT_TRUE(disc.count({lo + hi - x, y}) && disc.count({x, lo + hi - y}) && disc.count({y, x}));
    }
  }
}

TEST(Lines, WidthZeroDrawsLikeWidthOne) {
  for (const auto& l : {std::array{2, 3, 30, 17}, std::array{30, 2, 4, 25}, std::array{5, 5, 5, 28}})
    EXPECT_EQ(DrawLine(32, 32, l[0], l[1], l[2], l[3], 0), DrawLine(32, 32, l[0], l[1], l[2], l[3], 1));
}

TEST(Lines, WidePensHaveRoundCapsAndCoverTheirOffsets) {
  const struct {
    int X1, Y1, X2, Y2, Width;
    std::vector<int> Bounds;
  } cases[] = {
      {10, 20, 50, 20, 3, {9, 19, 51, 21}}, {10, 20, 50, 20, 8, {6, 16, 53, 23}},  {50, 20, 10, 20, 8, {6, 16, 53, 23}},
      {20, 10, 20, 50, 8, {16, 6, 23, 53}}, {10, 20, 50, 20, 20, {0, 10, 59, 29}},
  };
  for (const auto& c : cases) {
    const TPixels p = DrawLine(80, 80, c.X1, c.Y1, c.X2, c.Y2, c.Width);
    EXPECT_EQ(BoundsOf(p), c.Bounds) << c.X1 << "," << c.Y1 << " w" << c.Width;
  }
  // Width 3 caps are the plus: the corners beyond the ends stay empty.
  const TPixels p = DrawLine(80, 80, 10, 20, 50, 20, 3);
  EXPECT_FALSE(p.count({9, 19}));
  EXPECT_TRUE(p.count({10, 19}) && p.count({9, 20}) && p.count({51, 20}));
}

TEST(Lines, LevelAndUprightWideLinesAreThePenDiscSweptAlongTheirPixelsEndIncluded) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> coord(-10, 50), width(2, 13);
  for (int i = 0; i < 300; ++i) {
    const int x1 = coord(rng), y1 = coord(rng);
    // Upright, level, or a single point.
    const int x2 = i % 3 == 1 ? coord(rng) : x1, y2 = i % 3 == 0 ? coord(rng) : y1;
    const int w = width(rng);
    const TPixels disc = DrawLine(40, 40, 20, 20, 20, 20, w);
    TPixels stamped;
    // Stamp the disc on the line's pixels (found on a frame shifted by 20, so that pixels just
    // off the bitmap whose disc reaches into it count too).
    for (auto [px, py] : ThinLine(x1 + 20, y1 + 20, x2 + 20, y2 + 20, 100, 100, true))
      for (auto [dx, dy] : disc) {
        const int x = px - 20 + dx - 20, y = py - 20 + dy - 20;
        if (x >= 0 && x < 40 && y >= 0 && y < 40) stamped.insert({x, y});
      }
    const TPixels drawn = DrawLine(40, 40, x1, y1, x2, y2, w);
    ASSERT_EQ(drawn, stamped) << x1 << "," << y1 << " -> " << x2 << "," << y2 << " w" << w;
  }
}

TEST(Lines, SlantedWideLineIsABandWithRoundCaps) {
  // (10,10) -> (50,30) at width 3: rows of 8 where a dragged disc would give 6; 165 pixels.
  TPixels expected;
  const int rows[][3] = {{9, 10, 12}, {10, 9, 14}, {11, 9, 16}, {29, 45, 50}, {30, 47, 51}, {31, 50, 50}};
  for (const auto& r : rows)
    for (int x = r[1]; x <= r[2]; ++x) expected.insert({x, r[0]});
  for (int y = 12; y <= 28; ++y)
    for (int x = 2 * y - 13; x <= 2 * y - 6; ++x) expected.insert({x, y});
  ASSERT_EQ(expected.size(), 165u);
  EXPECT_EQ(DrawLine(64, 40, 10, 10, 50, 30, 3), expected);
  EXPECT_EQ(DrawLine(64, 40, 50, 30, 10, 10, 3), expected);
}

TEST(Lines, SlantedWideLinesWeighAsMuchAsLevelOnesAtEveryWidth) {
  // Every width at five slopes: a slanted line lights about as many pixels as a level line of
  // the same length (the band's sides are rounded to whole pixels, which matters most on thin
  // pens), its reverse lights the same pixels, and the pen's disc covers both ends. A disc
  // dragged along the 1-pixel line would weigh a quarter less at 45 degrees.
  const int slopes[][2] = {{60, 30}, {45, 45}, {-20, 70}, {70, -10}, {33, 56}};
  for (int w = 2; w <= 99; ++w)
    for (const auto& d : slopes) {
      const int x1 = 160, y1 = 160, x2 = x1 + d[0], y2 = y1 + d[1];
      const TPixels slanted = DrawLine(340, 340, x1, y1, x2, y2, w);
      ASSERT_EQ(DrawLine(340, 340, x2, y2, x1, y1, w), slanted) << "w" << w;
      const int length = int(std::lround(std::hypot(d[0], d[1])));
      const double ratio = double(slanted.size()) / double(DrawLine(340, 340, x1, y1, x1 + length, y1, w).size());
      EXPECT_GT(ratio, w < 10 ? 0.93 : 0.98) << "w" << w << " " << d[0] << "," << d[1];
      EXPECT_LT(ratio, w < 10 ? 1.4 : 1.12) << "w" << w << " " << d[0] << "," << d[1];
      for (auto [px, py] : DrawLine(340, 340, 170, 170, 170, 170, w))
        ASSERT_TRUE(slanted.count({x1 + px - 170, y1 + py - 170}) && slanted.count({x2 + px - 170, y2 + py - 170}))
            << "w" << w;
    }
}

TEST(Lines, DiamondLeavesItsTopAndBottomVerticesUndrawn) {
  for (const TPenMode mode : {pmCopy, pmXor}) {
    TScene s(30, 40);
    s.Canvas.Pen.Mode = mode;
    DrawFigure(s.Canvas, {TKind::Diamond, 10, 20, 15, 31});
    const std::uint32_t drawn = mode == pmCopy ? BluePixel : (White ^ BluePixel);
    EXPECT_EQ(s.Bitmap.Pixel(12, 20) & 0xFFFFFF, White);
    EXPECT_EQ(s.Bitmap.Pixel(12, 31) & 0xFFFFFF, White);
    // The side vertices start two segments each: XOR inverts them twice.
    EXPECT_EQ(s.Bitmap.Pixel(10, 25) & 0xFFFFFF, mode == pmCopy ? BluePixel : White);
    EXPECT_EQ(s.Bitmap.Pixel(15, 25) & 0xFFFFFF, mode == pmCopy ? BluePixel : White);
    EXPECT_EQ(s.Bitmap.Pixel(11, 22) & 0xFFFFFF, drawn) << Picture(s.Bitmap);
  }
}

TEST(Lines, DottedPenRunsThreeOnThreeOffFromEachCall) {
  TScene s(30, 3);
  s.Canvas.Pen.Style = psDot;
  s.Canvas.MoveTo(0, 0);
  s.Canvas.LineTo(20, 0);
  s.Canvas.LineTo(29, 0);  // restarts "on" at x = 20
  s.Canvas.Brush.Style = bsSolid;
  s.Canvas.MoveTo(16, 2);  // right to left, gaps in the brush colour
  s.Canvas.LineTo(0, 2);
  std::string row0, row2;
  for (int x = 0; x < 30; ++x) {
    row0 += s.Bitmap.Pixel(x, 0) == BluePixel ? '#' : '.';
    row2 += s.Bitmap.Pixel(x, 2) == BluePixel ? '#' : s.Bitmap.Pixel(x, 2) == RedPixel ? 'o' : '.';
  }
  EXPECT_EQ(row0, "###...###...###...#####...###.");
  EXPECT_EQ(row2, ".o###ooo###ooo###.............");
  // A dotted pen wider than one pixel draws solid.
  s.Canvas.Pen.Width = 3;
  s.Canvas.MoveTo(0, 1);
  s.Canvas.LineTo(10, 1);
  for (int x = 0; x <= 10; ++x) EXPECT_EQ(s.Bitmap.Pixel(x, 1), BluePixel);
}
