#include <climits>
#include <random>

#include "raster_support.h"

using namespace RasterTest;

namespace {

constexpr int Big = 1 << 30;

// The border of a 64x64 scene is kept out of the clip; whatever a figure does, it stays white.
void GuardBorder(TCanvas& c) {
  for (const TRect& r : {TRect{0, 0, 64, 8}, TRect{0, 56, 64, 64}, TRect{0, 8, 8, 56}, TRect{56, 8, 64, 56}})
    c.ExcludeClipRect(r);
}

}  // namespace

TEST(BadInput, HugeCoordinatesAndWidthsStayInTheClipAndUndoUnderXor) {
  const int coords[] = {-Big, Big, INT_MIN, INT_MAX, -Big + 40, 30, Big - 1, -17};
  const int widths[] = {0, 1, 3, 20, 99, 5000, -7};
  std::mt19937 rng(17);
  std::uniform_int_distribution<int> pick(0, std::size(coords) - 1), kind(0, 4);
  for (int i = 0; i < 600; ++i) {
    const TFigure f{TKind(kind(rng)), coords[pick(rng)], coords[pick(rng)], coords[pick(rng)], coords[pick(rng)]};
    for (const int width : widths) {
      TScene s(64, 64);
      for (int y = 8; y < 56; ++y)
        for (int x = 8; x < 56; ++x) s.Bitmap.SetPixel(x, y, rng() & 0xFFFFFF);
      GuardBorder(s.Canvas);
      const auto before = Snapshot(s.Bitmap);
      s.Canvas.Pen.Mode = pmXor;
      s.Canvas.Pen.Width = width;
      s.Canvas.Pen.Style = i % 2 ? psDot : psSolid;
      DrawFigure(s.Canvas, f);
      for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
          if (x < 8 || x >= 56 || y < 8 || y >= 56) {
            ASSERT_EQ(s.Bitmap.Pixel(x, y), White) << x << "," << y;
          }
        }
      DrawFigure(s.Canvas, f);
      ASSERT_EQ(Snapshot(s.Bitmap), before) << int(f.Kind) << " " << f.X1 << "," << f.Y1 << "," << f.X2 << "," << f.Y2;
    }
  }
}

TEST(BadInput, ScreenSizedFiguresFarOutReturnAndUndo) {
  // Walking any of these unclipped would take minutes; the test's timeout catches that.
  TScene s(3840, 2160);
  s.Canvas.Pen.Mode = pmXor;
  const auto dirty = [&] {
    std::size_t n = 0;
    for (int y = 0; y < 2160; ++y)
      for (int x = 0; x < 3840; ++x) n += s.Bitmap.Pixel(x, y) != White;
    return n;
  };
  int visible = 0;
  for (const int width : {1, 99})
    for (const TPenStyle style : {psSolid, psDot})
      for (TKind kind : {TKind::Line, TKind::Rect, TKind::Ellipse, TKind::RoundRect, TKind::Diamond})
        for (const TFigure f : {TFigure{kind, -Big, -Big, Big, Big}, TFigure{kind, -Big, 100, Big, 2000},
                                TFigure{kind, INT_MIN, INT_MIN, INT_MAX, INT_MAX}}) {
          s.Canvas.Pen.Width = width;
          s.Canvas.Pen.Style = style;
          DrawFigure(s.Canvas, f);
          visible += dirty() > 0;
          DrawFigure(s.Canvas, f);
          ASSERT_EQ(dirty(), 0u) << int(kind) << " w" << width;
        }
  EXPECT_GT(visible, 20);
}

TEST(BadInput, NoTargetOrAnEmptyTargetDrawsNothing) {
  TCanvas none;
  TBitmap empty;
  TCanvas onEmpty(&empty);
  TScene source(8, 8);
  for (TCanvas* c : {&none, &onEmpty}) {
    c->MoveTo(1, 1);
    c->LineTo(5, 5);
    c->Rectangle(0, 0, 5, 5);
    c->Ellipse(0, 0, 5, 5);
    c->RoundRect(0, 0, 5, 5, 2, 2);
    c->FillRect({0, 0, 5, 5});
    c->CopyRect({0, 0, 4, 4}, source.Canvas, {0, 0, 8, 8});
    c->StretchDraw({0, 0, 4, 4}, source.Bitmap);
    c->TextOut(0, 0, "x");
    EXPECT_EQ(c->Pixel(1, 1), 0u);
    EXPECT_EQ(c->PenPos, (TPoint{5, 5}));
  }
  // Copying from a canvas without a target leaves this one alone.
  const auto before = Snapshot(source.Bitmap);
  source.Canvas.CopyRect({0, 0, 4, 4}, none, {0, 0, 4, 4});
  EXPECT_EQ(Snapshot(source.Bitmap), before);
}

TEST(BadInput, StretchTargetsHugeOrInvertedAreClipped) {
  TScene from(4, 4, 0x00336699), to(64, 64);
  GuardBorder(to.Canvas);
  to.Canvas.CopyRect({-Big, -Big, Big, Big}, from.Canvas, {0, 0, 4, 4});
  EXPECT_EQ(Where(to.Bitmap, 0x336699).size(), 48u * 48u);
  EXPECT_EQ(Where(to.Bitmap, White).size(), 64u * 64u - 48u * 48u);
  TScene other(64, 64);
  other.Canvas.CopyRect({40, 40, 10, 10}, from.Canvas, {0, 0, 4, 4});
  other.Canvas.CopyRect({10, 10, 40, 40}, from.Canvas, {4, 4, 0, 0});
  other.Canvas.CopyRect({10, 10, 40, 40}, from.Canvas, {Big, Big, Big + 5, Big + 5});
  other.Canvas.StretchDraw({10, 10, 10, 40}, from.Bitmap);
  EXPECT_EQ(Where(other.Bitmap, White).size(), 64u * 64u);
}
