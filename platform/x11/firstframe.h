#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <vector>

#include "platform/x11/x11connection.h"

class TBitmap;
class TX11Capture;

// A window's first frame held by the server: a pixmap made the window's background before it
// maps, so the server fills the window from it as it maps, with no round trip to our paint.
// Windows of Qt's have no background (the screen's old pixels stay until the first paint), and
// a full-screen first paint reaches the screen several milliseconds after the map.
//
// The picture goes in through the capture's shared segment, a copy inside the server; a picture
// elsewhere (no MIT-SHM) would cross the socket and cost more than the paint it saves, so none
// is made then. The overlay (the tool bar) is small and is sent as it is.
class TX11FirstFrame {
 public:
  TX11FirstFrame(TX11Connection x11, const TX11Capture& capture) : FX11(x11), FCapture(capture) {}
  ~TX11FirstFrame();
  TX11FirstFrame(const TX11FirstFrame&) = delete;
  TX11FirstFrame& operator=(const TX11FirstFrame&) = delete;

  // Makes the pixmap at width x height and has the server touch its memory, so the first
  // preset does not pay for fresh pages; checks `window` (0: none) ahead too.
  void Prepare(xcb_window_t window, int width, int height);
  bool Preset(xcb_window_t window, const TBitmap& picture, const TBitmap& overlay, int x, int y);
  void Forget(xcb_window_t window);
  // Lets the server's screen-sized pixmap go; Prepare or Preset make it again.
  void Release();

 private:
  bool EnsurePixmap(int width, int height);
  // Whether `window` can take a background of the pixmap's kind at width x height: the depth
  // must be the same (or the server refuses it) and so the size (a smaller one is tiled). Asked
  // once per window and size, ahead of the showing where possible.
  bool Fits(xcb_window_t window, int width, int height);
  // Puts `overlay` at (x, y) onto the pixmap, clipped to it; returns what it covers.
  xcb_rectangle_t PutOverlay(const TBitmap& overlay, int x, int y);

  TX11Connection FX11;
  const TX11Capture& FCapture;
  xcb_pixmap_t FPixmap = 0;
  xcb_gcontext_t FGc = 0;
  int FWidth = 0;
  int FHeight = 0;
  std::vector<std::uint32_t> FBand;  // the overlay's rows, packed for a request
  xcb_window_t FFitting = 0;         // the window last found fitting, at the size below
  int FFittingWidth = 0;
  int FFittingHeight = 0;
};
