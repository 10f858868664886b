#include "platform/qt/qtcontrols.h"

#include <QAbstractButton>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtMath>

#include "platform/application.h"
#include "platform/qt/qtmenus.h"
#include "platform/qt/qtpictures.h"
#include "platform/qt/qtraster.h"
#include "platform/stdctrls.h"

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  TShiftState s = 0;
  if (modifiers & Qt::ShiftModifier) s |= ssShift;
  if (modifiers & Qt::AltModifier) s |= ssAlt;
  if (modifiers & Qt::ControlModifier) s |= ssCtrl;
  if (buttons & Qt::LeftButton) s |= ssLeft;
  if (buttons & Qt::RightButton) s |= ssRight;
  if (buttons & Qt::MiddleButton) s |= ssMiddle;
  return s;
}

bool MouseButtonOf(Qt::MouseButton qtButton, TMouseButton& button) {
  switch (qtButton) {
    case Qt::LeftButton: button = mbLeft; return true;
    case Qt::RightButton: button = mbRight; return true;
    case Qt::MiddleButton: button = mbMiddle; return true;
    default: return false;
  }
}

static QCursor DragCursor() {
  // 32x32 with the arrow's tip at (0, 0); a small rectangle hangs below the arrow's tail.
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing, false);
  const QPoint arrow[] = {{0, 0}, {0, 16}, {4, 12}, {7, 19}, {9, 18}, {6, 11}, {11, 11}};
  p.setPen(Qt::black);
  p.setBrush(Qt::white);
  p.drawPolygon(arrow, 7);
  p.setBrush(Qt::white);
  p.drawRect(6, 21, 10, 7);
  p.end();
  return QCursor(pixmap, 0, 0);
}

QCursor CursorOf(TCursor cursor) {
  if (cursor == crDrag) {
    static const QCursor drag = DragCursor();
    return drag;
  }
  return QCursor(Qt::ArrowCursor);
}

int VirtualKeyOf(int qtKey) {
  switch (qtKey) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Left: return 37;
    case Qt::Key_Right: return 39;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Delete: return 46;
    default: break;
  }
  if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)) return qtKey;
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return 0x70 + (qtKey - Qt::Key_F1);
  return 0;
}

TQtControl::~TQtControl() {
  if (FOwned) delete FWidget.data();
}

