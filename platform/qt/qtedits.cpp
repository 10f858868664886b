#include "platform/qt/qtedits.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>

#include "platform/colorbox.h"
#include "platform/edits.h"
#include "platform/qt/qtcontrols.h"
#include "platform/qt/qtraster.h"

namespace {

// The native object of an edit or a mask edit: a line edit's text, caret and selection.
class TQtEditControl final : public TQtControl {
 public:
  explicit TQtEditControl(QLineEdit* edit) : TQtControl(edit, true) {}

  String Text() const override { return Edit() ? Str(Edit()->text()) : String(); }
  void SetText(const String& text) override {
    if (Edit()) Edit()->setText(QStr(text));
  }
  int SelStart() const override {
    if (!Edit()) return 0;
    return Edit()->hasSelectedText() ? Edit()->selectionStart() : Edit()->cursorPosition();
  }
  int SelLength() const override { return Edit() ? Edit()->selectionLength() : 0; }
  void SetSelStart(int position) override {
    if (Edit()) Edit()->setCursorPosition(position);
  }
  void SetCaretRect(const TRect&) override {
    // The widget answers the input method's query from the edit's rectangle.
    if (Edit() && Edit()->hasFocus())
      QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle | Qt::ImAnchorRectangle);
  }

 private:
  QLineEdit* Edit() const { return static_cast<QLineEdit*>(Widget()); }
};

QIcon SwatchOf(TColor color) {
  QPixmap swatch(16, 16);
  const TColor rgb = ColorToRGB(color);
  swatch.fill(QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF));
  QPainter p(&swatch);
  p.setPen(Qt::black);
  p.drawRect(0, 0, 15, 15);
  return QIcon(swatch);
}

// The native object of a colour box: the combo box's entries and its current one.
class TQtColorBoxControl final : public TQtControl {
 public:
  explicit TQtColorBoxControl(QComboBox* box) : TQtControl(box, true) {}

  void ClearItems() override {
    if (Box()) Box()->clear();
  }
  void AddColorItem(TColor color, const String& name) override {
    if (Box()) Box()->addItem(SwatchOf(color), QStr(name));
  }
  int ItemIndex() const override { return Box() ? Box()->currentIndex() : -1; }
  void SetItemIndex(int index) override {
    if (Box()) Box()->setCurrentIndex(index);
  }

 private:
  QComboBox* Box() const { return static_cast<QComboBox*>(Widget()); }
};

TShiftState ShiftOf(const QKeyEvent* event) { return ShiftStateOf(event->modifiers(), Qt::NoButton); }

}  // namespace

TQtEditWidget::TQtEditWidget(TEdit& edit, QWidget* parent) : QLineEdit(parent), FEdit(edit) {
  connect(this, &QLineEdit::textChanged, this, [this] { FEdit.Change(); });
}

QVariant TQtEditWidget::inputMethodQuery(Qt::InputMethodQuery query) const {
  const TRect& caret = FEdit.CaretRect();
  if ((query == Qt::ImCursorRectangle || query == Qt::ImAnchorRectangle) && !caret.IsEmpty()) {
    const QRect inParent(caret.Left, caret.Top, static_cast<int>(caret.Width()), static_cast<int>(caret.Height()));
    return QRectF(inParent.translated(-pos()));
  }
  return QLineEdit::inputMethodQuery(query);
}

void TQtEditWidget::inputMethodEvent(QInputMethodEvent* event) {
  FEdit.SetComposing(!event->preeditString().isEmpty());
  QLineEdit::inputMethodEvent(event);
}

void TQtEditWidget::focusOutEvent(QFocusEvent* event) {
  // The input method commits or drops what it composed when the focus leaves.
  FEdit.SetComposing(false);
  QLineEdit::focusOutEvent(event);
}

void TQtEditWidget::keyPressEvent(QKeyEvent* event) {
  if (FEdit.KeyDown(VirtualKeyOf(event->key()), ShiftOf(event))) QLineEdit::keyPressEvent(event);
  // Keys end here: none reaches the window's own key handler.
  event->accept();
}

TQtMaskEditWidget::TQtMaskEditWidget(TMaskEdit& edit, QWidget* parent) : QLineEdit(parent), FEdit(edit) {
  setMaxLength(TMaskEdit::Positions);
}

void TQtMaskEditWidget::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End: QLineEdit::keyPressEvent(event); return;
    default: break;
  }
  if (FEdit.KeyDown(VirtualKeyOf(event->key()), ShiftOf(event))) {
    event->accept();
    return;
  }
  if (event->matches(QKeySequence::Paste)) {
    // Pasted text goes through the same door as typing: digits only.
    FEdit.Insert(Str(QGuiApplication::clipboard()->text()));
    event->accept();
    return;
  }
  if (event->matches(QKeySequence::SelectAll) || event->matches(QKeySequence::Copy)) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  FEdit.KeyPress(Str(event->text()));
  // No key travels on to the window.
  event->accept();
}

void TQtMaskEditWidget::inputMethodEvent(QInputMethodEvent* event) {
  if (!event->commitString().isEmpty()) FEdit.Insert(Str(event->commitString()));
  event->accept();
}

void TQtMaskEditWidget::contextMenuEvent(QContextMenuEvent* event) { event->accept(); }

TQtUpDownWidget::TQtUpDownWidget(TUpDown& upDown, QWidget* parent) : QWidget(parent), FUpDown(upDown) {
  setFocusPolicy(Qt::NoFocus);
}

void TQtUpDownWidget::paintEvent(QPaintEvent*) {
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

void TQtUpDownWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  FUpDown.Click(event->position().y() < height() / 2.0 ? btNext : btPrev);
}

TQtColorBoxWidget::TQtColorBoxWidget(TColorBox& box, QWidget* parent) : QComboBox(parent), FBox(box) {
  // The box itself is narrow; the open list shows the names in full.
  view()->setMinimumWidth(200);
  setMaxVisibleItems(20);
  connect(this, &QComboBox::activated, this, [this] { FBox.Change(); });
}

std::unique_ptr<TWSControl> TQtWidgetSet::CreateEdit(TEdit& edit, bool border) {
  auto* widget = new TQtEditWidget(edit, QtParentWidget(edit));
  widget->setFrame(border);
  return std::make_unique<TQtEditControl>(widget);
}

std::unique_ptr<TWSControl> TQtWidgetSet::CreateMaskEdit(TMaskEdit& edit) {
  return std::make_unique<TQtEditControl>(new TQtMaskEditWidget(edit, QtParentWidget(edit)));
}

std::unique_ptr<TWSControl> TQtWidgetSet::CreateUpDown(TUpDown& upDown) {
  return std::make_unique<TQtControl>(new TQtUpDownWidget(upDown, QtParentWidget(upDown)), true);
}

std::unique_ptr<TWSControl> TQtWidgetSet::CreateColorBox(TColorBox& box, bool tabStop) {
  auto* widget = new TQtColorBoxWidget(box, QtParentWidget(box));
  if (!tabStop) widget->setFocusPolicy(Qt::NoFocus);
  return std::make_unique<TQtColorBoxControl>(widget);
}

QLineEdit* QtOf(const TEdit* edit) { return QtWidget<QLineEdit>(*edit); }
QLineEdit* QtOf(const TMaskEdit* edit) { return QtWidget<QLineEdit>(*edit); }
QWidget* QtOf(const TUpDown* upDown) { return QtWidget(*upDown); }
QComboBox* QtOf(const TColorBox* box) { return QtWidget<QComboBox>(*box); }
