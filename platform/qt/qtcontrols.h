#pragma once

#include <QCursor>
#include <QPointer>
#include <QWidget>
#include <Qt>

#include "platform/controls.h"
#include "platform/widgetset.h"

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
// False for buttons the program does not know (back, forward, ...).
bool MouseButtonOf(Qt::MouseButton qtButton, TMouseButton& button);
// The shape of a cursor identifier.
QCursor CursorOf(TCursor cursor);
// The virtual-key code of a Qt key (letters and digits as their upper-case character), 0 when
// it has none.
int VirtualKeyOf(int qtKey);

// A control's native object on Qt: a widget, which the handle deletes with itself unless it only
// borrows it.
class TQtControl : public TWSControl {
 public:
  TQtControl(QWidget* widget, bool owned) : FWidget(widget), FOwned(owned) {}
  ~TQtControl() override;
  QWidget* Widget() const { return FWidget; }

  TRect BoundsRect() const override;
  void SetBounds(const TRect& bounds) override;
  bool Visible() const override;
  void SetVisible(bool visible) override;
  bool Enabled() const override;
  void SetEnabled(bool enabled) override;
  void SetHint(const String& hint) override;
  void SetFocus() override;
  bool Focused() const override;
  void SetText(const String& text) override;
  void SetFont(const TFont& font, int pixels) override;
  bool Down() const override;
  void SetDown(bool down) override;
  void Repaint() override;
  void SetGlyph(const TPicture& picture, int size) override;
  void SetName(const String& name) override;
  void SetAligned(const std::vector<TAlignedChild>& children) override;
  void SetContextMenu(std::function<void()> open) override;
  bool RenderTo(TBitmap& target, double ratio) override;
  void SetImages(const TImageList& images, int index) override;

 private:
  QPointer<QWidget> FWidget;
  bool FOwned;
};

// The widget under a control of the Qt widgetset.
QWidget* QtWidget(const TControl& control);
template <class W>
W* QtWidget(const TControl& control) {
  return qobject_cast<W*>(QtWidget(control));
}
// The widget a control's children are made on: the form's own for a form's controls.
QWidget* QtParentWidget(const TControl& control);

class TQtWidgetSet final : public TWidgetSet {
 public:
  std::unique_ptr<TWSControl> CreateButton(TButton& button, bool tabStop) override;
  std::unique_ptr<TWSControl> CreateSpeedButton(TButton& button, bool flat) override;
  std::unique_ptr<TWSControl> CreateToolBar(TToolBar& bar, TColor color) override;
  std::unique_ptr<TWSControl> CreateToolButton(TToolButton& button, bool check) override;
  std::unique_ptr<TWSControl> CreatePanel(TPanel& panel) override;
  std::unique_ptr<TWSControl> CreateLabel(TLabel& label, const String& caption, int alignment) override;
  std::unique_ptr<TWSControl> CreateRichEdit(TRichEdit& edit, bool readOnly, bool wordWrap, int scrollBars) override;
  std::unique_ptr<TWSControl> CreateImage(TImage& image) override;
  std::unique_ptr<TWSControl> CreateForm(TForm& form, TFormRole role) override;
  TScreen& Screen() override;
  std::unique_ptr<TWSPopupMenu> CreatePopupMenu(TForm& owner, const String& name) override;
  std::unique_ptr<TWSTrayIcon> CreateTrayIcon(const TPicture& picture, const String& hint,
                                              std::function<void(std::intptr_t)> mouse) override;
  std::unique_ptr<TWSControl> CreateEdit(TEdit& edit, bool border) override;
  std::unique_ptr<TWSControl> CreateMaskEdit(TMaskEdit& edit) override;
  std::unique_ptr<TWSControl> CreateUpDown(TUpDown& upDown) override;
  std::unique_ptr<TWSControl> CreateColorBox(TColorBox& box, bool tabStop) override;
  std::unique_ptr<TWSControl> CreatePaintBox(TPaintBox& box) override;
};

// Stands for a widget made outside the framework (a form's own, a dialog) as the parent of the
// framework controls made on it; the widget is only borrowed.
class TQtWidgetHost final : public TControl {
 public:
  TQtWidgetHost(String name, QWidget* widget);
};

// Installs the Qt widgetset (once; the TApplication constructor does it).
void InstallQtWidgetSet();

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
class TButton;
class TColorBox;
class TEdit;
class TImage;
class TLabel;
class TMaskEdit;
class TPaintBox;
class TPanel;
class TRichEdit;
class TSpeedButton;
class TToolButton;
class TUpDown;

// The native widget of each kind of control, for what only Qt can do with it (tests driving it).
QWidget* QtOf(const TControl* control);
QPushButton* QtOf(const TButton* button);
QToolButton* QtOf(const TSpeedButton* button);
QToolButton* QtOf(const TToolButton* button);
QFrame* QtOf(const TPanel* panel);
QLabel* QtOf(const TLabel* label);
QPlainTextEdit* QtOf(const TRichEdit* edit);
QWidget* QtOf(const TImage* image);
QLineEdit* QtOf(const TEdit* edit);
QLineEdit* QtOf(const TMaskEdit* edit);
QWidget* QtOf(const TUpDown* upDown);
QComboBox* QtOf(const TColorBox* box);
QWidget* QtOf(const TPaintBox* box);
