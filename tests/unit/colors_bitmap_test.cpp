#include <QImage>
#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/qt/qtraster.h"
#include "platform/raster/pixelpool.h"
#include "raster_support.h"

using namespace RasterTest;

TEST(Colors, PenListHasTheFiftyColoursInToolBarOrder) {
  const auto list = PenColorList();
  ASSERT_EQ(list.size(), 50u);
  struct TExpect {
    int Index;
    const char* Name;
    TColor Value;
  };
  const TExpect expected[] = {{0, "clBlack", 0x000000},
                              {5, "clPurple", 0x800080},
                              {9, "clRed", 0x0000FF},
                              {15, "clWhite", 0xFFFFFF},
                              {16, "clMoneyGreen", 0xC0DCC0},
                              {17, "clSkyBlue", 0xF0CAA6},
                              {19, "clMedGray", 0xA4A0A0},
                              {20, "clActiveBorder", clActiveBorder},
                              {24, "clBtnFace", clBtnFace},
                              {45, "cl3DDkShadow", cl3DDkShadow},
                              {49, "clWindowText", clWindowText}};
  for (const TExpect& e : expected) {
    EXPECT_STREQ(list[e.Index].Name, e.Name);
    EXPECT_EQ(list[e.Index].Value, e.Value) << e.Name;
  }
  // The system entries are scheme references, each a different one.
  std::set<TColor> system;
  for (std::size_t i = 20; i < 50; ++i) {
    EXPECT_NE(list[i].Value & clSystemColor, 0u) << list[i].Name;
    system.insert(list[i].Value);
  }
  EXPECT_EQ(system.size(), 30u);
}

TEST(Colors, SystemColoursResolveThroughTheScheme) {
  EXPECT_EQ(ColorToRGB(clWindowText), 0x000000u);
  EXPECT_EQ(ColorToRGB(clWindow), 0xFFFFFFu);
  EXPECT_EQ(ColorToRGB(clHighlight), 0x6A240Au);
  EXPECT_EQ(ColorToRGB(clRed), 0x0000FFu);

  std::array<TColor, SystemColorCount> saved{};
  for (int i = 0; i < SystemColorCount; ++i) saved[i] = ColorToRGB(clSystemColor | TColor(i));
  std::array<TColor, SystemColorCount> scheme = saved;
  scheme[15] = 0x123456;  // clBtnFace
  SetSystemColorScheme(scheme);
  EXPECT_EQ(ColorToRGB(clBtnFace), 0x123456u);
  EXPECT_EQ(ColorToPixel(clBtnFace), 0x00563412u);
  // A pen holding the reference follows a scheme change.
  TScene s(4, 1);
  s.Canvas.Pen.Color = clBtnFace;
  s.Canvas.MoveTo(0, 0);
  s.Canvas.LineTo(2, 0);
  EXPECT_EQ(s.Bitmap.Pixel(0, 0), 0x00563412u);
  SetSystemColorScheme(saved);
}

TEST(Colors, PixelsAreRgbWithTheTopByteIgnored) {
  EXPECT_EQ(ColorToPixel(0x00332211), 0x00112233u);
  EXPECT_EQ(PixelToColor(0xAB112233), 0x00332211u);
  for (const TNamedColor& c : PenColorList()) EXPECT_EQ(PixelToColor(ColorToPixel(c.Value)), ColorToRGB(c.Value));
}

TEST(Bitmap, SizesAreCheckedBeforeAllocating) {
  TBitmap b;
  b.SetSize(-5, 7);
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Width(), 0);
  b.SetSize(TBitmap::MaxSide, 1);
  EXPECT_EQ(b.Width(), TBitmap::MaxSide);
  EXPECT_THROW(b.SetSize(TBitmap::MaxSide + 1, 1), std::length_error);
  EXPECT_THROW(b.SetSize(1, TBitmap::MaxSide + 1), std::length_error);
  EXPECT_THROW(TBitmap(1 << 30, 1 << 30), std::length_error);
  EXPECT_EQ(b.Width(), TBitmap::MaxSide);  // a refused size leaves the bitmap as it was
}

