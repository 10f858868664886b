// The surface's two layers: refresh, white board, snapshots, and the clip under the tool bar.
#include <gtest/gtest.h>

#include <QTest>
#include <functional>

#include "platform/application.h"
#include "platform/image.h"
#include "platform/qt/qtmenus.h"
#include "shell/form1.h"
#include "surface/fcover.h"
#include "tests/component/harness.h"

namespace {

class SurfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetToIdle();
    StartWorking();
  }
  void TearDown() override { ResetToIdle(); }

  // A few strokes in copy mode somewhere away from the tool bar.
  void Scribble(TColor color) {
    TCanvas* c = FCover->PaintBox1->Canvas();
    c->Pen.Color = color;
    c->Pen.Width = 5;
    c->MoveTo(40, 100);
    c->LineTo(300, 400);
    c->LineTo(500, 120);
    c->Pen = TPen{};
  }
};

}  // namespace

TEST_F(SurfaceTest, RefreshWipesDrawingsAndSelectionButKeepsTheCaptionOrigin) {
  Scribble(clBlue);
  ASSERT_GT(DiffCount(0, 0, FCover->Width(), FCover->Height()), 0);
  FCover->Ed->SetText("abc");
  FCover->TBselectClick();
  QTest::mousePress(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, QPoint(100, 300));
  QTest::mouseMove(QtOf(FCover->PaintBox1), QPoint(200, 380));
  AnswerNextModal([](QWidget* menu) { menu->close(); });
  QTest::mouseRelease(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, QPoint(200, 380));
  ASSERT_TRUE(FCover->SelActive());
  FCover->Ed->SetText("abc");

  QtAction(*Form1->Nrefresh)->trigger();
  EXPECT_EQ(DiffCount(0, 0, FCover->Width(), FCover->Height()), 0);
  EXPECT_FALSE(FCover->SelActive());
  EXPECT_TRUE(QtOf(FCover->Ed)->text().isEmpty());

  Scribble(clGreen);
  FCover->TBrefreshClick();
  EXPECT_EQ(DiffCount(0, 0, FCover->Width(), FCover->Height()), 0);
}

TEST_F(SurfaceTest, TheBackgroundIsCapturedInPlaceIntoTheDesktopsMemoryAtEachStart) {
  ASSERT_TRUE(Desktop().Memory);
  EXPECT_EQ(FCover->Image1->Bitmap()->ScanLine(0), Desktop().Memory->data());
  for (std::uint32_t seed : {7u, 8u}) {
    Form1->StopDrawing();
    Desktop().Seed = seed;
    StartWorking();
    EXPECT_EQ(FCover->Image1->Bitmap()->ScanLine(0), Desktop().Memory->data()) << "moved off the memory";
    for (const auto& p : {std::pair{0, 0}, {FCover->Width() - 1, FCover->Height() - 1}, {311, 417}}) {
      EXPECT_EQ(BackgroundPixel(p.first, p.second), ScreenPattern(seed, p.first, p.second)) << seed;
      EXPECT_EQ(SurfacePixel(p.first, p.second), ScreenPattern(seed, p.first, p.second)) << seed;
    }
  }
}

// The copy from the background is left for the next use of the window pixels; a paint is one.
TEST_F(SurfaceTest, APaintRightAfterARefreshShowsTheBackgroundNotTheDrawings) {
  const QPoint stroke(170, 250);  // on the scribble's first segment
  Scribble(clBlue);
  QImage shown = QtOf(FCover->PaintBox1)->grab().toImage();
  ASSERT_EQ(Rgb(shown.pixel(stroke)), 0x0000FFu) << "the check cannot tell drawings from background";
  FCover->TBrefreshClick();
  shown = QtOf(FCover->PaintBox1)->grab().toImage();
  EXPECT_EQ(Rgb(shown.pixel(stroke)), BackgroundPixel(stroke.x(), stroke.y()));
  int differ = 0;
  for (int y = 0; y < shown.height(); y += 3)
    for (int x = 0; x < shown.width(); x += 3) differ += Rgb(shown.pixel(x, y)) != BackgroundPixel(x, y);
  EXPECT_EQ(differ, 0);
}

