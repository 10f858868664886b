#include "platform/win32/widgetset/wsdpi.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double LogicalDpi = 96;

// A DPI the system reports as a ratio; 0 for none (older systems and Wine's stubs, which then fall
// back to the screen's one DPI).
double RatioOfDpi(UINT dpi) { return dpi >= 48 && dpi <= 96 * 8 ? dpi / LogicalDpi : 0; }

BOOL CALLBACK ListMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  reinterpret_cast<std::vector<HMONITOR>*>(data)->push_back(monitor);
  return TRUE;
}

}  // namespace

std::vector<HMONITOR> DisplayMonitors() {
  std::vector<HMONITOR> monitors;
  EnumDisplayMonitors(nullptr, nullptr, ListMonitor, reinterpret_cast<LPARAM>(&monitors));
  return monitors;
}

double SystemPixelRatio() {
  using TGetDpiForSystem = UINT(WINAPI*)();
  static const TGetDpiForSystem get = SystemFunction<TGetDpiForSystem>(L"user32.dll", "GetDpiForSystem");
  if (get)
    if (const double ratio = RatioOfDpi(get())) return ratio;
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  const double ratio = RatioOfDpi(UINT(dpi));
  return ratio ? ratio : 1.0;
}

double MonitorPixelRatio(HMONITOR monitor) {
  // MDT_EFFECTIVE_DPI
  using TGetDpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  static const TGetDpiForMonitor get = SystemFunction<TGetDpiForMonitor>(L"shcore.dll", "GetDpiForMonitor");
  UINT x = 0, y = 0;
  if (monitor && get && SUCCEEDED(get(monitor, 0, &x, &y)))
    if (const double ratio = RatioOfDpi(x)) return ratio;
  return SystemPixelRatio();
}

double WindowPixelRatio(HWND window) {
  using TGetDpiForWindow = UINT(WINAPI*)(HWND);
  static const TGetDpiForWindow get = SystemFunction<TGetDpiForWindow>(L"user32.dll", "GetDpiForWindow");
  if (window && get)
    if (const double ratio = RatioOfDpi(get(window))) return ratio;
  return SystemPixelRatio();
}

int DevicePixels(int logical, double ratio) { return int(std::lround(logical * ratio)); }
int LogicalPixels(int device, double ratio) { return int(std::lround(device / ratio)); }

RECT ToDeviceRect(const TRect& r, double ratio) {
  return RECT{DevicePixels(r.Left, ratio), DevicePixels(r.Top, ratio), DevicePixels(r.Right, ratio),
              DevicePixels(r.Bottom, ratio)};
}

TRect ToLogicalRect(const RECT& r, double ratio) {
  return TRect{LogicalPixels(r.left, ratio), LogicalPixels(r.top, ratio), LogicalPixels(r.right, ratio),
               LogicalPixels(r.bottom, ratio)};
}

TMonitorPixels MonitorPixels(HMONITOR monitor) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!monitor || !GetMonitorInfoW(monitor, &info)) return {};
  const RECT d = info.rcMonitor;
  const double ratio = MonitorPixelRatio(monitor);
  return TMonitorPixels{d, TRect{d.left, d.top, d.left + LogicalPixels(d.right - d.left, ratio),
                                 d.top + LogicalPixels(d.bottom - d.top, ratio)},
                        ratio};
}

POINT DevicePointOf(TPoint p) {
  // The monitor whose logical rectangle holds the point, else the nearest one.
  TMonitorPixels best;
  long long bestDistance = std::numeric_limits<long long>::max();
  for (HMONITOR monitor : DisplayMonitors()) {
    const TMonitorPixels m = MonitorPixels(monitor);
    const long long dx = std::max<long long>({m.Logical.Left - p.X, 0, p.X - (m.Logical.Right - 1)});
    const long long dy = std::max<long long>({m.Logical.Top - p.Y, 0, p.Y - (m.Logical.Bottom - 1)});
    if (dx * dx + dy * dy < bestDistance) bestDistance = dx * dx + dy * dy, best = m;
  }
  if (bestDistance == std::numeric_limits<long long>::max()) return POINT{int(p.X), int(p.Y)};
  return POINT{int(best.Device.left + DevicePixels(int(p.X - best.Logical.Left), best.Ratio)),
               int(best.Device.top + DevicePixels(int(p.Y - best.Logical.Top), best.Ratio))};
}

TPoint LogicalPointOf(POINT p) {
  const TMonitorPixels m = MonitorPixels(MonitorFromPoint(p, MONITOR_DEFAULTTONEAREST));
  if (m.Device.right <= m.Device.left) return TPoint{p.x, p.y};
  return TPoint{m.Logical.Left + LogicalPixels(p.x - m.Device.left, m.Ratio),
                m.Logical.Top + LogicalPixels(p.y - m.Device.top, m.Ratio)};
}
