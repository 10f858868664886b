// The device size of a scaled screen and of the widgets covering it, where the screen is no
// whole number of logical pixels.
#include "platform/screens.h"

#include <gtest/gtest.h>

namespace {

struct TGeometryCase {
  const char* What;
  QRect Logical;
  double Ratio;
  std::optional<QRect> Monitor;
  QRect Expected;
};

TEST(DeviceGeometryTest, TakesTheMonitorsRectangleWhenItIsThisScreensElseScalesBack) {
  const TGeometryCase cases[] = {
      {"2560 x 1440 at 1.5", {0, 0, 1707, 960}, 1.5, QRect(0, 0, 2560, 1440), {0, 0, 2560, 1440}},
      {"1366 x 768 at 1.5, beside another", {2880, 0, 911, 512}, 1.5, QRect(2880, 0, 1366, 768), {2880, 0, 1366, 768}},
      {"1365 x 767 at 2 (rounded up)", {0, 0, 683, 384}, 2.0, QRect(0, 0, 1365, 767), {0, 0, 1365, 767}},
      {"no monitor: scaled back", {0, 0, 1707, 960}, 1.5, std::nullopt, {0, 0, 2561, 1440}},
      {"a monitor at another corner", {0, 0, 1707, 960}, 1.5, QRect(1, 0, 2560, 1440), {0, 0, 2561, 1440}},
      {"a monitor a logical pixel wider", {0, 0, 1707, 960}, 1.5, QRect(0, 0, 2562, 1440), {0, 0, 2561, 1440}},
      {"a monitor a logical pixel taller", {0, 0, 1707, 960}, 1.5, QRect(0, 0, 2560, 1441), {0, 0, 2561, 1440}},
      {"an empty monitor", {0, 0, 1707, 960}, 1.5, QRect(0, 0, 0, 0), {0, 0, 2561, 1440}},
      {"ratio 1 is the screen itself", {10, 20, 1366, 768}, 1.0, QRect(10, 20, 1365, 768), {10, 20, 1366, 768}},
  };
  for (const TGeometryCase& c : cases) EXPECT_EQ(DeviceGeometryOf(c.Logical, c.Ratio, c.Monitor), c.Expected) << c.What;
}

TEST(DeviceGeometryTest, EveryMonitorSizeIsKeptAtTheUsualScales) {
  // The toolkit's logical size for each device size, as it rounds it; the monitor must win for
  // every one, however the rounding fell.
  for (const double ratio : {1.25, 1.5, 1.75, 2.0, 2.5, 3.0})
    for (int device = 600; device < 700; ++device) {
      const QSize logical = QSize(device, device + 1) / ratio;
      const QRect monitor(100, 0, device, device + 1);
      ASSERT_EQ(DeviceGeometryOf(QRect(QPoint(100, 0), logical), ratio, monitor), monitor) << device << " at " << ratio;
    }
}

TEST(DeviceSizeTest, TheGivenSizeHoldsWhileTheLogicalSizeAndRatioDo) {
  TDeviceSize size;
  // Nothing given: the logical size scaled back.
  EXPECT_EQ(size.Of(QSize(911, 512), 1.5), QSize(1367, 768));
  size.Set(QSize(1366, 768), QSize(911, 512), 1.5);
  EXPECT_EQ(size.Of(QSize(911, 512), 1.5), QSize(1366, 768));
  // Resized, or moved to a screen of another ratio: the given size no longer describes it.
  EXPECT_EQ(size.Of(QSize(912, 512), 1.5), QSize(1368, 768));
  EXPECT_EQ(size.Of(QSize(911, 512), 2.0), QSize(1822, 1024));
  EXPECT_EQ(size.Of(QSize(911, 512), 1.5), QSize(1366, 768));
}

}  // namespace
