#include "platform/x11/firstframe.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/raster/bitmap.h"
#include "platform/x11/capture.h"
#include "platform/x11/xcbreply.h"

TX11FirstFrame::~TX11FirstFrame() {
  Release();
  if (FGc && FX11) xcb_free_gc(FX11.Connection, FGc);
}

void TX11FirstFrame::Release() {
  if (!FPixmap || !FX11) return;
  xcb_free_pixmap(FX11.Connection, FPixmap);
  xcb_flush(FX11.Connection);
  FPixmap = 0;
  FWidth = FHeight = 0;
}

bool TX11FirstFrame::EnsurePixmap(int width, int height) {
  if (!FX11 || width <= 0 || height <= 0 || width > UINT16_MAX || height > UINT16_MAX) return false;
  if (FPixmap && FWidth == width && FHeight == height) return true;
  Release();
  xcb_connection_t* c = FX11.Connection;
  const xcb_pixmap_t pixmap = xcb_generate_id(c);
  // Checked: a screen-sized pixmap is the one request here the server may refuse for memory.
  if (XcbCheck(c, xcb_create_pixmap_checked(c, FX11.Screen->root_depth, pixmap, FX11.Root(), std::uint16_t(width),
                                            std::uint16_t(height))) != 0)
    return false;
  FPixmap = pixmap;
  FWidth = width;
  FHeight = height;
  if (!FGc) {
    FGc = xcb_generate_id(c);
    const std::uint32_t noExposures = 0;
    xcb_create_gc(c, FGc, FPixmap, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
  }
  return true;
}

void TX11FirstFrame::Prepare(xcb_window_t window, int width, int height) {
  if (!FX11) return;
  if (window) Fits(window, width, height);
  // Asks the server for its request limit the first time, a round trip the preset then spares.
  xcb_get_maximum_request_length(FX11.Connection);
  if (FPixmap && FWidth == width && FHeight == height) return;
  if (!EnsurePixmap(width, height)) return;
  // Writing every pixel once makes the server fault its pages in now, while idle.
  const xcb_rectangle_t all{0, 0, std::uint16_t(width), std::uint16_t(height)};
  xcb_poly_fill_rectangle(FX11.Connection, FPixmap, FGc, 1, &all);
  xcb_flush(FX11.Connection);
}

bool TX11FirstFrame::Fits(xcb_window_t window, int width, int height) {
  if (window == FFitting && width == FFittingWidth && height == FFittingHeight) return true;
  FFitting = 0;
  auto geometry = XcbReply(xcb_get_geometry_reply, FX11.Connection, xcb_get_geometry(FX11.Connection, window));
  if (!geometry || geometry->depth != FX11.Screen->root_depth || geometry->width != width || geometry->height != height)
    return false;
  FFitting = window;
  FFittingWidth = width;
  FFittingHeight = height;
  return true;
}

bool TX11FirstFrame::Preset(xcb_window_t window, const TBitmap& picture, const TBitmap& overlay, int x, int y) {
  if (!FX11 || window == 0 || picture.Empty()) return false;
  const xcb_shm_seg_t segment = FCapture.SegmentOf(picture);
  if (!segment || !Fits(window, picture.Width(), picture.Height())) return false;
  if (!EnsurePixmap(picture.Width(), picture.Height())) return false;
  xcb_connection_t* c = FX11.Connection;
  // The overlay first, and the picture around it: the overlay's bytes go down the socket while
  // the server is idle, instead of waiting for it to copy a screenful.
  const xcb_rectangle_t bar = PutOverlay(overlay, x, y);
  const int w = picture.Width();
  const int h = picture.Height();
  const int barRight = bar.x + bar.width;
  const int barBottom = bar.y + bar.height;
  const xcb_rectangle_t around[] = {
      {0, 0, std::uint16_t(w), std::uint16_t(bar.y)},
      {0, bar.y, std::uint16_t(bar.x), bar.height},
      {std::int16_t(barRight), bar.y, std::uint16_t(w - barRight), bar.height},
      {0, std::int16_t(barBottom), std::uint16_t(w), std::uint16_t(h - barBottom)},
  };
  for (const xcb_rectangle_t& r : around) {
    if (r.width == 0 || r.height == 0) continue;
    xcb_shm_put_image(c, FPixmap, FGc, std::uint16_t(w), std::uint16_t(h), std::uint16_t(r.x), std::uint16_t(r.y),
                      r.width, r.height, r.x, r.y, FX11.Screen->root_depth, XCB_IMAGE_FORMAT_Z_PIXMAP,
                      /*send_event=*/0, segment, 0);
  }
  xcb_change_window_attributes(c, window, XCB_CW_BACK_PIXMAP, &FPixmap);
  xcb_flush(c);
  return true;
}

xcb_rectangle_t TX11FirstFrame::PutOverlay(const TBitmap& overlay, int x, int y) {
  // Only the part inside the pixmap: a put reaching outside it would be an error.
  const int left = std::max(x, 0);
  const int top = std::max(y, 0);
  const int right = std::min(x + overlay.Width(), FWidth);
  const int bottom = std::min(y + overlay.Height(), FHeight);
  if (overlay.Empty() || left >= right || top >= bottom) return {0, 0, 0, 0};
  const int width = right - left;
  const std::size_t rowBytes = std::size_t(width) * sizeof(std::uint32_t);
  // In bands that fit one request (the header is 24 bytes; lengths count 4-byte units).
  const std::size_t maxBytes = std::size_t(xcb_get_maximum_request_length(FX11.Connection)) * 4 - 24;
  const int bandRows = int(std::clamp<std::size_t>(maxBytes / rowBytes, 1, std::size_t(bottom - top)));
  FBand.resize(std::size_t(width) * bandRows);
  for (int row = top; row < bottom; row += bandRows) {
    const int rows = std::min(bandRows, bottom - row);
    for (int i = 0; i < rows; ++i)
      std::memcpy(FBand.data() + std::size_t(i) * width, overlay.ScanLine(row - y + i) + (left - x), rowBytes);
    xcb_put_image(FX11.Connection, XCB_IMAGE_FORMAT_Z_PIXMAP, FPixmap, FGc, std::uint16_t(width), std::uint16_t(rows),
                  std::int16_t(left), std::int16_t(row), 0, FX11.Screen->root_depth,
                  std::uint32_t(rowBytes * std::size_t(rows)), reinterpret_cast<const std::uint8_t*>(FBand.data()));
  }
  return {std::int16_t(left), std::int16_t(top), std::uint16_t(width), std::uint16_t(bottom - top)};
}

void TX11FirstFrame::Forget(xcb_window_t window) {
  if (!FX11 || window == 0) return;
  const std::uint32_t none = XCB_BACK_PIXMAP_NONE;
  xcb_change_window_attributes(FX11.Connection, window, XCB_CW_BACK_PIXMAP, &none);
  xcb_flush(FX11.Connection);
}
