#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/classes.h"
#include "platform/raster/engines.h"
#include "platform/raster/rect.h"
#include "platform/strings.h"

enum TMouseButton { mbLeft = 0, mbRight = 1, mbMiddle = 2 };

enum TShiftFlag : unsigned {
  ssShift = 1,
  ssAlt = 2,
  ssCtrl = 4,
  ssLeft = 8,
  ssRight = 16,
  ssMiddle = 32,
};
using TShiftState = unsigned;

using TCursor = int;
inline constexpr TCursor crDefault = 0;
// An arrow with a small rectangle below its tail, hot spot at the arrow's tip.
inline constexpr TCursor crDrag = -12;

// Virtual-key codes used by the key handlers; letters and digits are their upper-case character.
inline constexpr int VK_BACK = 8;
inline constexpr int VK_RETURN = 13;
inline constexpr int VK_ESCAPE = 27;
inline constexpr int VK_UP = 38;
inline constexpr int VK_DOWN = 40;
inline constexpr int VK_DELETE = 46;
inline constexpr int VK_Y = 0x59;
inline constexpr int VK_Z = 0x5A;

class TBitmap;
class TControl;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
// A control aligned to an edge of its parent, `Height` high across it, or filling the rest.
struct TAlignedChild {
  TControl* Control;
  TAlign Align;
  int Height;
};

class TImageList;
class TPicture;

// The widgetset's side of a control: its native object, placed in its parent in the widgetset's
// logical pixels. A widgetset implements what its native control can show; the defaults ignore
// what a kind of control has no use for.
class TWSControl {
 public:
  virtual ~TWSControl() = default;
  virtual TRect BoundsRect() const = 0;
  virtual void SetBounds(const TRect& bounds) = 0;
  // The control's own visibility; it shows when its parents do too.
  virtual bool Visible() const = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual bool Enabled() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual void SetHint(const String& hint) = 0;
  virtual void SetFocus() = 0;
  virtual bool Focused() const = 0;
  // The caption or text the control shows.
  virtual void SetText(const String& text) { (void)text; }
  // `font.Size` in points, or with `pixels` > 0 that many pixels high.
  virtual void SetFont(const TFont& font, int pixels) {
    (void)font;
    (void)pixels;
  }
  // Button-like controls: held down (a checked tool button).
  virtual bool Down() const { return false; }
  virtual void SetDown(bool down) { (void)down; }

  // Controls that show device pixels (images, paint boxes): their size in device pixels, which
  // on a scaled screen is not the logical size times the ratio rounded (see screens.h).
  virtual int DeviceWidth() const { return static_cast<int>(BoundsRect().Width()); }
  virtual int DeviceHeight() const { return static_cast<int>(BoundsRect().Height()); }
  // Keeps the corner, shows width x height device pixels.
  virtual void SetDeviceSize(int width, int height) {
    const TRect r = BoundsRect();
    SetBounds(TRect{r.Left, r.Top, r.Left + width, r.Top + height});
  }
  // Places the control at `logical`, which shows width x height device pixels.
  virtual void SetDeviceBounds(const TRect& logical, int width, int height) {
    (void)width;
    (void)height;
    SetBounds(logical);
  }
  // Paints the control anew, if shown.
  virtual void Repaint() {}
  // The name the native object is known by (for the toolkit's own tools).
  virtual void SetName(const String& name) { (void)name; }
  // Controls that hold others: stacks those aligned to its edges without margins, the top ones
  // from the top in order, the bottom ones from the bottom (the first lowest), the client one
  // filling what is between; kept so as the control is resized.
  virtual void SetAligned(const std::vector<TAlignedChild>& children) { (void)children; }
  // Draws the control as it is about to be painted into `target`, which it sizes to its logical
  // size times `ratio`, rounded up; false when it cannot.
  virtual bool RenderTo(TBitmap& target, double ratio) {
    (void)target;
    (void)ratio;
    return false;
  }
  // Runs `open` when the user asks for the control's context menu (a right click).
  virtual void SetContextMenu(std::function<void()> open) { (void)open; }
  // Button-like controls: the picture on the face, `size` pixels square; or the picture
  // `index` of `images`.
  virtual void SetGlyph(const TPicture& picture, int size) {
    (void)picture;
    (void)size;
  }
  virtual void SetImages(const TImageList& images, int index) {
    (void)images;
    (void)index;
  }

