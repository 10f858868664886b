#include "platform/edits.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <algorithm>

#include "platform/qt/qtcontrols.h"
#include "platform/qt/qtraster.h"
#include "platform/sysutils.h"

TEdit::TEdit(QWidget* parent) : QLineEdit(parent) {
  connect(this, &QLineEdit::textChanged, this, [this] {
    if (OnChange) OnChange();
  });
}

void TEdit::SetCaretRect(const QRect& rectInParent) {
  if (rectInParent == FCaretRect) return;
  FCaretRect = rectInParent;
  if (hasFocus()) QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle | Qt::ImAnchorRectangle);
}

QVariant TEdit::inputMethodQuery(Qt::InputMethodQuery query) const {
  if ((query == Qt::ImCursorRectangle || query == Qt::ImAnchorRectangle) && !FCaretRect.isEmpty())
    return QRectF(FCaretRect.translated(-pos()));
  return QLineEdit::inputMethodQuery(query);
}

void TEdit::inputMethodEvent(QInputMethodEvent* event) {
  FComposing = !event->preeditString().isEmpty();
  QLineEdit::inputMethodEvent(event);
}

void TEdit::focusOutEvent(QFocusEvent* event) {
  // The input method commits or drops what it composed when the focus leaves.
  FComposing = false;
  QLineEdit::focusOutEvent(event);
}

void TEdit::keyPressEvent(QKeyEvent* event) {
  const int original = VirtualKeyOf(event->key());
  // While text is being composed, an Enter or Backspace that reaches us belongs to the input
  // method (confirming a candidate, shortening the pinyin): it must not change the line.
  if (FComposing && (original == VK_RETURN || original == VK_BACK)) {
    event->accept();
    return;
  }
  int key = original;
  if (OnKeyDown && key != 0 && !FComposing) OnKeyDown(key, ShiftStateOf(event->modifiers(), Qt::NoButton));
  // A handler that set the key to 0 has dealt with it.
  if (original == 0 || key != 0) QLineEdit::keyPressEvent(event);
  // Keys end here: none reaches the window's own key handler.
  event->accept();
}

TMaskEdit::TMaskEdit(QWidget* parent) : QLineEdit(parent) {
  setMaxLength(Positions);
  Show(0);
}

QString TMaskEdit::Text() const {
  QString blanks;
  QString digits;
  for (QChar c : FCells) (c.isDigit() ? digits : blanks).append(c.isDigit() ? c : QChar(u' '));
  return blanks + digits;
}

void TMaskEdit::SetText(const QString& text) {
  const QString before = Text();
  QString cells = text.left(Positions);
  while (cells.size() < Positions) cells.prepend(u' ');
  for (int i = 0; i < Positions; ++i) FCells[i] = cells.at(i).isDigit() ? cells.at(i) : QChar(u' ');
  Show(Positions);
  if (Text() != before && OnChange) OnChange();
}

void TMaskEdit::Show(int cursor) {
  QString display;
  for (QChar c : FCells) display.append(c.isDigit() ? c : QChar(u'_'));
  QLineEdit::setText(display);
  setCursorPosition(std::clamp(cursor, 0, Positions));
}

void TMaskEdit::Put(int position, QChar digit) {
  if (position >= 0 && position < Positions) FCells[position] = digit;
}

void TMaskEdit::TypeDigits(const QString& digits) {
  const QString before = Text();
  int cursor = cursorPosition();
  if (hasSelectedText()) {
    cursor = selectionStart();
    for (int i = selectionStart(); i < selectionStart() + selectedText().size(); ++i) Put(i, u' ');
  }
  for (QChar c : digits) {
    if (!c.isDigit() || cursor >= Positions) continue;
    Put(cursor++, c);
  }
  Show(cursor);
  if (Text() != before && OnChange) OnChange();
}

void TMaskEdit::keyPressEvent(QKeyEvent* event) {
  const QString before = Text();
  switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
      if (OnArrowKey) OnArrowKey(event->key() == Qt::Key_Up ? 1 : -1);
      event->accept();
      return;
    case Qt::Key_Backspace:
    case Qt::Key_Delete: {
      int cursor = cursorPosition();
      if (hasSelectedText()) {
        cursor = selectionStart();
        for (int i = selectionStart(); i < selectionStart() + selectedText().size(); ++i) Put(i, u' ');
      } else if (event->key() == Qt::Key_Backspace) {
        if (cursor > 0) Put(--cursor, u' ');
      } else {
        Put(cursor, u' ');
      }
      Show(cursor);
      if (Text() != before && OnChange) OnChange();
      event->accept();
      return;
    }
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End: QLineEdit::keyPressEvent(event); return;
    default: break;
  }
  if (event->matches(QKeySequence::Paste)) {
    // Pasted text goes through the same door as typing: digits only.
    TypeDigits(QGuiApplication::clipboard()->text());
    event->accept();
    return;
  }
  if (event->matches(QKeySequence::SelectAll) || event->matches(QKeySequence::Copy)) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  if (!event->text().isEmpty() && event->text().at(0).isDigit()) TypeDigits(event->text());
  // Every other key is refused by the mask, and none travels on to the window.
  event->accept();
}

void TMaskEdit::inputMethodEvent(QInputMethodEvent* event) {
  if (!event->commitString().isEmpty()) TypeDigits(event->commitString());
  event->accept();
}

void TMaskEdit::contextMenuEvent(QContextMenuEvent* event) { event->accept(); }

TUpDown::TUpDown(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::NoFocus); }

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
      current = StrToInt(Trim(Str(FAssociate->Text())));
    } catch (const EConvertError&) {
      current = FPosition;
    }
  }
  FPosition = std::clamp(current + step, FMin, FMax);
  if (FAssociate) FAssociate->SetText(QString::number(FPosition));
  update();
}

void TUpDown::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect r = rect();
  const int half = r.height() / 2;
  p.fillRect(r, palette().button());
  p.setPen(palette().shadow().color());
  p.drawRect(r.adjusted(0, 0, -1, -1));
  p.drawLine(0, half, r.width() - 1, half);
  p.setBrush(palette().buttonText());
  p.setPen(Qt::NoPen);
  const int cx = r.width() / 2;
  p.drawPolygon(QPolygon({QPoint(cx - 3, half - 3), QPoint(cx + 4, half - 3), QPoint(cx, half - 7)}));
  p.drawPolygon(QPolygon({QPoint(cx - 3, half + 4), QPoint(cx + 4, half + 4), QPoint(cx, half + 8)}));
}

void TUpDown::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  Step(event->position().y() < height() / 2.0 ? 1 : -1);
}
