#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QWidget>

class TColorBox;
class TEdit;
class TMaskEdit;
class TUpDown;

// The widget of an edit: a line edit that hands every key to the edit first, keeps every key
// from the window, and tells the input method where the edit says the text goes on.
class TQtEditWidget final : public QLineEdit {
  Q_OBJECT
 public:
  TQtEditWidget(TEdit& edit, QWidget* parent);
  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  TEdit& FEdit;
};

// The widget of a mask edit: shows the text and caret the field sets, moves the caret, selects
// and copies; every other key, pasted and committed text go to the field.
class TQtMaskEditWidget final : public QLineEdit {
  Q_OBJECT
 public:
  TQtMaskEditWidget(TMaskEdit& edit, QWidget* parent);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  TMaskEdit& FEdit;
};

// The widget of an up-down: two arrows, one above the other.
class TQtUpDownWidget final : public QWidget {
  Q_OBJECT
 public:
  TQtUpDownWidget(TUpDown& upDown, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  TUpDown& FUpDown;
};

// The widget of a colour box: a combo box of swatches.
class TQtColorBoxWidget final : public QComboBox {
  Q_OBJECT
 public:
  TQtColorBoxWidget(TColorBox& box, QWidget* parent);
  TColorBox& Box() const { return FBox; }

 private:
  TColorBox& FBox;
};
