#include "platform/x11/inputshape.h"

#include <xcb/shape.h>

#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/x11/xcbreply.h"

namespace {

constexpr int Max16 = std::numeric_limits<std::int16_t>::max();
std::int16_t Corner16(int v) { return static_cast<std::int16_t>(std::clamp(v, -Max16, Max16)); }
std::uint16_t Size16(int v) { return static_cast<std::uint16_t>(std::clamp(v, 0, Max16)); }

}  // namespace

TX11InputShape::TX11InputShape(TX11Connection x11) : FX11(x11) {
  if (!FX11) return;
  const xcb_query_extension_reply_t* shape = xcb_get_extension_data(FX11.Connection, &xcb_shape_id);
  if (!shape || !shape->present) return;
  const auto version =
      XcbReply(xcb_shape_query_version_reply, FX11.Connection, xcb_shape_query_version(FX11.Connection));
  // Input regions came with SHAPE 1.1.
  FAvailable = version && (version->major_version > 1 || (version->major_version == 1 && version->minor_version >= 1));
}

bool TX11InputShape::SetHole(xcb_window_t window, int x, int y, int width, int height) {
  if (!FAvailable || window == 0) return false;
  if (width <= 0 || height <= 0) {
    // No region at all: the input region is the window's whole shape again.
    xcb_shape_mask(FX11.Connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, window, 0, 0, XCB_NONE);
    xcb_flush(FX11.Connection);
    return true;
  }
  // Protocol rectangles have 16-bit corners and sizes; the server clips the input region to
  // the window, so the largest rectangle stands for all of it.
  const xcb_rectangle_t all{0, 0, std::numeric_limits<std::uint16_t>::max(), std::numeric_limits<std::uint16_t>::max()};
  const xcb_rectangle_t hole{Corner16(x), Corner16(y), Size16(width), Size16(height)};
  xcb_shape_rectangles(FX11.Connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED, window, 0, 0,
                       1, &all);
  xcb_shape_rectangles(FX11.Connection, XCB_SHAPE_SO_SUBTRACT, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED, window,
                       0, 0, 1, &hole);
  xcb_flush(FX11.Connection);
  return true;
}
