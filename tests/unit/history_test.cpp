// The undo history on bare bitmaps: every kind of drawing call undone and redone exactly, the
// pixels a step did not change left alone, the memory bound, and no allocation while a step
// draws.
#include "surface/history.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "tests/support/allocation_count.h"

namespace {

constexpr int W = 300;
constexpr int H = 200;

void Noise(TBitmap& bitmap, unsigned seed) {
  std::mt19937 random(seed);
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x) bitmap.SetPixel(x, y, random() & 0xFFFFFF);
}

std::vector<std::uint32_t> Copy(const TBitmap& bitmap) {
  std::vector<std::uint32_t> pixels;
  for (int y = 0; y < bitmap.Height(); ++y)
    pixels.insert(pixels.end(), bitmap.ScanLine(y), bitmap.ScanLine(y) + bitmap.Width());
  return pixels;
}

// The two layers of a surface with their canvases hooked up as the surface hooks them.
class HistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Noise(Background, 1);
    for (int y = 0; y < H; ++y) std::memcpy(Window.ScanLine(y), Background.ScanLine(y), sizeof(std::uint32_t) * W);
    // Earlier drawings the steps draw over.
    WindowCanvas.Pen.Color = clBlue;
    WindowCanvas.Pen.Width = 5;
    WindowCanvas.MoveTo(0, 0);
    WindowCanvas.LineTo(W, H);
    History.Start(&Window, &Background);
    WindowCanvas.SetChangeSink(History.Sink(hlWindow));
    BackgroundCanvas.SetChangeSink(History.Sink(hlBackground));
  }

  // Runs `draw` as one step; checks undo, redo and undo again give exactly the pixels before
  // and after, on both layers.
  void CheckStep(const std::function<void()>& draw) {
    const auto window = Copy(Window), background = Copy(Background);
    History.Begin();
    draw();
    History.End();
    const auto windowAfter = Copy(Window), backgroundAfter = Copy(Background);
    ASSERT_TRUE(windowAfter != window || backgroundAfter != background) << "the step changed nothing";
    ASSERT_TRUE(History.CanUndo());
    History.Undo();
    EXPECT_EQ(Copy(Window), window);
    EXPECT_EQ(Copy(Background), background);
    History.Redo();
    EXPECT_EQ(Copy(Window), windowAfter);
    EXPECT_EQ(Copy(Background), backgroundAfter);
    History.Undo();
    EXPECT_EQ(Copy(Window), window);
    EXPECT_EQ(Copy(Background), background);
  }

 public:
  // The draw cases reach these.
  TBitmap Window{W, H};
  TBitmap Background{W, H};
  TCanvas WindowCanvas{&Window};
  TCanvas BackgroundCanvas{&Background};
  TUndoHistory History;
};

struct TDrawCase {
  const char* Name;
  std::function<void(HistoryTest&)> Draw;
};

TEST_F(HistoryTest, EveryKindOfDrawingIsUndoneAndRedoneExactly) {
  const TDrawCase cases[] = {
      {"wide stroke past the edges",
       [](HistoryTest& t) {
         t.WindowCanvas.Pen.Color = clRed;
         t.WindowCanvas.Pen.Width = 20;
         t.WindowCanvas.MoveTo(-30, 100);
         for (int i = 0; i < 40; ++i) t.WindowCanvas.LineTo(i * 9, 100 + (i % 7) * 15 - 45);
         t.WindowCanvas.LineTo(W + 40, H + 40);
       }},
      {"hollow figures across the whole layer",
       [](HistoryTest& t) {
         t.WindowCanvas.Brush.Style = bsClear;
         t.WindowCanvas.Pen.Width = 3;
         t.WindowCanvas.Rectangle(-1, -1, W + 1, H + 1);
         t.WindowCanvas.Ellipse(10, 10, W - 10, H - 10);
         t.WindowCanvas.RoundRect(40, 30, 250, 190, 50, 40);
       }},
      {"copy from the background",
       [](HistoryTest& t) {
         t.WindowCanvas.CopyRect({5, 5, 140, 90}, t.BackgroundCanvas, {5, 5, 140, 90});
       }},
      {"stretched picture and a fill, one colour runs",
       [](HistoryTest& t) {
         TBitmap picture(7, 3);
         Noise(picture, 9);
         t.WindowCanvas.StretchDraw({33, 17, 290, 170}, picture);
         t.WindowCanvas.Brush.Color = clWhite;
         t.WindowCanvas.FillRect({100, 50, 200, 120});
       }},
      {"text drawn over itself",
       [](HistoryTest& t) {
         t.WindowCanvas.Brush.Style = bsClear;
         t.WindowCanvas.Font = TFont{"Sans", 20, clRed, 0};
         t.WindowCanvas.TextOut(40, 60, "Ab");
         t.WindowCanvas.TextOut(40, 60, "Abcd");
       }},
      {"both layers kept first, changed after",
       [](HistoryTest& t) {
         t.History.Keep(hlBackground, {0, 0, W, H});
         t.History.Keep(hlWindow, {0, 0, W, H});
         t.BackgroundCanvas.Brush.Color = clWhite;
         t.BackgroundCanvas.Rectangle(0, 0, W, H);
         t.WindowCanvas.CopyRect({0, 0, W, H}, t.BackgroundCanvas, {0, 0, W, H});
       }},
      {"window kept whole, a part changed",
       [](HistoryTest& t) {
         t.History.Keep(hlWindow, {0, 0, W, H});
         t.WindowCanvas.CopyRect({0, 0, 120, 200}, t.BackgroundCanvas, {0, 0, 120, 200});
       }},
  };
  for (const TDrawCase& c : cases) {
    SCOPED_TRACE(c.Name);
    CheckStep([&] { c.Draw(*this); });
  }
}