TEST(Bitmap, NewAndResizedBitmapsAreWhiteAndTheSameSizeKeepsContent) {
  TBitmap b(3, 2);
  EXPECT_EQ(Where(b, White).size(), 6u);
  b.SetPixel(1, 1, 0x123456);
  b.SetSize(3, 2);
  EXPECT_EQ(b.Pixel(1, 1), 0x123456u);
  b.SetSize(2, 3);
  EXPECT_EQ(Where(b, White).size(), 6u);
}

TEST(Bitmap, MovingHandsOverThePixelsAndLeavesAnEmptyBitmap) {
  TBitmap a(5, 4);
  a.SetPixel(4, 3, 0x00112233);
  TBitmap b(std::move(a));
  EXPECT_TRUE(a.Empty());
  EXPECT_EQ(b.Pixel(4, 3), 0x00112233u);
  a = std::move(b);
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(a.Width(), 5);
  EXPECT_EQ(a.Pixel(4, 3), 0x00112233u);
}

TEST(Bitmap, ViewSharesMemoryAndAssignCopiesIn) {
  TBitmap b(47, 33);  // odd sizes: no row padding may creep in
  QImage view = QtView(b);
  EXPECT_EQ(view.format(), QImage::Format_RGB32);
  EXPECT_EQ(view.constBits(), reinterpret_cast<const uchar*>(b.ScanLine(0)));
  b.SetPixel(46, 32, 0x00ABCDEF);
  EXPECT_EQ(view.pixel(46, 32) & 0xFFFFFF, 0xABCDEFu);

  QImage argb(5, 4, QImage::Format_ARGB32);
  argb.fill(QColor(10, 20, 30));
  AssignImage(b, argb);
  EXPECT_EQ(b.Width(), 5);
  EXPECT_EQ(b.Pixel(4, 3) & 0xFFFFFF, 0x0A141Eu);
}

TEST(PixelPool, ReleasedScreenBlocksAreReusedAndPrewarmFillsThePool) {
  TPixelPool::Trim();
  constexpr std::size_t screen = 1920 * 1080;
  TPixelPool::Prewarm(screen, 2);
  EXPECT_EQ(TPixelPool::FreeBlocks(), 2);
  EXPECT_EQ(TPixelPool::FreePixels(), 2 * screen);
  {
    TBitmap b(1920, 1080);
    EXPECT_EQ(TPixelPool::FreeBlocks(), 1);
  }
  EXPECT_EQ(TPixelPool::FreeBlocks(), 2);
  TBitmap again(1920, 1080);
  EXPECT_EQ(TPixelPool::FreeBlocks(), 1);
  EXPECT_EQ(TPixelPool::FreePixels(), screen);
  // A small bitmap does not take a screen block.
  TBitmap small(16, 16);
  EXPECT_EQ(TPixelPool::FreeBlocks(), 1);
  TPixelPool::Trim();
  EXPECT_EQ(TPixelPool::FreeBlocks(), 0);
  EXPECT_EQ(TPixelPool::FreePixels(), 0u);
}

TEST(PixelPool, TrimKeepsTheLargestBlocksAskedFor) {
  TPixelPool::Trim();
  constexpr std::size_t sizes[] = {270'000, 2'700'000, 600'000, 1'300'000};
  for (std::size_t pixels : sizes) TPixelPool::Prewarm(pixels, 1);
  ASSERT_EQ(TPixelPool::FreeBlocks(), 4);
  TPixelPool::Trim(2);
  EXPECT_EQ(TPixelPool::FreeBlocks(), 2);
  EXPECT_EQ(TPixelPool::FreePixels(), 4'000'000u);
  TPixelPool::Trim(5);  // more than it holds: nothing goes
  EXPECT_EQ(TPixelPool::FreePixels(), 4'000'000u);
  TPixelPool::Trim();
  EXPECT_EQ(TPixelPool::FreeBlocks(), 0);
}

