#include <random>

#include "raster_support.h"

using namespace RasterTest;

namespace {

TPixels Stamp(const TPixels& path, const TPixels& disc, int centre) {
  TPixels out;
  for (auto [px, py] : path)
    for (auto [dx, dy] : disc) out.insert({px + dx - centre, py + dy - centre});
  return out;
}

TPixels PenDisc(int width) {
  TScene s(64, 64);
  s.Canvas.Pen.Width = width;
  s.Canvas.MoveTo(32, 32);
  s.Canvas.LineTo(32, 32);
  return Where(s.Bitmap, BluePixel);
}

// Pen and brush pixels of a figure drawn with a solid brush.
std::pair<TPixels, TPixels> PenAndBrush(int w, int h, const TFigure& f, int penWidth) {
  TScene s(w, h);
  s.Canvas.Pen.Width = penWidth;
  s.Canvas.Brush.Style = bsSolid;
  DrawFigure(s.Canvas, f);
  return {Where(s.Bitmap, BluePixel), Where(s.Bitmap, RedPixel)};
}

bool EightConnected(const TPixels& p) {
  if (p.empty()) return true;
  TPixels seen{*p.begin()};
  std::vector<std::pair<int, int>> todo{*p.begin()};
  while (!todo.empty()) {
    auto [x, y] = todo.back();
    todo.pop_back();
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        if (p.count({x + dx, y + dy}) && seen.insert({x + dx, y + dy}).second) todo.push_back({x + dx, y + dy});
  }
  return seen.size() == p.size();
}

}  // namespace

TEST(Rectangle, OnePixelOutlineLiesOnTheFirstAndLastColumnsAndRowsInAnyCornerOrder) {
  TPixels expected;
  for (int y = 2; y <= 6; ++y)
    for (int x = 3; x <= 8; ++x)
      if (x == 3 || x == 8 || y == 2 || y == 6) expected.insert({x, y});
  for (const auto& c : {std::array{3, 2, 9, 7}, std::array{9, 7, 3, 2}, std::array{3, 7, 9, 2}, std::array{9, 2, 3, 7}})
    EXPECT_EQ(Footprint(12, 10, {TKind::Rect, c[0], c[1], c[2], c[3]}, 1), expected);
  // A solid brush fills strictly inside.
  auto [pen, brush] = PenAndBrush(12, 10, {TKind::Rect, 3, 2, 9, 7}, 1);
  EXPECT_EQ(pen, expected);
  EXPECT_EQ(BoundsOf(brush), (std::vector<int>{4, 3, 7, 5}));
  EXPECT_EQ(brush.size(), 12u);
}

TEST(Rectangle, SmallSizes) {
  const struct {
    int W, H;
    TBrushStyle Brush;
    std::size_t Pixels;
  } cases[] = {{0, 0, bsSolid, 0}, {1, 1, bsSolid, 0}, {0, 20, bsSolid, 0},  {2, 2, bsClear, 4},
               {3, 3, bsSolid, 9}, {3, 3, bsClear, 8}, {1, 20, bsClear, 20}, {20, 1, bsClear, 20}};
  for (const auto& c : cases)
    EXPECT_EQ(Footprint(30, 30, {TKind::Rect, 4, 4, 4 + c.W, 4 + c.H}, 1, psSolid, c.Brush).size(), c.Pixels)
        << c.W << "x" << c.H;
}

TEST(Rectangle, WidePenBoundsRoundedOutsideSquareInside) {
  const struct {
    int Width;
    std::vector<int> Bounds;
  } cases[] = {{3, {29, 29, 70, 60}}, {8, {26, 26, 72, 62}}, {20, {20, 20, 78, 68}}};
  for (const auto& c : cases) {
    auto [pen, brush] = PenAndBrush(100, 100, {TKind::Rect, 30, 30, 70, 60}, c.Width);
    EXPECT_EQ(BoundsOf(pen), c.Bounds) << "width " << c.Width;
    EXPECT_FALSE(pen.count({c.Bounds[0], c.Bounds[1]})) << "outer corner is rounded, width " << c.Width;
    // The brush is exactly the rectangle the pen leaves inside.
    const int l = 30 + (c.Width - 1) / 2 + 1, t = 30 + (c.Width - 1) / 2 + 1;
    const int r = 70 - 2 - c.Width / 2, b = 60 - 2 - c.Width / 2;
    EXPECT_EQ(BoundsOf(brush), (std::vector<int>{l, t, r, b}));
    EXPECT_EQ(brush.size(), std::size_t(r - l + 1) * (b - t + 1));
  }
}