TEST_F(SurfaceTest, WhiteBoardIsWhiteWithABlackRing) {
  Scribble(clRed);
  QtAction(*Form1->NWhite)->trigger();
  const int w = FCover->Width();
  const int h = FCover->Height();
  const int samples[][2] = {{0, 0},     {w - 1, 0}, {0, h - 1},     {w - 1, h - 1},
                            {w / 2, 0}, {0, h / 2}, {w - 1, h / 2}, {w / 2, h - 1}};
  for (const auto& p : samples) {
    EXPECT_EQ(BackgroundPixel(p[0], p[1]), 0x000000u) << p[0] << "," << p[1];
    EXPECT_EQ(SurfacePixel(p[0], p[1]), 0x000000u) << p[0] << "," << p[1];
  }
  for (int y = 1; y < h - 1; y += 7)
    for (int x = 1; x < w - 1; x += 7) ASSERT_EQ(BackgroundPixel(x, y), 0xFFFFFFu) << x << "," << y;
  // Every earlier drawing is gone, and a refresh now shows white.
  EXPECT_EQ(DiffCount(0, 0, w, h), 0);
  Scribble(clRed);
  FCover->TBrefreshClick();
  EXPECT_EQ(SurfacePixel(300, 400), 0xFFFFFFu);
  // The next start captures the screen again.
  Form1->StopDrawing();
  StartWorking();
  EXPECT_EQ(BackgroundPixel(300, 400), ScreenPattern(Desktop().Seed, 300, 400));
}

TEST_F(SurfaceTest, SnapshotThenRestoreIsExact) {
  Scribble(clFuchsia);
  const std::vector<std::uint32_t> before = SurfaceCopy();
  TImage* snapshot = FCover->SnapshotSurface();
  EXPECT_FALSE(QtOf(snapshot)->isVisible());
  EXPECT_EQ(snapshot->Bitmap()->Width(), FCover->Width());
  FCover->TBrefreshClick();
  Scribble(clYellow);
  FCover->RestoreSurface(snapshot);
  EXPECT_EQ(SurfaceCopy(), before);
}

TEST_F(SurfaceTest, NothingIsDrawnUnderTheToolBar) {
  const QRect bar = QtOf(FCover->ToolBar1)->geometry();
  TCanvas* c = FCover->PaintBox1->Canvas();
  c->Brush.Color = clBlue;
  c->FillRect(TRect{0, 0, FCover->Width(), 200});
  EXPECT_EQ(DiffCount(bar.x(), bar.y(), bar.x() + bar.width(), bar.y() + bar.height()), 0);
  EXPECT_EQ(SurfacePixel(bar.x() - 1, bar.y()), 0x0000FFu);
  c->Brush = TBrush{};
}

TEST_F(SurfaceTest, DrawingsSurviveTheHelpWindow) {
  Scribble(clNavy);
  const std::vector<std::uint32_t> before = SurfaceCopy();
  AnswerNextModal([](QWidget* help) { help->close(); });
  FCover->TBhelpClick();
  EXPECT_EQ(SurfaceCopy(), before);
}

// The window system is handed the frame the window is about to paint, so that the frozen picture
// and the tool bar appear together the moment it maps, whatever the last showing left behind.
TEST_F(SurfaceTest, TheFirstFrameHandedAheadIsWhatTheWindowPaints) {
  struct TCase {
    const char* Name;
    std::function<void()> LastShowing;  // done in the showing before
    bool BarShown;
  };
  const TCase cases[] = {
      {"as started", [] {}, true},
      {"eraser chosen, bar moved to the bottom right",
       [] {
         FCover->TBeraserClick();
         FCover->ToolButton4Click();
         FCover->ToolButton6Click();
       },
       true},
      {"bar hidden", [] { QtAction(*Form1->Nshowtools)->trigger(); }, false},
  };
  for (const TCase& c : cases) {
    c.LastShowing();
    Form1->StopDrawing();
    Application->ProcessMessages();
    Desktop().FirstFrame = QImage();
    StartWorking();
    ASSERT_FALSE(Desktop().FirstFrame.isNull()) << c.Name << ": no frame handed over";
    const QImage painted = QtOf(FCover)->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(painted.size(), Desktop().FirstFrame.size()) << c.Name;
    int differ = 0;
    for (int y = 0; y < painted.height(); ++y)
      for (int x = 0; x < painted.width(); ++x)
        differ += Rgb(painted.pixel(x, y)) != Rgb(Desktop().FirstFrame.pixel(x, y));
    EXPECT_EQ(differ, 0) << c.Name;
    const QRect bar = QtOf(FCover->ToolBar1)->geometry();
    EXPECT_EQ(Rgb(Desktop().FirstFrame.pixel(bar.right() - 1, bar.bottom() - 1)) == 0x800080u, c.BarShown) << c.Name;
    // Once the window has painted, it lets the frame go: a later exposure waits for its paint.
    EXPECT_TRUE(QTest::qWaitFor([] { return Desktop().FirstFrameWindow == 0; }, 2000)) << c.Name;
  }
  QtAction(*Form1->Nshowtools)->trigger();
  QtOf(FCover->ToolBar1)->move(216, 0);
}
