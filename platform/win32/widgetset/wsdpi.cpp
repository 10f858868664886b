#include "platform/win32/widgetset/wsdpi.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double LogicalDpi = 96;

// The DPI functions of Windows 10 (user32) and 8.1 (shcore), looked up by name: older systems
// and Wine's stubs fall back to the screen's one DPI.
template <class F>
F SystemFunction(const wchar_t* module, const char* name) {
  HMODULE handle = GetModuleHandleW(module);
  if (!handle) handle = LoadLibraryW(module);
  return handle ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(handle, name))) : nullptr;
}

double RatioOfDpi(UINT dpi) { return dpi >= 48 && dpi <= 96 * 8 ? dpi / LogicalDpi : 0; }

BOOL CALLBACK ListMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  reinterpret_cast<std::vector<HMONITOR>*>(data)->push_back(monitor);
  return TRUE;
}

}  // namespace

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
  std::vector<HMONITOR> monitors;
  EnumDisplayMonitors(nullptr, nullptr, ListMonitor, reinterpret_cast<LPARAM>(&monitors));
  // The monitor whose logical rectangle holds the point, else the nearest one.
  TMonitorPixels best;
  long long bestDistance = std::numeric_limits<long long>::max();
  for (HMONITOR monitor : monitors) {
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
