#include "platform/win32qt/win32desktop.h"

#include <QImage>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/raster/bitmap.h"
#include "platform/win32/capture.h"
#include "platform/win32/hotkeys.h"
#include "platform/win32/messagewindow.h"
#include "platform/win32/taskbar.h"
#include "platform/win32/tray.h"

namespace {

// WM_HOTKEY comes to a hidden window of our own, through its window procedure: Qt's event loop
// and every modal loop inside it dispatch all of the thread's messages, so the key arrives
// during dialogs and menus too, without a native event filter.
class TWin32DesktopServices final : public TDesktopServices {
 public:
  TWin32DesktopServices() : FHotKeys(FWindow) {}

  bool RegisterHotKey(int id, unsigned modifiers, unsigned virtualKey, THotKeyHandler handler) override {
    return FHotKeys.Register(id, modifiers, virtualKey, std::move(handler));
  }
  void UnregisterHotKeys() override { FHotKeys.UnregisterAll(); }

  void PrepareCapture(int width, int height) override { EnsureShared(width, height); }

  // The DIB section itself, so the desktop is block-copied straight into the background.
  TPixelBlock CaptureMemory(int width, int height) override {
    if (!EnsureShared(width, height) || FShared.use_count() > 1) return {};
    return TPixelBlock::Borrow(FShared->Pixels(), std::size_t(width) * std::size_t(height), FShared);
  }

  bool CaptureScreen(TBitmap& target, int left, int top, int width, int height) override {
    width = std::min(width, target.Width());
    height = std::min(height, target.Height());
    if (width <= 0 || height <= 0) return true;
    if (FShared && target.ScanLine(0) == FShared->Pixels() && target.Stride() == FShared->Width())
      return CaptureDesktop(*FShared, width, height, left, top);
    // Any other bitmap goes through a section no bitmap lives on, so the background is never
    // overwritten by a capture meant for something else.
    TWin32DibSurface* through = nullptr;
    if (FShared && FShared.use_count() == 1 && FShared->Width() >= width && FShared->Height() >= height) {
      through = FShared.get();
    } else {
      if (!FScratch || FScratch->Width() < width || FScratch->Height() < height)
        FScratch = TWin32DibSurface::Create(width, height);
      through = FScratch.get();
    }
    if (!through || !CaptureDesktop(*through, width, height, left, top)) return false;
    for (int y = 0; y < height; ++y)
      std::memcpy(target.ScanLine(y), through->Pixels() + std::size_t(y) * through->Width(), std::size_t(width) * 4);
    return true;
  }

  void ReleaseCapture() override {
    FShared.reset();
    FScratch.reset();
  }

  // The icon's mouse messages come to the hidden window as the callback message 1136, its
  // mouse message in lParam, as TForm1::WMTrayIcon expects them.
  bool ShowTrayIcon(const QImage& picture, const QString& tip, TTrayHandler handler) override {
    FTray.reset();
    FTrayIcon.reset();
    const QImage pixels = picture.convertToFormat(QImage::Format_ARGB32);
    if (pixels.isNull()) return false;
    std::vector<std::uint32_t> rows;
    rows.reserve(std::size_t(pixels.width()) * std::size_t(pixels.height()));
    for (int y = 0; y < pixels.height(); ++y) {
      const auto* line = reinterpret_cast<const std::uint32_t*>(pixels.constScanLine(y));
      rows.insert(rows.end(), line, line + pixels.width());
    }
    const std::uintptr_t icon = CreateIconFromPixels(rows.data(), pixels.width(), pixels.height());
    if (!icon) return false;
    FTrayIcon.reset(new std::uintptr_t(icon));
    FTray = std::make_unique<TWin32TrayIcon>(FWindow, TrayIconId, TrayCallback, icon, tip.toStdWString(),
                                             [handler = std::move(handler)](std::uintptr_t, std::intptr_t mouse) {
                                               if (handler) handler(mouse);
                                             });
    return true;
  }
  void SetTrayTip(const QString& tip) override {
    if (FTray) FTray->SetTip(tip.toStdWString());
  }

  void HideFromTaskbar() override {
    if (!FTaskbar) FTaskbar = std::make_unique<TWin32TaskbarHider>();
  }

  void ActivateWindow(std::uintptr_t window) override { BringWindowForward(window); }

 private:
  bool EnsureShared(int width, int height) {
    if (FShared && FShared->Width() == width && FShared->Height() == height) return true;
    // A bitmap still lives on the old section; it keeps it until it lets go.
    if (FShared && FShared.use_count() > 1) return false;
    FShared = TWin32DibSurface::Create(width, height);
    return FShared != nullptr;
  }

  TWin32MessageWindow FWindow;
  TWin32HotKeys FHotKeys;
  std::shared_ptr<TWin32DibSurface> FShared;
  std::unique_ptr<TWin32DibSurface> FScratch;
  std::unique_ptr<TWin32TaskbarHider> FTaskbar;
  struct TIconDeleter {
    void operator()(std::uintptr_t* icon) const {
      DestroyIconHandle(*icon);
      delete icon;
    }
  };
  static constexpr unsigned TrayIconId = 112;
  static constexpr unsigned TrayCallback = 1136;  // WM_USER + 112
  // Declared before the tray icon, which must go first: the shell drops it before its HICON.
  std::unique_ptr<std::uintptr_t, TIconDeleter> FTrayIcon;
  std::unique_ptr<TWin32TrayIcon> FTray;
};

}  // namespace

std::unique_ptr<TDesktopServices> CreateWin32DesktopServices() { return std::make_unique<TWin32DesktopServices>(); }
