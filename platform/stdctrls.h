#pragma once

#include <functional>

#include "platform/controls.h"

// The plain controls of the forms. Each makes its native object through the widgetset in use
// (widgetset.h) and keeps the behaviour the program relies on: a disabled button's click does
// nothing, a check-style tool button toggles.

// A push button with a caption; with TabStop off it never takes the focus.
class TButton : public TControl {
 public:
  TButton(String name, TControl* parent, bool tabStop = true);
  void SetCaption(const String& caption) { Handle().SetText(caption); }
  // The picture on the face, `size` pixels square.
  void SetGlyph(const TPicture& picture, int size) { Handle().SetGlyph(picture, size); }
  std::function<void()> OnClick;
  // What a press of the button does: its handler runs, unless it is disabled.
  void Click();

 protected:
  struct TNoHandle {};
  TButton(String name, TControl* parent, TNoHandle) : TControl(std::move(name), parent) {}
};

// A button that never takes the focus from the window it is on; a flat one shows its face only
// under the pointer.
class TSpeedButton : public TButton {
 public:
  TSpeedButton(String name, TControl* parent, bool flat);
};

// A tool bar: a row of tool buttons on a panel of its own colour.
class TToolBar : public TControl {
 public:
  TToolBar(String name, TControl* parent, TColor color);
};

enum TToolButtonStyle { tbsButton, tbsCheck };

// A button of a tool bar showing a picture of the form's glyph list (ImageIndex); a check-style
// one stays down once pressed, until pressed again or set up.
class TToolButton : public TButton {
 public:
  TToolButton(String name, TControl* parent, TToolButtonStyle style, int imageIndex);
  TToolButtonStyle Style() const { return FStyle; }
  int ImageIndex() const { return FImageIndex; }
  // Shows the picture ImageIndex of `images`.
  void SetImages(const TImageList& images) { Handle().SetImages(images, FImageIndex); }
  bool Down() const { return Handle().Down(); }
  void SetDown(bool down) { Handle().SetDown(down); }

 private:
  TToolButtonStyle FStyle;
  int FImageIndex;
};

// A raised panel that holds other controls.
class TPanel : public TControl {
 public:
  TPanel(String name, TControl* parent);
};

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// A line of text.
class TLabel : public TControl {
 public:
  TLabel(String name, TControl* parent, const String& caption, TAlignment alignment);
  void SetCaption(const String& caption) { Handle().SetText(caption); }
};

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// Text in a box of its own with scroll bars; read-only text can still be selected and copied.
class TRichEdit : public TControl {
 public:
  TRichEdit(String name, TControl* parent, bool readOnly, bool wordWrap, TScrollStyle scrollBars);
  void SetText(const String& text) { Handle().SetText(text); }
};