TRect TQtControl::BoundsRect() const {
  if (!FWidget) return {};
  const QRect r = FWidget->geometry();
  return TRect{r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
}

void TQtControl::SetBounds(const TRect& b) {
  if (FWidget) FWidget->setGeometry(b.Left, b.Top, static_cast<int>(b.Width()), static_cast<int>(b.Height()));
}

bool TQtControl::Visible() const { return FWidget && !FWidget->isHidden(); }

void TQtControl::SetVisible(bool visible) {
  if (FWidget) FWidget->setVisible(visible);
}

bool TQtControl::Enabled() const { return FWidget && FWidget->isEnabled(); }

void TQtControl::SetEnabled(bool enabled) {
  if (FWidget) FWidget->setEnabled(enabled);
}

void TQtControl::SetHint(const String& hint) {
  if (FWidget) FWidget->setToolTip(QStr(hint));
}

void TQtControl::SetFocus() {
  if (FWidget) FWidget->setFocus();
}

bool TQtControl::Focused() const { return FWidget && FWidget->hasFocus(); }

void TQtControl::SetText(const String& text) {
  if (auto* button = qobject_cast<QAbstractButton*>(FWidget))
    button->setText(QStr(text));
  else if (auto* label = qobject_cast<QLabel*>(FWidget))
    label->setText(QStr(text));
  else if (auto* edit = qobject_cast<QPlainTextEdit*>(FWidget))
    edit->setPlainText(QStr(text));
}

void TQtControl::SetFont(const TFont& font, int pixels) {
  if (!FWidget) return;
  QFont qfont = QFontOf(font);
  if (pixels > 0) qfont.setPixelSize(pixels);
  FWidget->setFont(qfont);
}

bool TQtControl::Down() const {
  const auto* button = qobject_cast<const QAbstractButton*>(FWidget);
  return button && button->isChecked();
}

void TQtControl::SetDown(bool down) {
  if (auto* button = qobject_cast<QAbstractButton*>(FWidget)) button->setChecked(down);
}

void TQtControl::SetGlyph(const TPicture& picture, int size) {
  auto* button = qobject_cast<QAbstractButton*>(FWidget);
  if (!button) return;
  button->setIcon(QtIcon(picture));
  button->setIconSize(QSize(size, size));
}

void TQtControl::SetImages(const TImageList& images, int index) {
  if (auto* button = qobject_cast<QAbstractButton*>(FWidget)) button->setIcon(QtIcon(images, index));
}

void TQtControl::SetName(const String& name) {
  if (FWidget) FWidget->setObjectName(QStr(name));
}

void TQtControl::SetAligned(const std::vector<TAlignedChild>& children) {
  if (!FWidget) return;
  std::vector<QWidget*> top, client, bottom;
  for (const TAlignedChild& child : children) {
    QWidget* widget = QtWidget(*child.Control);
    if (child.Align != alClient) widget->setFixedHeight(child.Height);
    if (child.Align == alTop) top.push_back(widget);
    if (child.Align == alClient) client.push_back(widget);
    if (child.Align == alBottom) bottom.push_back(widget);
  }
  auto* layout = new QVBoxLayout(FWidget);
  layout->setSpacing(0);
  layout->setContentsMargins(0, 0, 0, 0);
  for (QWidget* w : top) layout->addWidget(w);
  for (QWidget* w : client) layout->addWidget(w);
  // Bottom-aligned controls stack upwards from the bottom edge, the first lowest.
  for (auto it = bottom.rbegin(); it != bottom.rend(); ++it) layout->addWidget(*it);
}

bool TQtControl::RenderTo(TBitmap& target, double ratio) {
  if (!FWidget) return false;
  target.SetSize(qCeil(FWidget->width() * ratio), qCeil(FWidget->height() * ratio));
  QImage view = QtView(target);
  view.setDevicePixelRatio(ratio);
  FWidget->render(&view);
  return true;
}

void TQtControl::SetContextMenu(std::function<void()> open) {
  if (!FWidget) return;
  FWidget->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(FWidget, &QWidget::customContextMenuRequested, FWidget, [open = std::move(open)] { open(); });
}

std::unique_ptr<TWSPopupMenu> TQtWidgetSet::CreatePopupMenu(TForm& owner, const String& name) {
  return std::make_unique<TQtPopupMenu>(QtWidget(owner), name);
}

QWidget* QtWidget(const TControl& control) { return static_cast<const TQtControl&>(control.Handle()).Widget(); }

QWidget* QtParentWidget(const TControl& control) {
  return control.Parent() ? QtWidget(*control.Parent()) : nullptr;
}

namespace {

template <class W>
std::unique_ptr<TQtControl> Make(TControl& control, W*& widget) {
  widget = new W(QtParentWidget(control));
  return std::make_unique<TQtControl>(widget, true);
}

// A click runs the control's handler through the error report.
void ConnectClick(QAbstractButton* widget, TButton& button) {
  QObject::connect(widget, &QAbstractButton::clicked, widget, [&button] { RunHandler([&] { button.Click(); }); });
}

}  // namespace

std::unique_ptr<TWSControl> TQtWidgetSet::CreateButton(TButton& button, bool tabStop) {
  QPushButton* widget;
  auto handle = Make(button, widget);
  if (!tabStop) widget->setFocusPolicy(Qt::NoFocus);
  ConnectClick(widget, button);
  return handle;
}

std::unique_ptr<TWSControl> TQtWidgetSet::CreateSpeedButton(TButton& button, bool flat) {
  QToolButton* widget;
  auto handle = Make(button, widget);
  widget->setFocusPolicy(Qt::NoFocus);
  widget->setAutoRaise(flat);
  ConnectClick(widget, button);
  return handle;
}

std::unique_ptr<TWSControl> TQtWidgetSet::CreateToolBar(TToolBar& bar, TColor color) {
  QWidget* widget;
  auto handle = Make(bar, widget);
  const TColor rgb = ColorToRGB(color);
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, QColor(int(rgb & 0xFF), int((rgb >> 8) & 0xFF), int((rgb >> 16) & 0xFF)));
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
  return handle;
}

