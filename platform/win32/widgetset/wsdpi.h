#pragma once

// Logical and device pixels on Win32. The process is per-monitor aware, so the system speaks
// device pixels everywhere; the framework speaks logical ones, 96 to the inch, as on the other
// widgetset. A monitor's logical rectangle keeps its device corner and divides its size by the
// monitor's ratio (dots per inch / 96), as Qt lays out scaled screens; a point on the desktop
// maps through the monitor it lies on, a size inside a window through the window's ratio.
#include "platform/raster/rect.h"
#include "platform/win32/widgetset/win32api.h"

#include <vector>

// A function of a system DLL looked up by name (loading the DLL if need be); null where the
// system has none: the DPI functions of Windows 8.1 and 10, called where they exist.
template <class F>
F SystemFunction(const wchar_t* module, const char* name) {
  HMODULE handle = GetModuleHandleW(module);
  if (!handle) handle = LoadLibraryW(module);
  return handle ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(handle, name))) : nullptr;
}

// The desktop's monitors.
std::vector<HMONITOR> DisplayMonitors();

// Device pixels per logical pixel: of the system, of a monitor, of the monitor a window is on.
double SystemPixelRatio();
double MonitorPixelRatio(HMONITOR monitor);
double WindowPixelRatio(HWND window);

int DevicePixels(int logical, double ratio);
int LogicalPixels(int device, double ratio);
// A rectangle inside a window: each edge scaled, so that neighbours stay neighbours.
RECT ToDeviceRect(const TRect& logical, double ratio);
TRect ToLogicalRect(const RECT& device, double ratio);

// A monitor's rectangles.
struct TMonitorPixels {
  RECT Device{};
  TRect Logical{};
  double Ratio = 1;
};
TMonitorPixels MonitorPixels(HMONITOR monitor);
// Points on the desktop, through the monitor they lie on (the nearest one).
POINT DevicePointOf(TPoint logical);
TPoint LogicalPointOf(POINT device);
