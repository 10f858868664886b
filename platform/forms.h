#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/controls.h"

enum TBorderStyle { bsSizeable = 0, bsNone = 1 };
enum TFormStyle { fsNormal = 0, fsStayOnTop = 1 };

// What kind of top-level window a form is. A dialog closes on Escape and clicks its focused
// button on Enter, as the system's dialogs do; a window keeps those keys for its own handler.
enum class TFormRole { Window, Dialog };

class TForm;

// The widgetset's side of a form: its top-level native window, which the form's handle (a
// TWSControl, whose BoundsRect and SetBounds are the client area on the desktop in logical pixels)
// implements besides.
class TWSForm {
 public:
  virtual ~TWSForm() = default;
  virtual void SetBorderStyle(TBorderStyle style) = 0;
  virtual void SetFormStyle(TFormStyle style) = 0;
  // The colour of the client area behind the controls (clBtnFace: the desktop's button face).
  virtual void SetColor(TColor color) = 0;
  // Shows the window, without asking for the keyboard.
  virtual void Show() = 0;
  // Asks the window to close, as its close box does: the form's DoClose runs and it hides.
  virtual void Close() = 0;
  // Raises the window and asks for the keyboard.
  virtual void Activate() = 0;
  // The window has the keyboard.
  virtual bool Active() const = 0;
  // The window with its frame on the desktop, logical pixels; the client area while the window
  // system has not told the frame yet (FrameKnown then fires once it has).
  virtual TRect FrameRect() const = 0;
  virtual bool FrameKnown() const = 0;
  // Places the frame's corner; gives the client area a size, keeping the corner.
  virtual void MoveFrame(int left, int top) = 0;
  virtual void SetClientSize(int width, int height) = 0;
  // Shows the window and runs a loop until it hides; meanwhile the program's other forms take no
  // input. The window that had the keyboard before gets it back.
  virtual void RunModal() = 0;
  // The native window's identifier for the desktop services; 0 while none exists.
  virtual std::uintptr_t NativeWindow() const = 0;
  // Makes the native window now, ahead of the first showing; or lets it go (a hidden window),
  // to be made anew.
  virtual void CreateNativeWindow() = 0;
  virtual void DestroyNativeWindow() = 0;
  virtual bool NativeWindowExists() const = 0;
  // The window is to show on `monitor` (TScreen's identifier): a native window made on another
  // monitor is let go, to be made anew there.
  virtual void PlaceOnMonitor(std::uintptr_t monitor) = 0;
  // Raises the window above the others, if shown (a stay-on-top one among the windows on top).
  virtual void Raise() = 0;
  // Puts the window behind the others, a stay-on-top one among the ordinary ones, until Raise.
  virtual void Lower() = 0;
  // Device pixels per logical pixel on the window's monitor.
  virtual double PixelRatio() const = 0;
};

// A top-level window of the program. Its controls (built from the form's description) are made
// with the form as their parent. The widgetset reports the window's events through the Do...
// functions, which a form class overrides.
class TForm : public TControl {
 public:
  TForm(String name, TFormRole role = TFormRole::Window);
  ~TForm() override;

  TWSForm& Window() const { return *FWindow; }

  const String& Caption() const { return FCaption; }
  void SetCaption(const String& caption);
  void SetBorderStyle(TBorderStyle style) { Window().SetBorderStyle(style); }
  void SetFormStyle(TFormStyle style) { Window().SetFormStyle(style); }
  void SetColor(TColor color) { Window().SetColor(color); }

  // Client size, logical pixels.
  int ClientWidth() const { return static_cast<int>(BoundsRect().Width()); }
  int ClientHeight() const { return static_cast<int>(BoundsRect().Height()); }
  void SetClientSize(int width, int height) { Window().SetClientSize(width, height); }

