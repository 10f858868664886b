#include <random>

#include "raster_support.h"

using namespace RasterTest;

namespace {

void Noise(TBitmap& b, unsigned seed) {
  std::mt19937 rng(seed);
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) b.SetPixel(x, y, rng() & 0xFFFFFF);
}

struct TDamageLog : TDamageSink {
  std::vector<TRect> Rects;
  void Damaged(const TRect& r) override { Rects.push_back(r); }
};

void DrawSome(TCanvas& c) {
  c.Pen.Width = 5;
  c.Brush.Style = bsSolid;
  c.Rectangle(0, 0, 60, 40);
  c.Ellipse(-5, 3, 50, 45);
  c.Pen.Width = 1;
  c.MoveTo(0, 39);
  c.LineTo(59, 0);
  c.FillRect({35, 10, 45, 30});
  c.CopyRect({0, 0, 10, 10}, c, {30, 22, 40, 32});  // a source the clip does not touch
}

}  // namespace

TEST(Clip, ExcludedRectanglesAreNeverDrawnAndOnlyEightCount) {
  TScene plain(60, 40), clipped(60, 40);
  Noise(plain.Bitmap, 1);
  Noise(clipped.Bitmap, 1);
  const auto background = Snapshot(clipped.Bitmap);
  const TRect excluded[] = {{10, 5, 30, 20}, {40, -10, 70, 50}, {0, 38, 5, 40}, {1, 1, 2, 2},
                            {55, 0, 56, 1},  {20, 30, 22, 33},  {3, 20, 4, 21}, {6, 6, 7, 7}};
  for (const TRect& r : excluded) clipped.Canvas.ExcludeClipRect(r);
  clipped.Canvas.ExcludeClipRect({0, 0, 60, 40});  // a ninth: ignored
  EXPECT_EQ(clipped.Canvas.ExcludedCount(), 8);
  DrawSome(plain.Canvas);
  DrawSome(clipped.Canvas);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 60; ++x) {
      const bool out =
          std::any_of(std::begin(excluded), std::end(excluded), [&](const TRect& r) { return r.Contains(x, y); });
      ASSERT_EQ(clipped.Bitmap.Pixel(x, y), out ? background[y * 60 + x] : plain.Bitmap.Pixel(x, y)) << x << "," << y;
    }
  clipped.Canvas.ResetClip();
  EXPECT_EQ(clipped.Canvas.ExcludedCount(), 0);
  clipped.Canvas.FillRect({0, 0, 60, 40});
  EXPECT_EQ(Where(clipped.Bitmap, RedPixel).size(), 60u * 40u);
}

TEST(FillRect, HalfOpenInBrushColourWhateverThePenModeAReversedAxisMirroredAndEmptyDrawsNothing) {
  // Left/Top inclusive, Right/Bottom exclusive, also when they come in reverse order: then the
  // fill runs from Left back to Right + 1, as the classic block fill does.
  const struct {
    TRect Rect;
    std::vector<int> Bounds;  // left, top, right, bottom, inclusive
  } cases[] = {
      {{2, 3, 5, 7}, {2, 3, 4, 6}}, {{5, 7, 2, 3}, {3, 4, 5, 7}}, {{5, 3, 2, 7}, {3, 3, 5, 6}},
      {{2, 7, 5, 3}, {2, 4, 4, 7}}, {{6, 2, 5, 3}, {6, 2, 6, 2}},
  };
  for (const auto& c : cases) {
    TScene s(10, 10);
    s.Canvas.Pen.Mode = pmXor;
    s.Canvas.FillRect(c.Rect);
    const TPixels filled = Where(s.Bitmap, RedPixel);
    EXPECT_EQ(BoundsOf(filled), c.Bounds)
        << c.Rect.Left << "," << c.Rect.Top << "," << c.Rect.Right << "," << c.Rect.Bottom;
    EXPECT_EQ(filled.size(), std::size_t(c.Bounds[2] - c.Bounds[0] + 1) * std::size_t(c.Bounds[3] - c.Bounds[1] + 1));
  }
  TScene s(10, 10);
  const auto before = Snapshot(s.Bitmap);
  for (const TRect& r : {TRect{5, 5, 5, 9}, TRect{1, 1, 9, 1}, TRect{9, 4, 1, 4}}) s.Canvas.FillRect(r);
  EXPECT_EQ(Snapshot(s.Bitmap), before);
  // Reversed as far as 32 bits go: everything from the right edge back to the left one.
  s.Canvas.FillRect({INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN});
  EXPECT_EQ(Where(s.Bitmap, RedPixel).size(), 100u);
}

TEST(PenMode, CopyWritesAZeroTopByteAndXorKeepsTheDestinations) {
  TScene s(4, 2, 0xAB123456);
  s.Canvas.MoveTo(0, 0);
  s.Canvas.LineTo(4, 0);
  s.Canvas.Pen.Mode = pmXor;
  s.Canvas.MoveTo(0, 1);
  s.Canvas.LineTo(4, 1);
  EXPECT_EQ(s.Bitmap.Pixel(1, 0), 0x000000FFu);
  EXPECT_EQ(s.Bitmap.Pixel(1, 1), 0xAB1234A9u);
}

