#include "platform/screens.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// Rounds half away from zero exactly as the toolkit rounds its own sizes, so that a size scaled
// here agrees with the widget's to the pixel.
int Round(double value) { return static_cast<int>(value + std::copysign(0.5, value)); }

}  // namespace

int NearestArea(const std::vector<TRect>& areas, TPoint point) {
  int best = -1;
  std::int64_t bestDistance = std::numeric_limits<std::int64_t>::max();
  for (std::size_t i = 0; i < areas.size(); ++i) {
    const TRect& area = areas[i];
    if (area.IsEmpty()) continue;
    // Distance to the nearest pixel of the area (0 inside); the first area wins a tie.
    const std::int64_t dx = std::max(
        {std::int64_t(area.Left) - point.X, std::int64_t(0), std::int64_t(point.X) - (std::int64_t(area.Right) - 1)});
    const std::int64_t dy = std::max(
        {std::int64_t(area.Top) - point.Y, std::int64_t(0), std::int64_t(point.Y) - (std::int64_t(area.Bottom) - 1)});
    const std::int64_t distance = dx * dx + dy * dy;
    if (distance < bestDistance) {
      best = int(i);
      bestDistance = distance;
    }
  }
  return best;
}

TRect DeviceGeometryOf(const TRect& logical, double ratio, const std::optional<TRect>& monitor) {
  if (ratio == 1.0) return logical;
  const TRect scaled{logical.Left, logical.Top, logical.Left + Round(double(logical.Width()) * ratio),
                     logical.Top + Round(double(logical.Height()) * ratio)};
  if (!monitor || monitor->IsEmpty() || monitor->Left != logical.Left || monitor->Top != logical.Top) return scaled;
  // The toolkit's logical size is the monitor's rounded, so it lies within half a pixel of it.
  const auto near = [ratio](std::int64_t device, std::int64_t logicalSide) {
    return std::abs(double(device) / ratio - double(logicalSide)) <= 0.5 + 1e-9;
  };
  if (!near(monitor->Width(), logical.Width()) || !near(monitor->Height(), logical.Height())) return scaled;
  return *monitor;
}

void TDeviceSize::Set(TSize device, TSize logical, double ratio) {
  FDevice = device;
  FLogical = logical;
  FRatio = ratio;
}

TSize TDeviceSize::Of(TSize logical, double ratio) const {
  if (FDevice.Width >= 0 && FDevice.Height >= 0 && logical == FLogical && ratio == FRatio) return FDevice;
  return TSize{Round(logical.Width * ratio), Round(logical.Height * ratio)};
}

TSize LogicalSizeOf(TSize device, double ratio) {
  return TSize{Round(device.Width / ratio), Round(device.Height / ratio)};
}
