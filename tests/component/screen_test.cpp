// The screen changing its size under the surface, and a screen too large for the memory.
#include <gtest/gtest.h>

#include <QTest>

#include "platform/application.h"
#include "platform/image.h"
#include "shell/form1.h"
#include "surface/fcover.h"
#include "tests/component/harness.h"

namespace {

class ScreenSizeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetToIdle();
    StartWorking();
  }
  void TearDown() override { ResetToIdle(); }

  QWidget* Box() { return QtOf(FCover->PaintBox1); }
  // Pixels of the window buffer that are not white inside the rectangle.
  static int NonWhite(int left, int top, int right, int bottom) {
    int count = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x)
        if (SurfacePixel(x, y) != 0xFFFFFFu) ++count;
    return count;
  }
};

}  // namespace

TEST_F(ScreenSizeTest, AShownSurfaceFollowsTheScreenKeepingTheDrawingAndTheBarOnScreen) {
  // A committed stroke, and a rectangle whose XOR preview is on the surface when the size changes.
  FCover->TBpenClick();
  QTest::mousePress(Box(), Qt::LeftButton, {}, QPoint(100, 100));
  QTest::mouseMove(Box(), QPoint(300, 250));
  QTest::mouseRelease(Box(), Qt::LeftButton, {}, QPoint(300, 250));
  const std::vector<std::uint32_t> stroke = SurfaceCopy();
  FCover->TBrectClick();
  QTest::mousePress(Box(), Qt::LeftButton, {}, QPoint(500, 400));
  QTest::mouseMove(Box(), QPoint(790, 790));
  ASSERT_TRUE(FCover->Dragging());
  // The bar docked at the right edge.
  FCover->ToolButton6Click();
  const int barWidth = QtOf(FCover->ToolBar1)->width();
  ASSERT_EQ(QtOf(FCover->ToolBar1)->x() + barWidth, 800);

  FCover->FollowScreenSize(1000, 900);
  ASSERT_EQ(FCover->Width(), 1000);
  ASSERT_EQ(FCover->Height(), 900);
  EXPECT_EQ(FCover->Image1->Bitmap()->Width(), 1000);
  EXPECT_EQ(FCover->PaintBox1->Pixels().Width(), 1000);
  // The old picture with the stroke and without the preview where it was; white where it grew.
  int changed = 0;
  for (int y = 0; y < 800; ++y)
    for (int x = 0; x < 800; ++x)
      if (SurfacePixel(x, y) != Rgb(stroke[std::size_t(y) * 800 + x])) ++changed;
  EXPECT_EQ(changed, 0);
  EXPECT_EQ(NonWhite(800, 0, 1000, 900), 0);
  EXPECT_EQ(NonWhite(0, 800, 800, 900), 0);
  EXPECT_EQ(QtOf(FCover->ToolBar1)->x() + barWidth, 1000) << "the bar left the right edge";

  // The drag goes on over the new area and commits exactly one rectangle.
  QTest::mouseMove(Box(), QPoint(950, 850));
  QTest::mouseRelease(Box(), Qt::LeftButton, {}, QPoint(950, 850));
  EXPECT_EQ(SurfacePixel(950 - 1, 700), 0xFF0000u);
  EXPECT_EQ(SurfacePixel(900, 850 - 1), 0xFF0000u);
  for (const QPoint p : {QPoint(789, 600), QPoint(600, 789)})
    EXPECT_EQ(SurfacePixel(p.x(), p.y()), Rgb(stroke[std::size_t(p.y()) * 800 + p.x()])) << "XOR preview left behind";

  // Smaller and turned on its side: the bar comes back inside, the drawing stays where it fits.
  FCover->FollowScreenSize(600, 1000);
  ASSERT_EQ(FCover->Width(), 600);
  EXPECT_LE(QtOf(FCover->ToolBar1)->x() + barWidth, 600);
  EXPECT_GE(QtOf(FCover->ToolBar1)->x(), 0);
  changed = 0;
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 400; ++x)
      if (SurfacePixel(x, y) != Rgb(stroke[std::size_t(y) * 800 + x])) ++changed;
  EXPECT_EQ(changed, 0);
  EXPECT_EQ(NonWhite(0, 900, 600, 1000), 0);
  // A refresh shows the background at the new size.
  FCover->TBrefreshClick();
  EXPECT_EQ(DiffCount(0, 0, 600, 1000), 0);

  // The next freeze is made at the screen's size again, on the desktop's memory.
  ResetToIdle();
  StartWorking();
  EXPECT_EQ(FCover->Width(), ScreenWidth());
  EXPECT_EQ(FCover->Image1->Bitmap()->Width(), ScreenWidth());
  EXPECT_EQ(FCover->Image1->Bitmap()->Height(), ScreenHeight());
  EXPECT_EQ(FCover->Image1->Bitmap()->ScanLine(0), Desktop().Memory->data());
  EXPECT_EQ(BackgroundPixel(700, 700), ScreenPattern(Desktop().Seed, 700, 700));
}

TEST_F(ScreenSizeTest, AScreenTooLargeForTheLayersIsRefusedAndAFittingOneWorksAfterwards) {
  ResetToIdle();
  // Past the bitmap limit on a side: no layer can be made; both are let go.
  EXPECT_THROW(FCover->PrepareForShowing(TBitmap::MaxSide + 1, 10), EOutOfResources);
  EXPECT_FALSE(FCover->Image1->HasBitmap());
  EXPECT_TRUE(FCover->PaintBox1->Pixels().Empty());
  // A screen the size of the limit itself would fit.
  FCover->PrepareForShowing(ScreenWidth(), ScreenHeight());
  EXPECT_TRUE(FCover->Image1->HasBitmap());

  // A hidden surface does not follow a too-large screen and says nothing; the next freeze of a
  // screen that fits works.
  FCover->FollowScreenSize(TBitmap::MaxSide + 1, 10);
  EXPECT_FALSE(FCover->Image1->HasBitmap());
  StartWorking();
  EXPECT_TRUE(Form1->Working());
  EXPECT_TRUE(QtOf(FCover)->isVisible());
  EXPECT_EQ(BackgroundPixel(10, 10), ScreenPattern(Desktop().Seed, 10, 10));
}
