#pragma once

#include <functional>

#include "platform/controls.h"

// A single-line edit whose key handler sees every key first (by virtual-key code, which it may
// set to 0 to swallow it). The edit keeps every key to itself: none travels on to the window.
// While an input method composes, keys belong to it and the key handler does not see them;
// only committed text changes the edit's text.
class TEdit : public TControl {
 public:
  // Without a border the edit shows its text on the form's background.
  TEdit(String name, TControl* parent, bool border = true);

  String Text() const { return Handle().Text(); }
  // Fires OnChange when the text changes.
  void SetText(const String& text) { Handle().SetText(text); }

  std::function<void(int& key, TShiftState shift)> OnKeyDown;
  std::function<void()> OnChange;

  // Where the text being typed shows, in the parent's coordinates, for an edit that draws its
  // text elsewhere: the input method places its candidate window there. An empty rectangle
  // gives the edit's own caret.
  void SetCaretRect(const TRect& rectInParent);
  const TRect& CaretRect() const { return FCaretRect; }
  // An input method holds uncommitted text.
  bool Composing() const { return FComposing; }

  // Called by the widgetset. A key pressed in the edit: returns whether the native control is
  // to go on with it (type it, move the caret).
  bool KeyDown(int key, TShiftState shift);
  // The text changed, typed or set.
  void Change();
  // An input method began or ended holding uncommitted text.
  void SetComposing(bool composing) { FComposing = composing; }

 private:
  TRect FCaretRect{};
  bool FComposing = false;
};

// A two-position digit field with the edit mask "!99;1;_": each position holds a digit or
// nothing, an empty position shows an underscore, and the text read back has the empty
// positions as leading blanks (" 3", "12", "  "). It has no context menu.
class TMaskEdit : public TControl {
 public:
  static constexpr int Positions = 2;

  TMaskEdit(String name, TControl* parent);

  // The text with blanks for empty positions, always two characters.
  String Text() const;
  // Digits fill the positions from the right, as the mask's leading blanks do; anything that is
  // not a digit becomes an empty position. Fires OnChange when the text changes.
  void SetText(const String& text);

  std::function<void()> OnChange;
  // The Up and Down arrow keys, for the up-down control bound to this field.
  std::function<void(int step)> OnArrowKey;

  // Called by the widgetset, which shows the text and moves the caret itself. A key pressed in
  // the field (arrows up and down, Backspace, Delete): true when the mask took it.
  bool KeyDown(int key, TShiftState shift);
  // What a key types: a digit goes in at the caret, anything else is refused.
  void KeyPress(const String& text);
  // Pasted or committed text: its digits go in at the caret, one position each.
  void Insert(const String& text);

 private:
  // The positions' text, each empty one written as `empty`; with `emptyFirst` the empty ones
  // lead.
  String Written(char empty, bool emptyFirst) const;
  void Put(int position, char32_t digit);
  void Show(int caret);
  // Empties the selected positions; returns where the caret goes.
  int ClearSelection();
  // Fires OnChange if the text is no longer `before`.
  void Changed(const String& before);

  char32_t FCells[Positions] = {U' ', U' '};  // a digit or a blank each
};

// Which arrow of an up-down was pressed.
enum TUDBtnType { btNext, btPrev };

// An up-down (spin) control bound to a mask edit: range Min..Max, no wrap-around. Each step
// writes the number into the field, which fires the field's change handler like typing does.
// The field outlives the up-down.
class TUpDown : public TControl {
 public:
  TUpDown(String name, TControl* parent);

  void SetAssociate(TMaskEdit* edit);
  void SetRange(int min, int max);
  int Position() const { return FPosition; }
  void SetPosition(int position);
  // One step up (+1) or down (-1) from the number in the field, kept within the range.
  void Step(int step);

  // Called by the widgetset: an arrow was pressed.
  void Click(TUDBtnType button) { Step(button == btNext ? 1 : -1); }

 private:
  TMaskEdit* FAssociate = nullptr;
  int FMin = 0;
  int FMax = 100;
  int FPosition = 0;
};
