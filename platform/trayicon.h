#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/drawing.h"
#include "platform/raster/rect.h"
#include "platform/strings.h"

// The mouse messages a tray icon reports, numbered as the platform's own icon sends them
// (WM_LBUTTONDBLCLK, WM_RBUTTONDOWN).
inline constexpr std::intptr_t TrayDoubleClick = 515;
inline constexpr std::intptr_t TrayRightPress = 516;

// The widgetset's tray icon, for platforms whose desktop services have none of their own.
class TWSTrayIcon {
 public:
  virtual ~TWSTrayIcon() = default;
  virtual void SetHint(const String& hint) = 0;
  // Where a tray host shows the icon, logical desktop pixels; empty while none does.
  virtual TRect BoundsRect() const = 0;
};

// The program's icon in the notification area, shown from its making to its end: the desktop
// services' own where the platform has one (Windows), the widgetset's otherwise. The mouse
// messages (a right press, a double click) reach `mouse`.
class TTrayIcon {
 public:
  using TMouseHandler = std::function<void(std::intptr_t mouseMessage)>;

  TTrayIcon(const TPicture& picture, const String& hint, TMouseHandler mouse);
  ~TTrayIcon();
  TTrayIcon(const TTrayIcon&) = delete;
  TTrayIcon& operator=(const TTrayIcon&) = delete;

  void SetHint(const String& hint);
  // Where the icon lies on the desktop (logical pixels); empty while no tray shows it, and
  // where the platform's own icon serves.
  TRect BoundsRect() const;

 private:
  std::unique_ptr<TWSTrayIcon> FHandle;  // none where the desktop services show the icon
};
