#include "raster_support.h"
#include "tests/support/allocation_count.h"

using namespace RasterTest;

// Counts what it is told, without allocating: the damage of every call is gathered and reported.
struct TCountingSink : TDamageSink {
  long Rects = 0;
  void Damaged(const TRect&) override { ++Rects; }
};

TEST(Allocations, FigureCallsAllocateNothingAfterOneWarmUpCall) {
  TScene s(1920, 1080), background(1920, 1080);
  TCountingSink sink;
  s.Canvas.SetDamageSink(&sink);
  s.Canvas.MoveTo(0, 0);
  s.Canvas.LineTo(10, 10);  // the warm-up

  using TDraw = void (*)(TCanvas&, const TCanvas&);
  const struct {
    const char* Name;
    TDraw Draw;
  } calls[] = {
      {"line", [](TCanvas& c, const TCanvas&) { c.MoveTo(-50, 20), c.LineTo(1900, 1070); }},
      {"rectangle", [](TCanvas& c, const TCanvas&) { c.Rectangle(5, 5, 1915, 1075); }},
      {"ellipse", [](TCanvas& c, const TCanvas&) { c.Ellipse(5, 5, 1915, 1075); }},
      {"round rectangle", [](TCanvas& c, const TCanvas&) { c.RoundRect(5, 5, 1915, 1075, 477, 267); }},
      {"diamond",
       [](TCanvas& c, const TCanvas&) {
         DrawFigure(c, {TKind::Diamond, 5, 5, 1915, 1075});
       }},
      {"small ellipse", [](TCanvas& c, const TCanvas&) { c.Ellipse(100, 100, 104, 103); }},
      {"fill",
       [](TCanvas& c, const TCanvas&) {
         c.FillRect({0, 0, 1920, 1080});
       }},
      {"copy",
       [](TCanvas& c, const TCanvas& b) {
         c.CopyRect({0, 0, 1920, 1080}, b, {0, 0, 1920, 1080});
       }},
      {"eraser",
       [](TCanvas& c, const TCanvas& b) {
         c.CopyRect({100, 100, 116, 116}, b, {100, 100, 116, 116});
       }},
  };
  const struct {
    int Width;
    TPenStyle Style;
    TPenMode Mode;
    TBrushStyle Brush;
  } pens[] = {{1, psSolid, pmXor, bsClear},  {3, psSolid, pmCopy, bsClear}, {20, psSolid, pmXor, bsSolid},
              {99, psSolid, pmXor, bsClear}, {1, psDot, pmXor, bsClear},    {1, psDot, pmCopy, bsSolid}};
  for (const auto& pen : pens) {
    s.Canvas.Pen.Width = pen.Width;
    s.Canvas.Pen.Style = pen.Style;
    s.Canvas.Pen.Mode = pen.Mode;
    s.Canvas.Brush.Style = pen.Brush;
    s.Canvas.ExcludeClipRect({216, 0, 756, 28});
    for (const auto& call : calls) {
      const long before = HeapAllocations();
      call.Draw(s.Canvas, background.Canvas);
      EXPECT_EQ(HeapAllocations() - before, 0) << call.Name << " width " << pen.Width;
    }
  }
  EXPECT_GT(sink.Rects, long(std::size(calls) * std::size(pens)));
  // The counter does see allocations.
  const long before = HeapAllocations();
  s.Canvas.CopyRect({0, 0, 100, 100}, background.Canvas, {0, 0, 50, 50});
  EXPECT_GT(HeapAllocations() - before, 0);
}
