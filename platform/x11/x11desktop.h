#pragma once

#include <memory>

#include "platform/desktop.h"

// The desktop services on X11, through Qt's own xcb connection. Null outside the xcb platform.
// Capture uses MIT-SHM unless `useShm` is false or the server lacks it; the environment
// variable QUILMAR_NO_SHM=1 turns it off for the first overload. QUILMAR_TEST_SHM_LOST_AFTER=N
// makes the server forget the shared segment after N captures through it, to test the fallback.
std::unique_ptr<TDesktopServices> CreateX11DesktopServices();
std::unique_ptr<TDesktopServices> CreateX11DesktopServices(bool useShm);
