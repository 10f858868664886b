// The paint box's own behaviour, on a widgetset of the test's: the refill from the background
// left for the next use of the pixels, the controls above the box kept out of its canvas, the
// tracking of a held button and the pop-up menu after a right-button release.
#include "platform/paintbox.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/stdctrls.h"
#include "platform/widgetset.h"
#include "tests/support/fakewidgetset.h"

namespace {

constexpr std::uint32_t Picture = 0x00123456u;
constexpr std::uint32_t White = 0x00FFFFFFu;
// clBlue and clRed as the bitmap holds them (0x00RRGGBB).
constexpr std::uint32_t Blue = 0x000000FFu;
constexpr std::uint32_t Red = 0x00FF0000u;

class PaintBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallWidgetSet(&FWidgets);
    FBox = std::make_unique<TPaintBox>("PaintBox1", nullptr);
    FBox->SetDeviceGeometry(TRect{0, 0, 8, 6}, 8, 6);
    // The background is smaller than the box: white shows beyond it.
    FBackground.SetSize(6, 4);
    FBackground.Fill(Picture);
    FBox->SetBackground(&FBackground);
    FBox->PrepareBuffer();
  }
  void TearDown() override {
    FBox.reset();
    InstallWidgetSet(nullptr);
  }

  TFakeControl& Native() { return *FWidgets.Box; }
  // What the box's pixels should be where no drawing is.
  std::uint32_t BackgroundAt(int x, int y) const { return x < 6 && y < 4 ? Picture : White; }
  // The pixels inside `area` that differ from `inside`, and those outside it that differ from
  // `outside` (nullopt: the background).
  int Mismatches(const TRect& area, std::uint32_t inside, std::optional<std::uint32_t> outside) {
    int count = 0;
    const TBitmap& pixels = FBox->Pixels();
    for (int y = 0; y < pixels.Height(); ++y)
      for (int x = 0; x < pixels.Width(); ++x) {
        const std::uint32_t expected = area.Contains(x, y) ? inside : outside.value_or(BackgroundAt(x, y));
        if ((pixels.Pixel(x, y) & 0xFFFFFF) != expected) ++count;
      }
    return count;
  }
  void FillAll(TColor color) {
    TCanvas* canvas = FBox->Canvas();
    canvas->Brush.Color = color;
    canvas->FillRect(TRect{0, 0, 8, 6});
  }

  TFakeWidgetSet FWidgets;
  TBitmap FBackground;
  std::unique_ptr<TPaintBox> FBox;
};

TEST_F(PaintBoxTest, InvalidateWipesTheDrawingsWithTheBackgroundAsTheNextUseFindsIt) {
  ASSERT_EQ(FBox->Width(), 8);
  ASSERT_EQ(FBox->Pixels().Width(), 8);
  EXPECT_EQ(Mismatches(TRect{}, 0, std::nullopt), 0) << "a new buffer shows the background";
  FillAll(clBlue);
  ASSERT_EQ(Mismatches(TRect{0, 0, 8, 6}, Blue, std::nullopt), 0);

  const int repaints = Native().Repaints;
  FBox->Invalidate();
  EXPECT_EQ(Native().Repaints, repaints + 1);
  // The copy waits for the next use: a change of the background before it is what that use shows.
  FBackground.SetPixel(1, 1, 0x00ABCDEF);
  EXPECT_EQ(FBox->Pixels().Pixel(1, 1) & 0xFFFFFF, 0x00ABCDEFu);
  FBackground.SetPixel(1, 1, Picture);
  EXPECT_EQ(FBox->Pixels().Pixel(1, 1) & 0xFFFFFF, 0x00ABCDEFu) << "copied once, not at every use";
  FBox->Pixels().SetPixel(1, 1, Picture);
  EXPECT_EQ(Mismatches(TRect{}, 0, std::nullopt), 0);
}