TEST(Figures, CornersInAnyOrderGiveTheSamePixels) {
  for (TKind kind : {TKind::Rect, TKind::Ellipse, TKind::RoundRect})
    for (int width : {1, 6}) {
      const TPixels ab = Footprint(60, 50, {kind, 7, 9, 48, 41}, width);
      EXPECT_EQ(Footprint(60, 50, {kind, 48, 41, 7, 9}, width), ab);
      EXPECT_EQ(Footprint(60, 50, {kind, 7, 41, 48, 9}, width), ab);
      EXPECT_EQ(Footprint(60, 50, {kind, 48, 9, 7, 41}, width), ab);
    }
}

TEST(Figures, WidePenIsTheDiscSweptAlongTheOnePixelOutlineAndTheBrushFillsTheRest) {
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> coord(-6, 46), width(2, 12);
  for (TKind kind : {TKind::Rect, TKind::Ellipse, TKind::RoundRect})
    for (int i = 0; i < 120; ++i) {
      const TFigure f{kind, coord(rng), coord(rng), coord(rng), coord(rng)};
      const int w = width(rng);
      // On a frame shifted by 20 so that outline pixels off the bitmap are seen too.
      const TFigure shifted{kind, f.X1 + 20, f.Y1 + 20, f.X2 + 20, f.Y2 + 20};
      auto [outline, inside] = PenAndBrush(80, 80, shifted, 1);
      TPixels expectedPen, expectedBrush;
      for (auto [x, y] : Stamp(outline, PenDisc(w), 32))
        if (x >= 20 && x < 60 && y >= 20 && y < 60) expectedPen.insert({x - 20, y - 20});
      for (auto [x, y] : inside)
        if (x >= 20 && x < 60 && y >= 20 && y < 60 && !expectedPen.count({x - 20, y - 20}))
          expectedBrush.insert({x - 20, y - 20});
      auto [pen, brush] = PenAndBrush(40, 40, f, w);
      ASSERT_EQ(pen, expectedPen) << int(kind) << ": " << f.X1 << "," << f.Y1 << "," << f.X2 << "," << f.Y2 << " w"
                                  << w;
      ASSERT_EQ(brush, expectedBrush);
    }
}

TEST(Figures, ClearBrushLeavesTheInteriorUntouched) {
  std::mt19937 rng(3);
  for (TKind kind : {TKind::Rect, TKind::Ellipse, TKind::RoundRect})
    for (int width : {1, 4}) {
      TScene s(40, 40);
      for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) s.Bitmap.SetPixel(x, y, rng() & 0xFFFFFF);
      const auto before = Snapshot(s.Bitmap);
      s.Canvas.Pen.Width = width;
      DrawFigure(s.Canvas, {kind, 5, 6, 35, 33});
      for (auto [x, y] : Changed(before, s.Bitmap)) ASSERT_EQ(s.Bitmap.Pixel(x, y), BluePixel);
      EXPECT_EQ(s.Bitmap.Pixel(20, 20), before[20 * 40 + 20]);
    }
}

TEST(Ellipse, SmallSizesAndBounds) {
  const struct {
    int W, H;
    std::size_t Pixels;
  } cases[] = {{0, 0, 0}, {1, 1, 0}, {1, 12, 0}, {2, 2, 4}, {3, 3, 5}, {4, 4, 12}};
  for (const auto& c : cases)
    EXPECT_EQ(Footprint(20, 20, {TKind::Ellipse, 3, 3, 3 + c.W, 3 + c.H}, 1).size(), c.Pixels) << c.W << "x" << c.H;
  EXPECT_EQ(Footprint(20, 20, {TKind::Ellipse, 3, 3, 6, 6}, 1), (TPixels{{4, 3}, {3, 4}, {4, 4}, {5, 4}, {4, 5}}));
  EXPECT_EQ(BoundsOf(Footprint(60, 50, {TKind::Ellipse, 10, 10, 50, 40}, 1)), (std::vector<int>{10, 10, 49, 39}));
}

TEST(Ellipse, OutlineIsConnectedWithoutGapsAtEveryEccentricity) {
  const std::array<int, 2> sizes[] = {{5, 60}, {60, 5}, {2, 40}, {70, 3}, {13, 200}, {200, 13}, {64, 64}, {17, 31}};
  for (const auto& sz : sizes) {
    const TPixels p = Footprint(220, 220, {TKind::Ellipse, 5, 5, 5 + sz[0], 5 + sz[1]}, 1);
    EXPECT_TRUE(EightConnected(p)) << sz[0] << "x" << sz[1];
    EXPECT_EQ(BoundsOf(p), (std::vector<int>{5, 5, 4 + sz[0], 4 + sz[1]})) << sz[0] << "x" << sz[1];
  }
}

