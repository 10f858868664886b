#pragma once

#include <functional>
#include <optional>
#include <memory>
#include <vector>

#include "platform/controls.h"
#include "platform/widgetset.h"
#include "platform/win32/widgetset/win32api.h"
#include "platform/win32/widgetset/wsdpi.h"

// A control's native object on Win32: a child window (a top-level one for a form), destroyed
// with the handle. Its messages come to Message() first (through a subclass, whatever the
// window's class), and the notifications its children send (WM_COMMAND) go on to theirs.
class TWin32Control : public TWSControl {
 public:
  // Takes `window`, which the caller has just made.
  TWin32Control(TControl& control, HWND window);
  ~TWin32Control() override;
  TWin32Control(const TWin32Control&) = delete;
  TWin32Control& operator=(const TWin32Control&) = delete;

  HWND Hwnd() const { return FHwnd; }
  TControl& Control() const { return FControl; }

  TRect BoundsRect() const override;
  void SetBounds(const TRect& bounds) override;
  // Device pixels per logical one where the window is.
  double PixelRatio() const;
  int DeviceWidth() const override;
  int DeviceHeight() const override;
  void SetDeviceSize(int width, int height) override;
  void SetDeviceBounds(const TRect& logical, int width, int height) override;
  bool Visible() const override;
  void SetVisible(bool visible) override;
  bool Enabled() const override;
  void SetEnabled(bool enabled) override;
  void SetHint(const String& hint) override;
  void SetFocus() override;
  bool Focused() const override;
  void SetText(const String& text) override;
  void SetFont(const TFont& font, int pixels) override;
  void Repaint() override;
  void SetContextMenu(std::function<void()> open) override { FContextMenu = std::move(open); }
  void SetAligned(const std::vector<TAlignedChild>& children) override;

  // Placed, lettered and pictured anew at the window's ratio, after it moved to a monitor of
  // another DPI (WM_DPICHANGED): what the framework gave in logical pixels is kept for that.
  virtual void Rescale();

  // A message for the window; true when handled, with `result` its answer.
  virtual bool Message(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // A notification this control sent its parent (BN_CLICKED, EN_CHANGE...).
  virtual void Notified(WORD code) { (void)code; }
  // An owner-drawn control's item to draw (WM_DRAWITEM, sent to its parent); true when drawn.
  virtual bool DrawItem(const DRAWITEMSTRUCT& item) {
    (void)item;
    return false;
  }

  // The control behind a window of the widgetset; null for any other window.
  static TWin32Control* Of(HWND window);

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);
  TControl& FControl;
  HWND FHwnd;
  // Opens the control's pop-up menu on a right click or the menu key (WM_CONTEXTMENU, which a
  // child without one passes on to its parent).
  std::function<void()> FContextMenu;
  // Children stacked along the edges, laid out again at each WM_SIZE.
  std::vector<TAlignedChild> FAligned;
  // The place and font last given, in logical pixels.
  std::optional<TRect> FLogicalBounds;
  std::optional<std::pair<TFont, int>> FFont;

 protected:
  void LayOutAligned();
  // Kept for Rescale by a SetFont of a control's own.
  void RememberFont(const TFont& font, int pixels) { FFont.emplace(font, pixels); }
};

// The window a control's native window is made in: its parent's, or a hidden one of the
// widgetset's for a control without a parent.
HWND ParentWindowOf(const TControl& control);
// A control made later lies above the ones made before it in the same parent, as on the other
// widgetset (the system puts a new child window below its older siblings).
void RaiseAmongSiblings(HWND window);
// The window's text.
String TextOfWindow(HWND window);
// What every control the widgetset draws itself answers alike: it paints through `paint`
// (WM_PAINT, WM_PRINTCLIENT), erases no background, takes no activation from a click, and hands
// the keyboard back at once to the window that had it. True when `message` was one of these.
bool SelfDrawnMessage(HWND window, UINT message, WPARAM wParam, LRESULT& result,
                      const std::function<void(HDC)>& paint);
// Takes down a hint on show at once: a press elsewhere ends it, as a press on its control does
// (left alone, the system takes it down only on its next check of the pointer).
void HideHint();
// A hidden top-level window of the widgetset: the parent of controls without one and the owner
// of the pop-up menus.
HWND HiddenOwnerWindow();
// Registers a window class of the widgetset (once) whose procedure is the default one: what the
// windows do is their handles' Message().
const wchar_t* WidgetSetClass(const wchar_t* name, UINT style = 0);
// The desktop's message font in the form used for controls, at a ratio of device pixels.
HFONT ControlFont(double ratio);
// A visible child window of `windowClass` for `control` in ParentWindowOf(control), above its
// older siblings, in the control font; throws EOutOfResources when the system refuses it.
HWND MakeChildWindow(const TControl& control, const wchar_t* windowClass, DWORD style, DWORD exStyle = 0,
                     const std::wstring& text = {});

// The press of a button the widgetset draws itself: hot while the pointer is over it, held from a
// left press on it until the release (or a loss of the capture). Track takes the mouse messages
// (true when it handled one) and sets `clicked` on a release over the button that ends a press;
// the button is repainted at each change.
class TButtonPress {
 public:
  bool Track(HWND window, UINT message, LPARAM lParam, bool& clicked);
  bool Hot() const { return FHot; }
  // Shown pressed: held, with the pointer over it.
  bool Sunken() const { return FPressed && FHot; }

 private:
  bool FHot = false;
  bool FPressed = false;
};

class TWin32WidgetSet final : public TWidgetSet {
 public:
  std::unique_ptr<TWSControl> CreateButton(TButton& button, bool tabStop) override;
  std::unique_ptr<TWSControl> CreateSpeedButton(TButton& button, bool flat) override;
  std::unique_ptr<TWSControl> CreateToolBar(TToolBar& bar, TColor color) override;
  std::unique_ptr<TWSControl> CreateToolButton(TToolButton& button, bool check) override;
  std::unique_ptr<TWSControl> CreatePanel(TPanel& panel) override;
  std::unique_ptr<TWSControl> CreateLabel(TLabel& label, const String& caption, int alignment) override;
  std::unique_ptr<TWSControl> CreateRichEdit(TRichEdit& edit, bool readOnly, bool wordWrap, int scrollBars) override;
  std::unique_ptr<TWSControl> CreateForm(TForm& form, TFormRole role) override;
  TScreen& Screen() override;
  std::unique_ptr<TWSTrayIcon> CreateTrayIcon(const TPicture& picture, const String& hint,
                                              std::function<void(std::intptr_t)> mouse) override;
  std::unique_ptr<TWSControl> CreateImage(TImage& image) override;
  std::unique_ptr<TWSControl> CreateEdit(TEdit& edit, bool border) override;
  std::unique_ptr<TWSControl> CreateMaskEdit(TMaskEdit& edit) override;
  std::unique_ptr<TWSControl> CreateUpDown(TUpDown& upDown) override;
  std::unique_ptr<TWSControl> CreateColorBox(TColorBox& box, bool tabStop) override;
  std::unique_ptr<TWSControl> CreatePaintBox(TPaintBox& box) override;
  std::unique_ptr<TWSPopupMenu> CreatePopupMenu(TForm& owner, const String& name) override;
};

// Installs the Win32 widgetset (once; the TApplication constructor does it).
void InstallWin32WidgetSet();

// The native window of a control of the Win32 widgetset, for what tests do with it.
HWND Win32Of(const TControl* control);