  void Show() { Window().Show(); }
  void Raise() { Window().Raise(); }
  void Lower() { Window().Lower(); }
  void Hide() { SetVisible(false); }
  void Close() { Window().Close(); }
  void Activate() { Window().Activate(); }
  bool Active() const { return Window().Active(); }
  TRect FrameRect() const { return Window().FrameRect(); }
  bool FrameKnown() const { return Window().FrameKnown(); }
  void MoveFrame(int left, int top) { Window().MoveFrame(left, top); }
  std::uintptr_t NativeWindow() const { return Window().NativeWindow(); }
  void CreateNativeWindow() { Window().CreateNativeWindow(); }
  void DestroyNativeWindow() { Window().DestroyNativeWindow(); }
  bool NativeWindowExists() const { return Window().NativeWindowExists(); }
  void PlaceOnMonitor(std::uintptr_t monitor) { Window().PlaceOnMonitor(monitor); }
  double PixelRatio() const { return Window().PixelRatio(); }

  // Makes the form the owner of `component` (a control on it, a menu): it lives as long as the
  // form, and those owned go the last made first, ahead of the form's window.
  void Own(std::unique_ptr<TComponent> component) { FOwned.push_back(std::move(component)); }

  // Runs the form modally until it closes; returns ModalResult. Refuses a form already shown.
  int ShowModal();
  int ModalResult = 0;

  // Called by the widgetset. DoShow: the window is about to be mapped, in the state the handler
  // leaves. DoClose: it closes (and hides). Resize: its client size changed. KeyDown: a key the
  // focused control did not keep (set `key` to 0 when handled). DoFrameKnown: the window system
  // has told the frame. DoUnblocked: a modal window over this one has closed. DoNativeWindowChanged:
  // the native window was made or destroyed.
  virtual void DoShow() {}
  virtual void DoClose() {}
  virtual void Resize() {}
  virtual void KeyDown(int& key, TShiftState shift) {
    (void)key;
    (void)shift;
  }
  virtual void DoFrameKnown() {}
  virtual void DoUnblocked() {}
  virtual void DoNativeWindowChanged() {}

 private:
  std::vector<std::unique_ptr<TComponent>> FOwned;
  TWSForm* FWindow = nullptr;
  String FCaption;
};

// A monitor of the desktop.
struct TMonitor {
  std::uintptr_t Id = 0;  // the same for as long as the monitor is there; 0: none
  TRect BoundsRect{};     // on the desktop, logical pixels; its corner is a device position too
  TRect DeviceRect{};     // on the desktop, device pixels: the window system's own rectangle
  double PixelRatio = 1;  // device pixels per logical pixel
};

enum class TMonitorChange { Resized, Removed, PrimaryChanged };

// The desktop as the widgetset shows it, in its logical pixels.
class TScreen {
 public:
  using TChangeHandler = std::function<void(TMonitorChange change, std::uintptr_t monitor)>;

  virtual ~TScreen() = default;
  // The primary monitor's rectangle; 1024 x 768 at the origin when there is none.
  virtual TRect PrimaryMonitorRect() const = 0;
  // The monitor the pointer is on (the nearest one when the pointer lies just outside all).
  virtual TRect MonitorRectUnderPointer() const = 0;
  // The rectangle holding every monitor.
  virtual TRect DesktopRect() const = 0;
  // Where the pointer is.
  virtual TPoint CursorPos() const = 0;

  virtual int MonitorCount() const = 0;
  // The primary monitor; the one under the pointer (as MonitorRectUnderPointer); the monitor
  // `id`, or the primary one when it is gone (or `id` is 0). Id 0 when there is no monitor.
  virtual TMonitor PrimaryMonitor() const = 0;
  virtual TMonitor MonitorUnderPointer() const = 0;
  virtual TMonitor MonitorOrPrimary(std::uintptr_t id) const = 0;
  // `handler` hears of each monitor that changes its rectangle or goes, and of a new primary
  // monitor, until RemoveChangeHandler(owner).
  virtual void AddChangeHandler(const void* owner, TChangeHandler handler) = 0;
  virtual void RemoveChangeHandler(const void* owner) = 0;
};

// The widgetset's screen.
TScreen& Screen();