TEST(Ellipse, OutlineIsAThinCurve) {
  // Box (10,10,50,40): 96 pixels, the top half row by row (the bottom half mirrors it).
  const std::vector<std::vector<int>> top = {{25, 26, 27, 28, 29, 30, 31, 32, 33, 34},
                                             {21, 22, 23, 24, 35, 36, 37, 38},
                                             {19, 20, 39, 40},
                                             {17, 18, 41, 42},
                                             {16, 43},
                                             {15, 44},
                                             {14, 45},
                                             {13, 46},
                                             {12, 47},
                                             {11, 48},
                                             {11, 48},
                                             {11, 48},
                                             {10, 49},
                                             {10, 49},
                                             {10, 49}};
  TPixels expected;
  for (int i = 0; i < 15; ++i)
    for (int x : top[i]) expected.insert({x, 10 + i}), expected.insert({x, 39 - i});
  ASSERT_EQ(expected.size(), 96u);
  EXPECT_EQ(Footprint(60, 50, {TKind::Ellipse, 10, 10, 50, 40}, 1), expected);
  // A solid brush fills exactly the pixels inside the curve: each row between its two sides.
  TPixels inside;
  for (int y = 10; y < 40; ++y) {
    const auto& row = top[std::min(y - 10, 39 - y)];
    for (int x = row.front(); x <= row.back(); ++x)
      if (!expected.count({x, y})) inside.insert({x, y});
  }
  EXPECT_EQ(PenAndBrush(60, 50, {TKind::Ellipse, 10, 10, 50, 40}, 1), std::make_pair(expected, inside));
}

TEST(Ellipse, EverySizeIsSymmetricAndThin) {
  for (int w = 3; w <= 44; ++w)
    for (int h = 3; h <= 44; ++h) {
      const TFigure f{TKind::Ellipse, 2, 3, 2 + w, 3 + h};
      const std::string size = std::to_string(w) + "x" + std::to_string(h);
      auto [pen, brush] = PenAndBrush(50, 50, f, 1);
      ASSERT_EQ(Footprint(50, 50, f, 1), pen) << size;  // the brush changes no outline pixel
      ASSERT_EQ(BoundsOf(pen), (std::vector<int>{2, 3, 1 + w, 2 + h})) << size;
      for (auto [x, y] : pen) ASSERT_TRUE(pen.count({3 + w - x, y}) && pen.count({x, 5 + h - y})) << size;
      // Each row: one run on each side, or one run across the middle.
      for (int y = 3; y < 3 + h; ++y) {
        int runs = 0;
        for (int x = 2; x < 2 + w; ++x) runs += pen.count({x, y}) && !pen.count({x - 1, y});
        ASSERT_TRUE(runs == 1 || runs == 2) << size << " row " << y;
      }
      // Thin: an outline pixel has a left, right, upper or lower neighbour outside the shape; the
      // brush has none. Ellipses up to 4x4 are all outline.
      TPixels shape = pen;
      shape.insert(brush.begin(), brush.end());
      const auto edge = [&](int x, int y) {
        return !shape.count({x - 1, y}) || !shape.count({x + 1, y}) || !shape.count({x, y - 1}) ||
               !shape.count({x, y + 1});
      };
      for (auto [x, y] : pen) ASSERT_TRUE(edge(x, y) || (w <= 4 && h <= 4)) << size << " " << x << "," << y;
      for (auto [x, y] : brush) ASSERT_FALSE(edge(x, y)) << size;
    }
}

TEST(Ellipse, WidePenIsAsHeavyOnTheSidesAsOnTheTopAndAsALine) {
  for (int width : {3, 8, 20}) {
    TScene s(200, 150);
    s.Canvas.Pen.Width = width;
    s.Canvas.Ellipse(20, 20, 181, 131);  // centre (100, 75)
    // The pen's run from the outside in: along row y on the left side, down column x at the top.
    const auto run = [&](int x, int y, int stepX, int stepY) {
      while (s.Bitmap.Pixel(x, y) != BluePixel) x += stepX, y += stepY;
      int n = 0;
      for (; s.Bitmap.Pixel(x, y) == BluePixel; x += stepX, y += stepY) ++n;
      return n;
    };
    EXPECT_EQ(run(0, 75, 1, 0), width) << "width " << width;
    EXPECT_EQ(run(100, 0, 0, 1), width) << "width " << width;
    if (width != 3) continue;
    // Where the curve steps, a heavy outline widens the side's rows; here most rows of the sides
    // and most columns of the top are exactly the pen's width.
    int sideRows = 0, topColumns = 0;
    for (int y = 20; y < 131; ++y) sideRows += run(0, y, 1, 0) == width;
    for (int x = 20; x < 181; ++x) topColumns += run(x, 0, 0, 1) == width;
    EXPECT_GT(sideRows, 111 / 2);
    EXPECT_GT(topColumns, 161 / 2);
  }
}