// Memory owned elsewhere (the capture's shared segment): a bitmap lives on it as it is, keeps
// its owner alive, and lets it go instead of handing it to the pool.
TEST(PixelPool, BorrowedMemoryStaysWithItsOwnerAndNeverEntersThePool) {
  TPixelPool::Trim();
  constexpr int w = 640, h = 480;
  auto owner = std::make_shared<std::vector<std::uint32_t>>(std::size_t(w) * h, 0x00123456u);
  std::uint32_t* memory = owner->data();
  const std::weak_ptr<std::vector<std::uint32_t>> watch = owner;
  {
    TBitmap b;
    ASSERT_TRUE(b.Adopt(TPixelBlock::Borrow(memory, owner->size(), owner), w, h));
    owner.reset();
    EXPECT_FALSE(watch.expired());
    EXPECT_EQ(b.ScanLine(0), memory);
    EXPECT_EQ(b.Stride(), w);
    EXPECT_EQ(b.Pixel(w - 1, h - 1), 0x00123456u) << "adopting keeps what the memory holds";
    b.SetPixel(3, 2, 0x00ABCDEF);
    EXPECT_EQ(memory[2 * w + 3], 0x00ABCDEFu);

    TBitmap moved(std::move(b));
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(moved.ScanLine(0), memory);
    EXPECT_FALSE(watch.expired());
  }
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(TPixelPool::FreeBlocks(), 0);
}

TEST(PixelPool, GrowingPastBorrowedMemoryMovesToOwnMemoryAndLeavesTheBorrowedAlone) {
  TPixelPool::Trim();
  auto owner = std::make_shared<std::vector<std::uint32_t>>(100 * 100, 0x00010203u);
  const std::weak_ptr<std::vector<std::uint32_t>> watch = owner;
  TBitmap b;
  ASSERT_TRUE(b.Adopt(TPixelBlock::Borrow(owner->data(), owner->size(), owner), 100, 100));
  b.SetSize(50, 40);  // fits: stays
  EXPECT_EQ(b.ScanLine(0), owner->data());
  b.SetSize(101, 100);  // does not fit
  EXPECT_NE(b.ScanLine(0), owner->data());
  EXPECT_EQ(b.Pixel(100, 99), 0x00FFFFFFu);
  EXPECT_EQ((*owner)[50 * 40], 0x00010203u) << "the larger size was filled into the borrowed memory";
  EXPECT_EQ(watch.use_count(), 1);
}

TEST(PixelPool, AdoptRefusesMemoryTooSmallOrSizesPastTheLimitAndChangesNothing) {
  auto owner = std::make_shared<std::vector<std::uint32_t>>(30 * 20);
  auto borrow = [&] { return TPixelBlock::Borrow(owner->data(), owner->size(), owner); };
  EXPECT_FALSE(TPixelBlock::Borrow(owner->data(), owner->size(), nullptr)) << "no owner, no block";

  TBitmap b(7, 5);
  b.SetPixel(6, 4, 0x00445566);
  const std::uint32_t* before = b.ScanLine(0);
  EXPECT_FALSE(b.Adopt(borrow(), 31, 20));  // one pixel row too many
  EXPECT_FALSE(b.Adopt(borrow(), 0, 20));
  EXPECT_FALSE(b.Adopt(TPixelBlock::Borrow(owner->data(), std::size_t(1) << 40, owner), TBitmap::MaxSide + 1, 1));
  EXPECT_EQ(b.ScanLine(0), before);
  EXPECT_EQ(b.Width(), 7);
  EXPECT_EQ(b.Pixel(6, 4), 0x00445566u);
  EXPECT_EQ(owner.use_count(), 1) << "a refused block is let go";

  EXPECT_TRUE(b.Adopt(borrow(), 30, 20));  // exactly the capacity
  EXPECT_EQ(b.ScanLine(0), owner->data());
}
