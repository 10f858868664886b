#include <random>

#include "raster_support.h"
#include "tests/support/allocation_count.h"

using namespace RasterTest;

namespace {

struct TCase {
  TFigure Figure;
  int Width;
  TPenStyle Style;
  TBrushStyle Brush;
};

TCase RandomCase(std::mt19937& rng) {
  std::uniform_int_distribution<int> kind(0, 4), coord(-30, 90), width(0, 99), coin(0, 3);
  TCase c{{TKind(kind(rng)), coord(rng), coord(rng), coord(rng), coord(rng)}, width(rng), psSolid, bsClear};
  if (coin(rng) == 0) c.Width = coin(rng) % 2;  // many one-pixel pens: that is where dots live
  if (coin(rng) < 2) c.Style = psDot;
  if (coin(rng) == 0) c.Brush = bsSolid;
  if (coin(rng) == 0) {  // small figures, near the corners, where the special cases are
    c.Figure.X2 = c.Figure.X1 + coin(rng) - 1;
    c.Figure.Y2 = c.Figure.Y1 + coin(rng) * 2 - 1;
  }
  return c;
}

void Prepare(TScene& s, const TCase& c, TPenMode mode) {
  s.Canvas.Pen.Width = c.Width;
  s.Canvas.Pen.Style = c.Style;
  s.Canvas.Pen.Mode = mode;
  s.Canvas.Pen.Color = 0x00A5C3E7;
  s.Canvas.Brush.Style = c.Brush;
  s.Canvas.Brush.Color = 0x005A3C18;
}

// Dotted frames one pixel wide or high visit pixels twice by design; diamonds share vertices.
bool PaintsEachPixelOnce(const TCase& c) {
  if (c.Figure.Kind == TKind::Diamond) return false;
  const bool thinDots = c.Style == psDot && c.Width <= 1;
  const bool frame = c.Figure.Kind == TKind::Rect ||
                     (c.Figure.Kind == TKind::RoundRect &&
                      (std::abs(c.Figure.X1 - c.Figure.X2) / 4 <= 2 || std::abs(c.Figure.Y1 - c.Figure.Y2) / 4 <= 2));
  return !(thinDots && frame && (std::abs(c.Figure.X1 - c.Figure.X2) == 1 || std::abs(c.Figure.Y1 - c.Figure.Y2) == 1));
}

std::string Describe(const TCase& c) {
  return "kind " + std::to_string(int(c.Figure.Kind)) + " " + std::to_string(c.Figure.X1) + "," +
         std::to_string(c.Figure.Y1) + "," + std::to_string(c.Figure.X2) + "," + std::to_string(c.Figure.Y2) + " w" +
         std::to_string(c.Width) + (c.Style == psDot ? " dotted" : "") + (c.Brush == bsSolid ? " filled" : "");
}

}  // namespace

TEST(Xor, DrawingAnyFigureTwiceRestoresEveryPixelAndTheSecondAllocatesNothing) {
  std::mt19937 rng(2024);
  for (int i = 0; i < 4000; ++i) {
    const TCase c = RandomCase(rng);
    TScene s(64, 48);
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) s.Bitmap.SetPixel(x, y, rng());  // top bytes too
    const auto before = Snapshot(s.Bitmap);
    Prepare(s, c, pmXor);
    DrawFigure(s.Canvas, c.Figure);
    // Once the canvas has drawn a figure, drawing it again allocates nothing.
    const long allocations = HeapAllocations();
    DrawFigure(s.Canvas, c.Figure);
    ASSERT_EQ(HeapAllocations() - allocations, 0) << Describe(c);
    ASSERT_EQ(Snapshot(s.Bitmap), before) << Describe(c);
  }
}

TEST(Xor, OneXorDrawingChangesExactlyThePixelsCopyModePaintsEachOnce) {
  std::mt19937 rng(99);
  int compared = 0;
  for (int i = 0; i < 3000; ++i) {
    const TCase c = RandomCase(rng);
    if (!PaintsEachPixelOnce(c)) continue;
    // On a black background XOR and copy agree pixel for pixel, unless a pixel is hit twice
    // (XOR would cancel it) or copy paints something XOR misses.
    TScene copy(64, 48, 0), xored(64, 48, 0);
    Prepare(copy, c, pmCopy);
    Prepare(xored, c, pmXor);
    DrawFigure(copy.Canvas, c.Figure);
    DrawFigure(xored.Canvas, c.Figure);
    ASSERT_EQ(Snapshot(xored.Bitmap), Snapshot(copy.Bitmap)) << Describe(c);
    ++compared;
  }
  EXPECT_GT(compared, 2000);
}
