#pragma once

#include <cstdint>
#include <functional>
#include <string>

class TWin32MessageWindow;

// An icon in the notification area whose mouse events come to our message window as
// `callbackMessage` (wParam the icon's id, lParam the mouse message: WM_RBUTTONDOWN 516,
// WM_LBUTTONDBLCLK 515, …). When the shell restarts (Explorer crashed and came back) it
// broadcasts "TaskbarCreated" and every icon must be added again; this one is.
class TWin32TrayIcon {
 public:
  using THandler = std::function<void(std::uintptr_t wParam, std::intptr_t lParam)>;

  // `icon` is an HICON the caller keeps alive while the tray icon exists.
  TWin32TrayIcon(TWin32MessageWindow& window, unsigned id, unsigned callbackMessage, std::uintptr_t icon,
                 const std::wstring& tip, THandler handler);
  ~TWin32TrayIcon();  // removes the icon
  TWin32TrayIcon(const TWin32TrayIcon&) = delete;
  TWin32TrayIcon& operator=(const TWin32TrayIcon&) = delete;

  // Whether the shell took the icon the last time it was added.
  bool Shown() const { return FShown; }
  // Changes the tip (at most 127 characters are kept).
  bool SetTip(const std::wstring& tip);

 private:
  bool Add();

  TWin32MessageWindow& FWindow;
  unsigned FId;
  unsigned FCallbackMessage;
  unsigned FTaskbarCreated;
  std::uintptr_t FIcon;
  std::wstring FTip;
  bool FShown = false;
};

// An HICON made from `width` x `height` pixels 0xAARRGGBB, rows top-down; 0 on failure.
// Free it with DestroyIconHandle.
std::uintptr_t CreateIconFromPixels(const std::uint32_t* pixels, int width, int height);
void DestroyIconHandle(std::uintptr_t icon);