TEST_F(PaintBoxTest, TheControlsAboveTheBoxStayOutOfItsCanvasAndTheAreaOneLeavesShowsTheBackground) {
  TPanel bar("ToolBar1", nullptr);
  bar.SetVisible(false);
  FBox->ClipOut(&bar);
  // Hidden, the control takes nothing from the canvas.
  FillAll(clBlue);
  ASSERT_EQ(Mismatches(TRect{0, 0, 8, 6}, Blue, std::nullopt), 0);

  // Shown over the drawing: the drawing stays under it, and nothing more is drawn there.
  bar.SetBounds(2, 1, 3, 2);
  bar.SetVisible(true);
  // From here on only what the changes repaint: drawings report theirs too.
  Native().Invalidated.clear();
  Native().Changed(bar);
  EXPECT_TRUE(Native().Invalidated.empty());
  FillAll(clRed);
  EXPECT_EQ(Mismatches(TRect{2, 1, 5, 3}, Blue, Red), 0);

  // Moved off: the area it leaves shows the background and is repainted; its new area is kept out.
  bar.SetBounds(0, 4, 3, 2);
  Native().Invalidated.clear();
  Native().Changed(bar);
  ASSERT_EQ(Native().Invalidated.size(), 1u);
  EXPECT_EQ(Native().Invalidated[0], (TRect{2, 1, 5, 3}));
  for (int y = 1; y < 3; ++y)
    for (int x = 2; x < 5; ++x) EXPECT_EQ(FBox->Pixels().Pixel(x, y) & 0xFFFFFF, BackgroundAt(x, y)) << x << "," << y;
  FillAll(clBlue);
  EXPECT_EQ(Mismatches(TRect{0, 4, 3, 6}, Red, Blue), 0);

  // A report of a change that left the rectangle as it was repaints nothing; hiding frees the area.
  Native().Invalidated.clear();
  Native().Changed(bar);
  EXPECT_TRUE(Native().Invalidated.empty());
  bar.SetVisible(false);
  Native().Changed(bar);
  ASSERT_EQ(Native().Invalidated.size(), 1u);
  EXPECT_EQ(Native().Invalidated[0], (TRect{0, 4, 3, 6}));
  FillAll(clRed);
  EXPECT_EQ(Mismatches(TRect{0, 0, 8, 6}, Red, std::nullopt), 0);
}

TEST_F(PaintBoxTest, APressTracksTheBoxUntilNoButtonIsHeld) {
  std::vector<int> seen;
  FBox->OnMouseDown = [&](TMouseButton b, TShiftState, int x, int y) { seen.insert(seen.end(), {1, b, x, y}); };
  FBox->OnMouseUp = [&](TMouseButton b, TShiftState, int x, int y) { seen.insert(seen.end(), {2, b, x, y}); };
  EXPECT_FALSE(FBox->Tracking());
  FBox->MouseDown(mbLeft, ssLeft, 3, 4);
  EXPECT_TRUE(FBox->Tracking());
  FBox->MouseDown(mbMiddle, ssLeft | ssMiddle, 5, 6);
  FBox->MouseUp(mbLeft, ssMiddle, 7, 8, true);
  EXPECT_TRUE(FBox->Tracking()) << "the middle button is still down";
  FBox->MouseUp(mbMiddle, 0, 9, 10, false);
  EXPECT_FALSE(FBox->Tracking());
  EXPECT_EQ(seen, (std::vector<int>{1, mbLeft, 3, 4, 1, mbMiddle, 5, 6, 2, mbLeft, 7, 8, 2, mbMiddle, 9, 10}));
}

TEST_F(PaintBoxTest, ThePopUpMenuOpensAtThePointerOnceTheRightReleaseHasBeenHandled) {
  std::vector<TPoint> opened;
  TPopupMenu menu("PopupMenu1", std::make_unique<TFakeMenu>(opened));
  FBox->SetPopupMenu(&menu);
  bool released = false;
  FBox->OnMouseUp = [&](TMouseButton, TShiftState, int, int) { released = true; };
  FBox->MouseDown(mbRight, ssRight, 10, 10);
  FBox->MouseUp(mbRight, 0, 10, 10, false);
  EXPECT_TRUE(released);
  EXPECT_TRUE(opened.empty()) << "opened inside the release";
  // Where the pointer is when the menu opens.
  FWidgets.FakeScreen.Pointer = TPoint{40, 50};
  QCoreApplication::processEvents();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], (TPoint{40, 50}));

  // Other buttons open nothing; nor does a release whose box is gone before the menu's turn.
  FBox->MouseUp(mbLeft, 0, 10, 10, false);
  FBox->MouseUp(mbMiddle, 0, 10, 10, false);
  QCoreApplication::processEvents();
  EXPECT_EQ(opened.size(), 1u);
  FBox->MouseUp(mbRight, 0, 10, 10, false);
  FBox.reset();
  QCoreApplication::processEvents();
  EXPECT_EQ(opened.size(), 1u);
}

}  // namespace
