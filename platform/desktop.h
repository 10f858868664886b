#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/raster/pixelpool.h"
#include "platform/strings.h"

class TBitmap;
class TPicture;

// Desktop services the program needs from the window system, one implementation per platform
// and a plain-Qt one where no native service exists (the offscreen platform of the tests).
class TDesktopServices {
 public:
  // Receives each hot-key press shaped like WM_HOTKEY: the identifier, the modifier bits
  // (MOD_ALT 1, MOD_CONTROL 2, MOD_SHIFT 4, MOD_WIN 8) held at the press, Caps Lock and Num
  // Lock left out, and the virtual key (VK_F1 is 0x70).
  using THotKeyHandler = std::function<void(int id, unsigned modifiers, unsigned virtualKey)>;

  virtual ~TDesktopServices() = default;

  // Registers a system-wide hot key delivered whichever window has the focus. Returns false
  // when it cannot be had (another program holds it, or the platform has none).
  virtual bool RegisterHotKey(int id, unsigned modifiers, unsigned virtualKey, THotKeyHandler handler) = 0;
  virtual void UnregisterHotKeys() = 0;

  // Readies everything a capture of width x height needs (shared memory, buffers), so that the
  // first capture is as quick as the later ones.
  virtual void PrepareCapture(int width, int height) = 0;
  // Copies the desktop's pixels (left, top, width, height), in device pixels of the whole desktop
  // (one screen of several lies at an offset), to (0, 0) of target, clipped to target and to the
  // desktop. Returns false when the desktop could not be read; target is then left as it was.
  virtual bool CaptureScreen(TBitmap& target, int left, int top, int width, int height) = 0;
  // The same for the screen at the desktop's origin.
  bool CaptureScreen(TBitmap& target, int width, int height) { return CaptureScreen(target, 0, 0, width, height); }
  // Memory for a width x height capture target that the window system writes into directly,
  // readied as by PrepareCapture. A bitmap moved onto it (TBitmap::Adopt) is captured without
  // a copy, and the capture needs no buffer of its own. Empty where there is no such memory.
  // The block must be let go before the services are destroyed.
  virtual TPixelBlock CaptureMemory(int width, int height);
  // Lets go of what PrepareCapture readied (shared memory) once no bitmap lives on it; the next
  // capture readies it again. For when memory is short: a screen whose layers could not be
  // made has no use for a screen-sized capture buffer either.
  virtual void ReleaseCapture() {}

  // Readies what PresetFirstFrame needs for the native window `window` (0: none made yet) of
  // width x height device pixels, so the first preset costs what later ones do.
  virtual void PrepareFirstFrame(std::uintptr_t window, int width, int height) {
    (void)window, (void)width, (void)height;
  }
  // Gives the created, still hidden native window `window` the pixels the window system shows
  // the moment it maps, before the window's own first paint has reached the screen: `picture`,
  // of the window's size, with `overlay` on top at (x, y). The first paint must show the same.
  // False, with nothing changed, where that cannot be done: the window then shows nothing of
  // its own until its first paint.
  virtual bool PresetFirstFrame(std::uintptr_t window, const TBitmap& picture, const TBitmap& overlay, int x, int y) {
    (void)window, (void)picture, (void)overlay, (void)x, (void)y;
    return false;
  }
  // Once the window has painted: its later exposures wait for its own paint again instead of
  // showing the preset frame, which no longer holds what it shows.
  virtual void ForgetFirstFrame(std::uintptr_t window) { (void)window; }

  // A notification-area icon of the platform's own, whose mouse messages (WM_RBUTTONDOWN,
  // WM_LBUTTONDBLCLK, …) reach `handler`. False where there is none: Qt's tray icon serves then.
  using TTrayHandler = std::function<void(std::intptr_t mouseMessage)>;
  virtual bool ShowTrayIcon(const TPicture& picture, const String& tip, TTrayHandler handler) {
    (void)picture, (void)tip, (void)handler;
    return false;
  }
  virtual void SetTrayTip(const String& tip) { (void)tip; }

  // The pointer's input inside (x, y, width, height), device pixels of the native window
  // `window`, goes through the window to whatever lies beneath it, while the window still shows
  // its pixels there; an empty rectangle gives the window all of its input back. Nothing where
  // the platform cannot.
  virtual void PassInputThrough(std::uintptr_t window, int x, int y, int width, int height) {
    (void)window, (void)x, (void)y, (void)width, (void)height;
  }

  // From now on no window of the application gets a task-bar button, on every showing.
  virtual void HideFromTaskbar() = 0;

  // Asks the window manager to bring the native window `window` to the foreground the way a
  // pager does: a manager that refuses an application's own request (focus-stealing
  // prevention) grants this one. Nothing where there is no manager to ask.
  virtual void ActivateWindow(std::uintptr_t window) { (void)window; }
};

// The services of the platform the application runs on; call after the application object
// exists.
std::unique_ptr<TDesktopServices> CreateDesktopServices();

// Hot-key constants shared by every platform.
inline constexpr unsigned MOD_ALT_KEY = 1;
inline constexpr unsigned MOD_CONTROL_KEY = 2;
inline constexpr unsigned MOD_SHIFT_KEY = 4;
inline constexpr unsigned MOD_WIN_KEY = 8;
inline constexpr unsigned VK_F1_KEY = 0x70;
