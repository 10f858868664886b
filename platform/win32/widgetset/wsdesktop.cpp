#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/application.h"
#include "platform/desktop.h"
#include "platform/drawing.h"
#include "platform/raster/bitmap.h"
#include "platform/win32/capture.h"
#include "platform/win32/hotkeys.h"
#include "platform/win32/messagewindow.h"
#include "platform/win32/taskbar.h"
#include "platform/win32/tray.h"
#include "platform/win32/widgetset/win32api.h"

namespace {

// The notification-area icon's callback message.
constexpr unsigned TrayCallback = 1136;

// The Windows desktop services (platform/win32) behind the framework's interface.
class TWin32DesktopServices final : public TDesktopServices {
 public:
  TWin32DesktopServices() : FHotKeys(FWindow) {}
  ~TWin32DesktopServices() override {
    FTray.reset();
    if (FIcon) DestroyIconHandle(FIcon);
  }

  bool RegisterHotKey(int id, unsigned modifiers, unsigned virtualKey, THotKeyHandler handler) override {
    return FHotKeys.Register(id, modifiers, virtualKey, [handler](int hotKey, unsigned mods, unsigned key) {
      RunHandler([&] { handler(hotKey, mods, key); });
    });
  }
  void UnregisterHotKeys() override { FHotKeys.UnregisterAll(); }

  void PrepareCapture(int width, int height) override {
    if (FCapture && FCapture->Width() == width && FCapture->Height() == height) return;
    FCapture = TWin32DibSurface::Create(width, height);
  }

  bool CaptureScreen(TBitmap& target, int left, int top, int width, int height) override {
    width = std::min(width, target.Width());
    height = std::min(height, target.Height());
    if (width <= 0 || height <= 0) return false;
    if (!FCapture || FCapture->Width() < width || FCapture->Height() < height) PrepareCapture(width, height);
    if (!FCapture || !CaptureDesktop(*FCapture, width, height, left, top)) return false;
    for (int y = 0; y < height; ++y)
      std::memcpy(target.ScanLine(y), FCapture->Pixels() + std::ptrdiff_t{y} * FCapture->Width(),
                  std::size_t(width) * 4);
    return true;
  }
  void ReleaseCapture() override { FCapture.reset(); }

  bool ShowTrayIcon(const TPicture& picture, const String& tip, TTrayHandler handler) override {
    FTray.reset();
    if (FIcon) DestroyIconHandle(FIcon);
    // Icons take their colours straight, not premultiplied by the alpha as the picture has them.
    std::vector<std::uint32_t> pixels(std::size_t(picture.Width()) * std::size_t(std::max(picture.Height(), 0)));
    for (int y = 0; y < picture.Height(); ++y)
      for (int x = 0; x < picture.Width(); ++x) {
        const std::uint32_t p = picture.Pixel(x, y), a = p >> 24;
        const auto straight = [a](std::uint32_t c) { return a == 0 ? 0u : std::min(255u, (c * 255 + a / 2) / a); };
        pixels[std::size_t(y) * std::size_t(picture.Width()) + std::size_t(x)] =
            a << 24 | straight((p >> 16) & 0xFF) << 16 | straight((p >> 8) & 0xFF) << 8 | straight(p & 0xFF);
      }
    FIcon = CreateIconFromPixels(pixels.data(), picture.Width(), picture.Height());
    FTray = std::make_unique<TWin32TrayIcon>(
        FWindow, 1, TrayCallback, FIcon, WideOf(tip),
        [handler](std::uintptr_t, std::intptr_t mouse) { RunHandler([&] { handler(mouse); }); });
    // Shown or not yet (no shell), the icon is ours: it is added again when the shell starts.
    return true;
  }
  void SetTrayTip(const String& tip) override {
    if (FTray) FTray->SetTip(WideOf(tip));
  }

  void HideFromTaskbar() override {
    if (!FHider) FHider = std::make_unique<TWin32TaskbarHider>();
  }

  void ActivateWindow(std::uintptr_t window) override { BringWindowForward(window); }

 private:
  TWin32MessageWindow FWindow;
  TWin32HotKeys FHotKeys;
  std::unique_ptr<TWin32DibSurface> FCapture;
  std::unique_ptr<TWin32TaskbarHider> FHider;
  std::unique_ptr<TWin32TrayIcon> FTray;
  std::uintptr_t FIcon = 0;
};

}  // namespace

std::unique_ptr<TDesktopServices> CreateDesktopServices() { return std::make_unique<TWin32DesktopServices>(); }