std::unique_ptr<TWSControl> TQtWidgetSet::CreateToolButton(TToolButton& button, bool check) {
  QToolButton* widget;
  auto handle = Make(button, widget);
  widget->setFocusPolicy(Qt::NoFocus);
  widget->setAutoRaise(true);
  // The tool bar's pictures are 16 x 16.
  widget->setIconSize(QSize(16, 16));
  widget->setCheckable(check);
  ConnectClick(widget, button);
  return handle;
}

std::unique_ptr<TWSControl> TQtWidgetSet::CreatePanel(TPanel& panel) {
  QFrame* widget;
  auto handle = Make(panel, widget);
  widget->setFrameShape(QFrame::Panel);
  widget->setFrameShadow(QFrame::Raised);
  return handle;
}

std::unique_ptr<TWSControl> TQtWidgetSet::CreateLabel(TLabel& label, const String& caption, int alignment) {
  QLabel* widget;
  auto handle = Make(label, widget);
  widget->setText(QStr(caption));
  static constexpr Qt::Alignment Alignments[] = {Qt::AlignLeft | Qt::AlignVCenter, Qt::AlignRight | Qt::AlignVCenter,
                                                 Qt::AlignCenter};
  widget->setAlignment(Alignments[alignment]);
  return handle;
}

std::unique_ptr<TWSControl> TQtWidgetSet::CreateRichEdit(TRichEdit& edit, bool readOnly, bool wordWrap,
                                                         int scrollBars) {
  QPlainTextEdit* widget;
  auto handle = Make(edit, widget);
  widget->setUndoRedoEnabled(false);
  if (!wordWrap) widget->setLineWrapMode(QPlainTextEdit::NoWrap);
  if (readOnly) {
    widget->setReadOnly(true);
    // Read-only text can still be selected and copied, with the mouse and the keys.
    widget->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
  }
  widget->setHorizontalScrollBarPolicy(scrollBars & ssHorizontal ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  widget->setVerticalScrollBarPolicy(scrollBars & ssVertical ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  return handle;
}

TQtWidgetHost::TQtWidgetHost(String name, QWidget* widget) : TControl(std::move(name), nullptr) {
  SetHandle(std::make_unique<TQtControl>(widget, false));
}

void InstallQtWidgetSet() {
  static TQtWidgetSet widgetSet;
  InstallWidgetSet(&widgetSet);
}

QWidget* QtOf(const TControl* control) { return QtWidget(*control); }
QPushButton* QtOf(const TButton* button) { return QtWidget<QPushButton>(*button); }
QToolButton* QtOf(const TSpeedButton* button) { return QtWidget<QToolButton>(*button); }
QToolButton* QtOf(const TToolButton* button) { return QtWidget<QToolButton>(*button); }
QFrame* QtOf(const TPanel* panel) { return QtWidget<QFrame>(*panel); }
QLabel* QtOf(const TLabel* label) { return QtWidget<QLabel>(*label); }
QPlainTextEdit* QtOf(const TRichEdit* edit) { return QtWidget<QPlainTextEdit>(*edit); }

void TQtControl::Repaint() {
  if (FWidget && FWidget->isVisible()) FWidget->update();
}