  // Edits: the text the native control holds, the caret and the selection, in characters from
  // the start. With nothing selected SelStart is the caret and SelLength 0.
  virtual String Text() const { return {}; }
  virtual int SelStart() const { return 0; }
  virtual int SelLength() const { return 0; }
  // Puts the caret at `position`, selecting nothing.
  virtual void SetSelStart(int position) { (void)position; }
  // Where an input method shows its candidates, in the parent's coordinates; empty: the caret.
  virtual void SetCaretRect(const TRect& rectInParent) { (void)rectInParent; }

  // Lists of colours (the colour box): the entries in order, each a swatch and its name; the
  // selected one's index, -1 for none.
  virtual void ClearItems() {}
  virtual void AddColorItem(TColor color, const String& name) {
    (void)color;
    (void)name;
  }
  virtual int ItemIndex() const { return -1; }
  virtual void SetItemIndex(int index) { (void)index; }
  // Paints `area` (device pixels of the control) anew, if shown.
  virtual void InvalidateRect(const TRect& area) {
    (void)area;
    Repaint();
  }
  // The pointer's shape over the control.
  virtual void SetCursor(TCursor cursor) { (void)cursor; }
  // `other`'s rectangle in this control's device pixels; empty while `other` does not show.
  virtual TRect DeviceRectOf(const TControl& other) const {
    (void)other;
    return {};
  }
  // Calls `changed` after each move, resize, showing and hiding of `other`, while both live.
  virtual void WatchControl(const TControl& other, const std::function<void()>& changed) {
    (void)other;
    (void)changed;
  }
};

// A control on a form: the framework keeps what the program relies on (text, enabling, events),
// the widgetset the native object (Handle()).
class TControl : public TComponent {
 public:
  TControl(String name, TControl* parent);
  ~TControl() override;

  TControl* Parent() const { return FParent; }
  TWSControl& Handle() const { return *FHandle; }

  // Place and size in the parent, in the widgetset's logical pixels.
  TRect BoundsRect() const { return FHandle->BoundsRect(); }
  int Left() const { return BoundsRect().Left; }
  int Top() const { return BoundsRect().Top; }
  void SetBounds(int left, int top, int width, int height);
  void Move(int left, int top);

  bool Visible() const { return FHandle->Visible(); }
  void SetVisible(bool visible) { FHandle->SetVisible(visible); }
  bool Enabled() const { return FHandle->Enabled(); }
  void SetEnabled(bool enabled) { FHandle->SetEnabled(enabled); }
  const String& Hint() const { return FHint; }
  void SetHint(const String& hint);
  void SetFocus() { FHandle->SetFocus(); }
  bool Focused() const { return FHandle->Focused(); }
  void SetFont(const TFont& font, int pixels = 0) { FHandle->SetFont(font, pixels); }
  // See TWSControl::RenderTo.
  bool RenderTo(TBitmap& target, double ratio) const { return FHandle->RenderTo(target, ratio); }

 protected:
  // Each kind of control makes its native object in its constructor.
  void SetHandle(std::unique_ptr<TWSControl> handle) { FHandle = std::move(handle); }
  // Lets the native object go ahead of the rest of the destruction (a form, whose window must
  // not report events to a half-destroyed form).
  void DestroyHandle() { FHandle.reset(); }

 private:
  TControl* FParent;
  std::unique_ptr<TWSControl> FHandle;
  String FHint;
};
