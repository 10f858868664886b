#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QWidget>
#include <functional>

#include "platform/controls.h"

// A single-line edit whose key handler sees every key first (by virtual-key code, which it may
// set to 0 to swallow it). The edit keeps every key to itself: none travels on to the window.
// While an input method composes, keys belong to it and the key handler does not see them;
// only committed text changes the edit's text.
class TEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit TEdit(QWidget* parent = nullptr);

  std::function<void(int& key, TShiftState shift)> OnKeyDown;
  std::function<void()> OnChange;

  // Where the text being typed shows, in the parent's coordinates, for an edit that draws its
  // text elsewhere: the input method places its candidate window there. An empty rectangle
  // gives the edit's own caret.
  void SetCaretRect(const QRect& rectInParent);
  QRect CaretRect() const { return FCaretRect; }
  // An input method holds uncommitted text.
  bool Composing() const { return FComposing; }

  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  QRect FCaretRect;
  bool FComposing = false;
};

// A two-position digit field with the edit mask "!99;1;_": each position holds a digit or
// nothing, an empty position shows an underscore, and the text read back has the empty
// positions as leading blanks (" 3", "12", "  ").
class TMaskEdit : public QLineEdit {
  Q_OBJECT
 public:
  static constexpr int Positions = 2;

  explicit TMaskEdit(QWidget* parent = nullptr);

  // The text with blanks for empty positions, always two characters.
  QString Text() const;
  // Digits fill the positions from the right, as the mask's leading blanks do; anything that is
  // not a digit becomes an empty position. Fires OnChange when the text changes.
  void SetText(const QString& text);

  std::function<void()> OnChange;
  // The Up and Down arrow keys, for the up-down control bound to this field.
  std::function<void(int step)> OnArrowKey;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void Put(int position, QChar digit);
  void Show(int cursor);
  void TypeDigits(const QString& digits);

  QChar FCells[Positions] = {QChar(u' '), QChar(u' ')};
};

// An up-down (spin) control bound to a mask edit: range Min..Max, no wrap-around. Each step
// writes the number into the field, which fires the field's change handler like typing does.
class TUpDown : public QWidget {
  Q_OBJECT
 public:
  explicit TUpDown(QWidget* parent = nullptr);

  void SetAssociate(TMaskEdit* edit);
  void SetRange(int min, int max);
  int Position() const { return FPosition; }
  void SetPosition(int position);
  // One step up (+1) or down (-1) from the number in the field, kept within the range.
  void Step(int step);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QPointer<TMaskEdit> FAssociate;
  int FMin = 0;
  int FMax = 100;
  int FPosition = 0;
};
