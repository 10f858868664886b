#pragma once

#include <optional>
#include <vector>

#include "platform/raster/rect.h"

// The geometry of scaled screens, in the framework's own types: a toolkit reports a screen and a
// window in logical pixels at a ratio, the surface works in device pixels. The toolkit's side
// (which screen, its ratio and rectangle) is the widgetset's (qt/qtscreens.h).

// The device rectangle of a screen the toolkit shows as `logical` at `ratio`. The toolkit keeps a
// screen's top-left corner in device pixels and rounds its size to whole logical pixels, so
// scaling that back can be a pixel off (2560 at 1.5 is 1706.67, kept as 1707, back 2561): the
// window system's `monitor` rectangle is taken when it is this screen's, at the same corner and
// of a size that rounds to the same logical one.
TRect DeviceGeometryOf(const TRect& logical, double ratio, const std::optional<TRect>& monitor);

// A widget's size in device pixels. Scaling its logical size back can be a pixel larger than the
// device size it was given (see DeviceGeometryOf): the size given holds for as long as the
// widget keeps the logical size and ratio it was given for, and the logical size scaled back
// serves otherwise.
class TDeviceSize {
 public:
  void Set(TSize device, TSize logical, double ratio);
  TSize Of(TSize logical, double ratio) const;

 private:
  TSize FDevice{-1, -1};  // none given
  TSize FLogical;
  double FRatio = 0;
};

// The logical size that shows `device` pixels at `ratio`.
TSize LogicalSizeOf(TSize device, double ratio);

// The index of the area holding `point`, else of the area nearest to it; -1 when there is none.
int NearestArea(const std::vector<TRect>& areas, TPoint point);