TEST(CopyRect, EqualSizesCopyExactlyAndMissingSourceLeavesTheTargetAlone) {
  TScene from(20, 20), to(30, 30, 0x00777777);
  Noise(from.Bitmap, 2);
  // Source sticks out to the left and top by 3 and 4 pixels.
  to.Canvas.CopyRect({5, 6, 15, 18}, from.Canvas, {-3, -4, 7, 8});
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x) {
      const int sx = x - 8, sy = y - 10;
      const bool copied = x >= 8 && x < 15 && y >= 10 && y < 18;
      ASSERT_EQ(to.Bitmap.Pixel(x, y), copied ? from.Bitmap.Pixel(sx, sy) : 0x00777777u) << x << "," << y;
    }
  // Zero or negative sizes, mismatched nothing-to-copy cases and a source wholly outside.
  const auto before = Snapshot(to.Bitmap);
  to.Canvas.CopyRect({0, 0, 0, 10}, from.Canvas, {0, 0, 0, 10});
  to.Canvas.CopyRect({10, 10, 5, 5}, from.Canvas, {10, 10, 5, 5});
  to.Canvas.CopyRect({0, 0, 10, 10}, from.Canvas, {0, 0, -10, 10});
  to.Canvas.CopyRect({0, 0, 10, 10}, from.Canvas, {20, 0, 30, 10});
  to.Canvas.CopyRect({0, 0, 10, 10}, from.Canvas, {-50, -50, -10, -10});
  EXPECT_EQ(Snapshot(to.Bitmap), before);
}

TEST(CopyRect, OverlappingMovesWithinOneBitmapAreExact) {
  for (int dx : {-3, 0, 3})
    for (int dy : {-2, 0, 2}) {
      TScene s(16, 12);
      Noise(s.Bitmap, 3);
      s.Canvas.ExcludeClipRect({6, 0, 7, 12});  // split rows into pieces too
      const auto before = Snapshot(s.Bitmap);
      s.Canvas.CopyRect({2 + dx, 2 + dy, 14 + dx, 10 + dy}, s.Canvas, {2, 2, 14, 10});
      for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) {
          const bool moved = x >= 2 + dx && x < 14 + dx && y >= 2 + dy && y < 10 + dy && x != 6;
          const std::uint32_t expected = moved ? before[(y - dy) * 16 + (x - dx)] : before[y * 16 + x];
          ASSERT_EQ(s.Bitmap.Pixel(x, y), expected) << dx << "," << dy << " at " << x << "," << y;
        }
    }
}

TEST(CopyRect, DifferentSizesScaleSmoothlyWithinTheDestination) {
  TScene from(10, 10, 0x00204060), to(40, 40, 0x00FFFFFF);
  to.Canvas.CopyRect({5, 5, 30, 22}, from.Canvas, {0, 0, 10, 10});
  EXPECT_EQ(Where(to.Bitmap, 0x204060), ([] {
              TPixels p;
              for (int y = 5; y < 22; ++y)
                for (int x = 5; x < 30; ++x) p.insert({x, y});
              return p;
            }()));
  // Shrinking a fine checkerboard averages it instead of darkening it.
  TScene checker(40, 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) checker.Bitmap.SetPixel(x, y, (x + y) % 2 ? 0x00FFFFFF : 0);
  TScene small(10, 10, 0x00FF0000);
  small.Canvas.StretchDraw({0, 0, 10, 10}, checker.Bitmap);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      const int green = (small.Bitmap.Pixel(x, y) >> 8) & 0xFF;
      ASSERT_NEAR(green, 128, 20) << x << "," << y;
    }
  // A source half outside fills only the half of the destination it maps to.
  TScene half(40, 40, 0x00777777);
  half.Canvas.CopyRect({0, 0, 40, 20}, from.Canvas, {5, 0, 15, 10});
  EXPECT_EQ(half.Bitmap.Pixel(10, 10), 0x00204060u);
  EXPECT_EQ(half.Bitmap.Pixel(30, 10), 0x00777777u);
  EXPECT_EQ(half.Bitmap.Pixel(10, 30), 0x00777777u);
}

TEST(Damage, EveryCallReportsTheClippedBoundsOfWhatItChanged) {
  TScene s(50, 40, 0);
  TDamageLog log;
  s.Canvas.SetDamageSink(&log);
  s.Canvas.Pen.Mode = pmXor;
  const auto check = [&](auto&& draw) {
    const auto before = Snapshot(s.Bitmap);
    log.Rects.clear();
    draw(s.Canvas);
    const auto changed = BoundsOf(Changed(before, s.Bitmap));
    if (changed.empty()) {
      EXPECT_TRUE(log.Rects.empty());
      return;
    }
    ASSERT_EQ(log.Rects.size(), 1u);
    const TRect& r = log.Rects[0];
    EXPECT_EQ((std::vector<int>{r.Left, r.Top, r.Right - 1, r.Bottom - 1}), changed);
  };
  check([](TCanvas& c) { c.Pen.Width = 7, c.Ellipse(-10, 5, 30, 60); });
  check([](TCanvas& c) { c.MoveTo(3, 4), c.LineTo(45, 20); });
  check([](TCanvas& c) { c.Rectangle(-100, -100, -50, -50); });
  check([](TCanvas& c) { c.FillRect({40, 30, 90, 90}); });
  check([](TCanvas& c) { c.CopyRect({0, 0, 10, 10}, c, {40, 30, 50, 40}); });
}