TEST_F(HistoryTest, PixelsTheStepLeftAloneAreNotPutBack) {
  const std::uint32_t under = Window.Pixel(120, 20);
  History.Begin();
  WindowCanvas.Pen.Color = clRed;
  WindowCanvas.Pen.Width = 1;
  WindowCanvas.MoveTo(100, 20);
  WindowCanvas.LineTo(140, 20);
  History.End();
  // Changed since, outside the step, in a tile the step kept (as the area a moved tool bar
  // leaves): the change stays, the line goes.
  Window.SetPixel(105, 25, 0x123456);
  History.Undo();
  EXPECT_EQ(Window.Pixel(105, 25), 0x123456u);
  EXPECT_EQ(Window.Pixel(120, 20), under);
}

TEST_F(HistoryTest, ANewStepClearsRedoAndAStepThatChangedNothingDoesNot) {
  for (int i = 0; i < 3; ++i) {
    History.Begin();
    WindowCanvas.MoveTo(10, 20 + i * 30);
    WindowCanvas.LineTo(200, 20 + i * 30);
    History.End();
  }
  History.Undo();
  History.Undo();
  EXPECT_EQ(History.RedoCount(), 2);
  // Drawn and taken back within the step, or nothing drawn at all.
  History.Begin();
  WindowCanvas.Pen.Mode = pmXor;
  WindowCanvas.Rectangle(5, 5, 100, 100);
  WindowCanvas.Rectangle(5, 5, 100, 100);
  WindowCanvas.Pen.Mode = pmCopy;
  History.End();
  History.Begin();
  History.End();
  EXPECT_EQ(History.RedoCount(), 2);
  EXPECT_EQ(History.UndoCount(), 1);
  History.Begin();
  WindowCanvas.MoveTo(0, 150);
  WindowCanvas.LineTo(100, 150);
  History.End();
  EXPECT_EQ(History.RedoCount(), 0);
  EXPECT_EQ(History.UndoCount(), 2);
  EXPECT_TRUE(History.Redo().IsEmpty());
}

TEST_F(HistoryTest, TheBoundDropsTheOldestAndWhatIsLeftStillUndoesExactly) {
  // Each step covers the window with noise: it keeps the whole noisy layer it replaced.
  TBitmap big(1024, 1024), under(1024, 1024);
  Noise(under, 2);
  History.Start(&big, &under);
  TCanvas canvas(&big);
  canvas.SetChangeSink(History.Sink(hlWindow));
  TBitmap noise(1024, 1024);
  std::vector<std::vector<std::uint32_t>> states{Copy(big)};
  constexpr int Steps = 20;
  for (int i = 0; i < Steps; ++i) {
    Noise(noise, 100 + i);
    History.Begin();
    canvas.CopyRect({0, 0, 1024, 1024}, TCanvas(&noise), {0, 0, 1024, 1024});
    History.End();
    states.push_back(Copy(big));
    EXPECT_LE(History.Bytes(), TUndoHistory::Budget);
  }
  const int kept = History.UndoCount();
  // 4 MiB a step: more than a dozen fit, not all twenty.
  EXPECT_GT(kept, 10);
  EXPECT_LT(kept, Steps);
  for (int i = 0; i < kept; ++i) History.Undo();
  EXPECT_FALSE(History.CanUndo());
  EXPECT_EQ(Copy(big), states[std::size_t(Steps - kept)]);
  for (int i = 0; i < kept; ++i) History.Redo();
  EXPECT_EQ(Copy(big), states.back());
}

TEST_F(HistoryTest, AStepLargerThanTheBoundCannotBeUndoneAndHarmsNothing) {
  // Noise of 4096 x 4096 replaced: 64 MiB kept on its own.
  TBitmap big(4096, 4096), under(4096, 4096);
  Noise(big, 5);
  History.Start(&big, &under);
  History.Begin();
  History.Keep(hlWindow, {0, 0, 4096, 4096});
  big.Fill(0x00FFFFFF);
  History.End();
  EXPECT_FALSE(History.CanUndo());
  EXPECT_LE(History.Bytes(), TUndoHistory::Budget);
}

TEST_F(HistoryTest, DrawingInAStepAllocatesNothing) {
  WindowCanvas.Pen.Width = 20;
  WindowCanvas.Pen.Color = clRed;
  // Warmed up: the canvas's own buffers are made by the first figure.
  WindowCanvas.MoveTo(0, 0);
  WindowCanvas.LineTo(50, 50);
  History.Begin();
  const long before = HeapAllocations();
  for (int i = 0; i < 200; ++i) WindowCanvas.LineTo((i * 37) % W, (i * 53) % H);
  EXPECT_EQ(HeapAllocations() - before, 0);
  History.End();
  EXPECT_TRUE(History.CanUndo());
}

TEST_F(HistoryTest, StopLetsEverythingGo) {
  History.Begin();
  WindowCanvas.LineTo(100, 100);
  History.End();
  ASSERT_GT(History.Bytes(), 0u);
  History.Stop();
  EXPECT_FALSE(History.CanUndo());
  EXPECT_EQ(History.Bytes(), 0u);
  // Sinks of a stopped history keep nothing.
  History.Begin();
  WindowCanvas.LineTo(10, 150);
  EXPECT_FALSE(History.InStep());
}

}  // namespace
