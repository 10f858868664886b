#pragma once

#include <xcb/xcb.h>

#include "platform/x11/x11connection.h"

// The part of a window that takes the pointer's input, through the SHAPE extension's input
// region (version 1.1). What lies outside it is as if the window were not there for the
// pointer: presses and moves go to the window beneath, while the window still shows its
// pixels there.
class TX11InputShape {
 public:
  explicit TX11InputShape(TX11Connection x11);

  // Takes the rectangle (x, y, width, height), in the window's pixels, out of `window`'s input
  // region; an empty one gives the window its whole area back. False where the server has no
  // input shapes: the window then keeps taking every input.
  bool SetHole(xcb_window_t window, int x, int y, int width, int height);

 private:
  TX11Connection FX11;
  bool FAvailable = false;
};
