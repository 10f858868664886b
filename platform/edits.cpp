#include "platform/edits.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "platform/sysutils.h"
#include "platform/widgetset.h"

namespace {

// The first code point of each run of ten decimal digits in the Basic Multilingual Plane: the
// mask takes the digits of every script an input method may type (the full-width ones among
// them), as the Linux program always has. Digits beyond the plane were never taken.
constexpr char32_t DigitRuns[] = {
    0x0030, 0x0660, 0x06F0, 0x07C0, 0x0966, 0x09E6, 0x0A66, 0x0AE6, 0x0B66, 0x0BE6, 0x0C66, 0x0CE6, 0x0D66,
    0x0DE6, 0x0E50, 0x0ED0, 0x0F20, 0x1040, 0x1090, 0x17E0, 0x1810, 0x1946, 0x19D0, 0x1A80, 0x1A90, 0x1B50,
    0x1BB0, 0x1C40, 0x1C50, 0xA620, 0xA8D0, 0xA900, 0xA9D0, 0xA9F0, 0xAA50, 0xABF0, 0xFF10,
};

bool IsDigit(char32_t c) {
  const auto* run = std::upper_bound(std::begin(DigitRuns), std::end(DigitRuns), c);
  return run != std::begin(DigitRuns) && c - *(run - 1) < 10;
}

}  // namespace

TEdit::TEdit(String name, TControl* parent, bool border) : TControl(std::move(name), parent) {
  SetHandle(WidgetSet().CreateEdit(*this, border));
}

void TEdit::SetCaretRect(const TRect& rectInParent) {
  if (rectInParent == FCaretRect) return;
  FCaretRect = rectInParent;
  Handle().SetCaretRect(rectInParent);
}

bool TEdit::KeyDown(int key, TShiftState shift) {
  // While text is being composed, an Enter or Backspace that reaches us belongs to the input
  // method (confirming a candidate, shortening the pinyin): it must not change the line.
  if (FComposing && (key == VK_RETURN || key == VK_BACK)) return false;
  int handled = key;
  if (OnKeyDown && key != 0 && !FComposing) OnKeyDown(handled, shift);
  // A handler that set the key to 0 has dealt with it.
  return key == 0 || handled != 0;
}

void TEdit::Change() {
  if (OnChange) OnChange();
}

TMaskEdit::TMaskEdit(String name, TControl* parent) : TControl(std::move(name), parent) {
  SetHandle(WidgetSet().CreateMaskEdit(*this));
  Show(0);
}

String TMaskEdit::Written(char empty, bool emptyFirst) const {
  String lead;
  String rest;
  for (const char32_t c : FCells) {
    if (c == U' ')
      (emptyFirst ? lead : rest) += empty;
    else
      AppendUtf8(rest, c);
  }
  return lead + rest;
}

String TMaskEdit::Text() const { return Written(' ', true); }

void TMaskEdit::SetText(const String& text) {
  const String before = Text();
  char32_t cells[Positions];
  int count = 0;
  for (const char32_t c : TCodePoints(text)) {
    if (count == Positions) break;
    cells[count++] = c;
  }
  // Fewer characters than positions fill them from the right.
  const int blanks = Positions - count;
  for (int i = 0; i < Positions; ++i) {
    const char32_t c = i < blanks ? U' ' : cells[i - blanks];
    FCells[i] = IsDigit(c) ? c : U' ';
  }
  Show(Positions);
  Changed(before);
}

void TMaskEdit::Show(int caret) {
  Handle().SetText(Written('_', false));
  Handle().SetSelStart(std::clamp(caret, 0, Positions));
}

void TMaskEdit::Put(int position, char32_t digit) {
  if (position >= 0 && position < Positions) FCells[position] = digit;
}

int TMaskEdit::ClearSelection() {
  const int start = Handle().SelStart();
  for (int i = start; i < start + Handle().SelLength(); ++i) Put(i, U' ');
  return start;
}

void TMaskEdit::Changed(const String& before) {
  if (Text() != before && OnChange) OnChange();
}

bool TMaskEdit::KeyDown(int key, TShiftState) {
  if (key == VK_UP || key == VK_DOWN) {
    if (OnArrowKey) OnArrowKey(key == VK_UP ? 1 : -1);
    return true;
  }
  if (key != VK_BACK && key != VK_DELETE) return false;
  const String before = Text();
  const bool selected = Handle().SelLength() > 0;
  int caret = ClearSelection();
  if (!selected) {
    if (key == VK_BACK) {
      if (caret > 0) Put(--caret, U' ');
    } else {
      Put(caret, U' ');
    }
  }
  Show(caret);
  Changed(before);
  return true;
}

void TMaskEdit::KeyPress(const String& text) {
  // Every other key is refused by the mask.
  if (!text.empty() && IsDigit(*TCodePoints(text).begin())) Insert(text);
}

void TMaskEdit::Insert(const String& text) {
  const String before = Text();
  int caret = ClearSelection();
  for (const char32_t c : TCodePoints(text)) {
    if (!IsDigit(c) || caret >= Positions) continue;
    Put(caret++, c);
  }
  Show(caret);
  Changed(before);
}

TUpDown::TUpDown(String name, TControl* parent) : TControl(std::move(name), parent) {
  SetHandle(WidgetSet().CreateUpDown(*this));
}

void TUpDown::SetAssociate(TMaskEdit* edit) {
  FAssociate = edit;
  if (edit) edit->OnArrowKey = [this](int step) { Step(step); };
}

void TUpDown::SetRange(int min, int max) {
  FMin = min;
  FMax = std::max(min, max);
  FPosition = std::clamp(FPosition, FMin, FMax);
}

void TUpDown::SetPosition(int position) { FPosition = std::clamp(position, FMin, FMax); }

void TUpDown::Step(int step) {
  // The field may hold a typed number outside the range (0 to 99); the step starts from it and
  // lands within the range.
  int current = FPosition;
  if (FAssociate) {
    try {
      current = StrToInt(Trim(FAssociate->Text()));
    } catch (const EConvertError&) {
      current = FPosition;
    }
  }
  FPosition = std::clamp(current + step, FMin, FMax);
  if (FAssociate) FAssociate->SetText(std::to_string(FPosition));
  Handle().Repaint();
}
