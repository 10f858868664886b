#include "platform/x11/x11desktop.h"

#include <QtGlobal>

#include "platform/x11/capture.h"
#include "platform/x11/firstframe.h"
#include "platform/x11/hotkeys.h"
#include "platform/x11/inputshape.h"
#include "platform/x11/taskbar.h"

namespace {

class TX11DesktopServices final : public TDesktopServices {
 public:
  TX11DesktopServices(TX11Connection x11, bool useShm, int shmLossAfter)
      : FX11(x11), FHotKeys(x11), FCapture(x11, useShm, shmLossAfter), FFirstFrame(x11, FCapture), FInputShape(x11) {}

  bool RegisterHotKey(int id, unsigned modifiers, unsigned virtualKey, THotKeyHandler handler) override {
    return FHotKeys.Register(id, modifiers, virtualKey, std::move(handler));
  }
  void UnregisterHotKeys() override { FHotKeys.UnregisterAll(); }

  void PrepareCapture(int width, int height) override { FCapture.Prepare(width, height); }
  bool CaptureScreen(TBitmap& target, int left, int top, int width, int height) override {
    return FCapture.Capture(target, left, top, width, height);
  }
  TPixelBlock CaptureMemory(int width, int height) override { return FCapture.Memory(width, height); }
  void ReleaseCapture() override {
    FCapture.Release();
    FFirstFrame.Release();
  }

  void PrepareFirstFrame(std::uintptr_t window, int width, int height) override {
    FFirstFrame.Prepare(static_cast<xcb_window_t>(window), width, height);
  }
  bool PresetFirstFrame(std::uintptr_t window, const TBitmap& picture, const TBitmap& overlay, int x, int y) override {
    return FFirstFrame.Preset(static_cast<xcb_window_t>(window), picture, overlay, x, y);
  }
  void ForgetFirstFrame(std::uintptr_t window) override { FFirstFrame.Forget(static_cast<xcb_window_t>(window)); }

  void PassInputThrough(std::uintptr_t window, int x, int y, int width, int height) override {
    FInputShape.SetHole(static_cast<xcb_window_t>(window), x, y, width, height);
  }

  void HideFromTaskbar() override {
    if (!FTaskbar) FTaskbar = std::make_unique<TX11TaskbarHider>(FX11);
  }

  void ActivateWindow(std::uintptr_t window) override {
    if (!FActiveWindow) FActiveWindow = InternAtom(FX11.Connection, "_NET_ACTIVE_WINDOW");
    if (!FActiveWindow || window == 0) return;
    constexpr std::uint32_t SourcePager = 2;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = static_cast<xcb_window_t>(window);
    message.type = FActiveWindow;
    message.data.data32[0] = SourcePager;
    message.data.data32[1] = XCB_CURRENT_TIME;
    message.data.data32[2] = 0;  // no window of ours is active now
    xcb_send_event(FX11.Connection, 0, FX11.Root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(FX11.Connection);
  }

 private:
  TX11Connection FX11;
  TX11HotKeys FHotKeys;
  TX11Capture FCapture;
  TX11FirstFrame FFirstFrame;
  TX11InputShape FInputShape;
  std::unique_ptr<TX11TaskbarHider> FTaskbar;
  xcb_atom_t FActiveWindow = 0;
};

}  // namespace

std::unique_ptr<TDesktopServices> CreateX11DesktopServices() {
  return CreateX11DesktopServices(qEnvironmentVariableIntValue("QUILMAR_NO_SHM") != 1);
}

std::unique_ptr<TDesktopServices> CreateX11DesktopServices(bool useShm) {
  const TX11Connection x11 = TX11Connection::OfQt();
  if (!x11) return nullptr;
  // Tests make the server lose the capture's segment mid-run with this; read once, at start.
  bool set = false;
  const int shmLossAfter = qEnvironmentVariableIntValue("QUILMAR_TEST_SHM_LOST_AFTER", &set);
  return std::make_unique<TX11DesktopServices>(x11, useShm, set ? shmLossAfter : -1);
}