TEST(RoundRect, CornersFollowTheThinCurve) {
  // The left end of the outline's top rows: 12x8 and 20x6 corners, drawn as rounded rectangles
  // and as the ellipses of their own size.
  const struct {
    int CornerW, CornerH;
    std::vector<int> Lefts;
  } cases[] = {{12, 8, {3, 2, 1, 0}}, {20, 6, {5, 2, 0}}};
  for (const auto& c : cases)
    for (const TFigure& f :
         {TFigure{TKind::Ellipse, 4, 4, 4 + c.CornerW, 4 + c.CornerH}, TFigure{TKind::Rect, 4, 4, 44, 34}}) {
      TScene s(60, 50);
      if (f.Kind == TKind::Ellipse)
        DrawFigure(s.Canvas, f);
      else
        s.Canvas.RoundRect(f.X1, f.Y1, f.X2, f.Y2, c.CornerW, c.CornerH);
      for (std::size_t i = 0; i < c.Lefts.size(); ++i) {
        int left = 0;
        while (left < 60 && s.Bitmap.Pixel(left, 4 + int(i)) != BluePixel) ++left;
        EXPECT_EQ(left - 4, c.Lefts[i]) << c.CornerW << "x" << c.CornerH << " row " << i << Picture(s.Bitmap);
      }
    }
}

TEST(RoundRect, SmallCornersAreTheRectangleAndFullCornersTheEllipse) {
  for (int width : {1, 5})
    for (TBrushStyle brush : {bsClear, bsSolid}) {
      const auto draw = [&](auto&& figure) {
        TScene s(60, 50);
        s.Canvas.Pen.Width = width;
        s.Canvas.Brush.Style = brush;
        figure(s.Canvas);
        return Snapshot(s.Bitmap);
      };
      const auto rect = draw([](TCanvas& c) { c.Rectangle(8, 6, 51, 44); });
      const auto ellipse = draw([](TCanvas& c) { c.Ellipse(8, 6, 51, 44); });
      EXPECT_EQ(draw([](TCanvas& c) { c.RoundRect(8, 6, 51, 44, 2, 30); }), rect);
      EXPECT_EQ(draw([](TCanvas& c) { c.RoundRect(8, 6, 51, 44, 30, 0); }), rect);
      EXPECT_EQ(draw([](TCanvas& c) { c.RoundRect(51, 44, 8, 6, 43, 38); }), ellipse);
      EXPECT_EQ(draw([](TCanvas& c) { c.RoundRect(8, 6, 51, 44, 500, 900); }), ellipse);
      const auto between = draw([](TCanvas& c) { c.RoundRect(8, 6, 51, 44, 12, 10); });
      EXPECT_NE(between, rect);
      EXPECT_NE(between, ellipse);
    }
}

TEST(DottedFrame, OnePatternRoundTheOutlineWithGapsUntouched) {
  // A 26x26 box has a 100-pixel outline: 51 dots.
  TScene s(32, 32, 0x00808080);
  s.Canvas.Pen.Style = psDot;
  s.Canvas.Rectangle(3, 3, 29, 29);
  const TPixels dots = Where(s.Bitmap, BluePixel);
  EXPECT_EQ(dots.size(), 51u);
  EXPECT_EQ(Where(s.Bitmap, 0x808080).size(), 32u * 32u - 51u);
  // Starts at the top-right pixel going left; the left side continues the top's count.
  EXPECT_TRUE(dots.count({28, 3}) && dots.count({27, 3}) && dots.count({26, 3}));
  EXPECT_FALSE(dots.count({25, 3}));
  EXPECT_TRUE(dots.count({3, 4}));  // k = 26
  EXPECT_FALSE(dots.count({3, 5}));
}

TEST(DottedFrame, DegenerateFramesOverlapThemselvesUnderXor) {
  const struct {
    int W, H;
    std::size_t Changed;
  } cases[] = {{2, 2, 3}, {3, 3, 5}, {1, 20, 2}, {20, 1, 2}, {1, 1, 0}};
  for (const auto& c : cases) {
    TScene s(30, 30);
    s.Canvas.Pen.Style = psDot;
    s.Canvas.Pen.Mode = pmXor;
    const auto before = Snapshot(s.Bitmap);
    s.Canvas.Rectangle(4, 4, 4 + c.W, 4 + c.H);
    EXPECT_EQ(Changed(before, s.Bitmap).size(), c.Changed) << c.W << "x" << c.H;
    s.Canvas.Rectangle(4 + c.W, 4 + c.H, 4, 4);
    EXPECT_EQ(Snapshot(s.Bitmap), before);
  }
}
