// The device size of a scaled screen and of the widgets covering it, where the screen is no
// whole number of logical pixels.
#include "platform/screens.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

void PrintTo(const TRect& r, std::ostream* out) {
  *out << "(" << r.Left << ", " << r.Top << ") - (" << r.Right << ", " << r.Bottom << ")";
}
void PrintTo(const TSize& s, std::ostream* out) { *out << s.Width << " x " << s.Height; }

namespace {

// x, y, width, height, as the toolkit gives a screen's rectangle.
constexpr TRect Area(int x, int y, int width, int height) { return TRect{x, y, x + width, y + height}; }

struct TGeometryCase {
  const char* What;
  TRect Logical;
  double Ratio;
  std::optional<TRect> Monitor;
  TRect Expected;
};

TEST(DeviceGeometryTest, TakesTheMonitorsRectangleWhenItIsThisScreensElseScalesBack) {
  const TGeometryCase cases[] = {
      {"2560 x 1440 at 1.5", Area(0, 0, 1707, 960), 1.5, Area(0, 0, 2560, 1440), Area(0, 0, 2560, 1440)},
      {"1366 x 768 at 1.5, beside another", Area(2880, 0, 911, 512), 1.5, Area(2880, 0, 1366, 768),
       Area(2880, 0, 1366, 768)},
      {"1365 x 767 at 2 (rounded up)", Area(0, 0, 683, 384), 2.0, Area(0, 0, 1365, 767), Area(0, 0, 1365, 767)},
      {"no monitor: scaled back", Area(0, 0, 1707, 960), 1.5, std::nullopt, Area(0, 0, 2561, 1440)},
      {"a monitor at another corner", Area(0, 0, 1707, 960), 1.5, Area(1, 0, 2560, 1440), Area(0, 0, 2561, 1440)},
      {"a monitor a logical pixel wider", Area(0, 0, 1707, 960), 1.5, Area(0, 0, 2562, 1440), Area(0, 0, 2561, 1440)},
      {"a monitor a logical pixel taller", Area(0, 0, 1707, 960), 1.5, Area(0, 0, 2560, 1441), Area(0, 0, 2561, 1440)},
      {"an empty monitor", Area(0, 0, 1707, 960), 1.5, Area(0, 0, 0, 0), Area(0, 0, 2561, 1440)},
      {"ratio 1 is the screen itself", Area(10, 20, 1366, 768), 1.0, Area(10, 20, 1365, 768), Area(10, 20, 1366, 768)},
  };
  for (const TGeometryCase& c : cases) EXPECT_EQ(DeviceGeometryOf(c.Logical, c.Ratio, c.Monitor), c.Expected) << c.What;
}

TEST(DeviceGeometryTest, EveryMonitorSizeIsKeptAtTheUsualScales) {
  // The toolkit's logical size for each device size, as it rounds it; the monitor must win for
  // every one, however the rounding fell.
  for (const double ratio : {1.25, 1.5, 1.75, 2.0, 2.5, 3.0})
    for (int device = 600; device < 700; ++device) {
      const TSize logical = LogicalSizeOf(TSize{device, device + 1}, ratio);
      const TRect monitor = Area(100, 0, device, device + 1);
      ASSERT_EQ(DeviceGeometryOf(Area(100, 0, logical.Width, logical.Height), ratio, monitor), monitor)
          << device << " at " << ratio;
    }
}

TEST(NearestAreaTest, TheAreaHoldingThePointElseTheNearestTheFirstOnATie) {
  // Two screens side by side, 1366 and 1920 wide, the second lower; an empty one between.
  const std::vector<TRect> areas = {Area(0, 0, 1366, 768), Area(1366, 0, 0, 0), Area(1366, 100, 1920, 1080)};
  const struct {
    TPoint Point;
    int Expected;
  } cases[] = {
      {{1365, 767}, 0},  // the last pixel of the first
      {{1366, 100}, 2},  // the first of the second
      {{1366, 50}, 0},   // past the first's right edge, above the second: one pixel from the first
      {{1367, 50}, 0},   // two from the first, fifty from the second
      {{1400, 98}, 2},   // 35 from the first, two from the second
      {{1366, 767}, 2},  // inside the second, next to the first's corner
      {{-5, -5}, 0},     // beyond every screen: the one nearest
      {{4000, 2000}, 2},
  };
  for (const auto& c : cases) EXPECT_EQ(NearestArea(areas, c.Point), c.Expected) << c.Point.X << ", " << c.Point.Y;
  // Six pixels from the last column of one and from the first of the other: the first.
  EXPECT_EQ(NearestArea({Area(0, 0, 10, 10), Area(21, 0, 10, 10)}, TPoint{15, 5}), 0);
  // The first's last column is 9: six from it, five from the other.
  EXPECT_EQ(NearestArea({Area(0, 0, 10, 10), Area(20, 0, 10, 10)}, TPoint{15, 5}), 1);
  EXPECT_EQ(NearestArea({}, TPoint{0, 0}), -1);
  EXPECT_EQ(NearestArea({Area(0, 0, 0, 10)}, TPoint{0, 0}), -1);
}

TEST(DeviceSizeTest, TheGivenSizeHoldsWhileTheLogicalSizeAndRatioDo) {
  TDeviceSize size;
  // Nothing given: the logical size scaled back.
  EXPECT_EQ(size.Of(TSize{911, 512}, 1.5), (TSize{1367, 768}));
  size.Set(TSize{1366, 768}, TSize{911, 512}, 1.5);
  EXPECT_EQ(size.Of(TSize{911, 512}, 1.5), (TSize{1366, 768}));
  // Resized, or moved to a screen of another ratio: the given size no longer describes it.
  EXPECT_EQ(size.Of(TSize{912, 512}, 1.5), (TSize{1368, 768}));
  EXPECT_EQ(size.Of(TSize{911, 512}, 2.0), (TSize{1822, 1024}));
  EXPECT_EQ(size.Of(TSize{911, 512}, 1.5), (TSize{1366, 768}));
}

}  // namespace
