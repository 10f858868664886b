#include "platform/qt/qtform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QCursor>
#include <QKeyEvent>
#include <QPalette>
#include <QScreen>
#include <QWindow>

#include "platform/application.h"
#include "platform/qt/qtraster.h"
#include "platform/qt/qtscreens.h"

namespace {

// What every kind of form widget has: the form it reports to.
class TFormLink {
 public:
  explicit TFormLink(TForm& form) : FForm(&form) {}
  virtual ~TFormLink() = default;
  // The form is being destroyed: nothing more is reported to it.
  void Detach() { FForm = nullptr; }
  TForm* Form() const { return FForm; }
  virtual void DestroyNative() = 0;

 protected:
  TForm* FForm;
};

// The window events every kind of form widget reports the same way.
template <class Base>
class TFormWindow : public Base, public TFormLink {
 public:
  TFormWindow(TForm& form, Qt::WindowFlags flags) : Base(nullptr, flags), TFormLink(form) {}
  void DestroyNative() override { this->destroy(); }

  // The window system has framed the window (on X11 only once it is mapped; Qt knows the frame
  // by the time the window is first exposed).
  bool HasFrame() const {
    return !Frameless() && this->windowHandle() && !this->windowHandle()->frameMargins().isNull();
  }

 protected:
  bool Frameless() const { return this->windowFlags().testFlag(Qt::FramelessWindowHint); }

  void showEvent(QShowEvent* event) override {
    Base::showEvent(event);
    if (FForm) RunHandler([this] { FForm->DoShow(); });
    if (!FFrameReported && !Frameless() && this->windowHandle()) this->windowHandle()->installEventFilter(this);
  }
  void closeEvent(QCloseEvent* event) override {
    event->accept();
    if (!FForm) return;
    RunHandler([this] { FForm->DoClose(); });
    // The main form's closing ends the message loop.
    if (Application && Application->MainForm() == FForm) QCoreApplication::quit();
  }
  void resizeEvent(QResizeEvent* event) override {
    Base::resizeEvent(event);
    if (FForm) RunHandler([this] { FForm->Resize(); });
  }
  bool event(QEvent* event) override {
    if (FForm && event->type() == QEvent::WindowUnblocked && this->isVisible())
      RunHandler([this] { FForm->DoUnblocked(); });
    if (FForm && event->type() == QEvent::WinIdChange) RunHandler([this] { FForm->DoNativeWindowChanged(); });
    return Base::event(event);
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == this->windowHandle() && event->type() == QEvent::Expose)
      QMetaObject::invokeMethod(this, [this] { ReportFrame(); }, Qt::QueuedConnection);
    return Base::eventFilter(watched, event);
  }

 private:
  void ReportFrame() {
    if (FFrameReported || !HasFrame()) return;
    FFrameReported = true;
    this->windowHandle()->removeEventFilter(this);
    if (FForm) RunHandler([this] { FForm->DoFrameKnown(); });
  }

  bool FFrameReported = false;
};

// A window keeps Escape and Enter for its own key handler, which sees the keys the focused
// control did not keep only while the window itself has the focus.
class TWindow final : public TFormWindow<QWidget> {
 public:
  using TFormWindow::TFormWindow;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    QWidget* focus = focusWidget();
    if (!FForm || (focus && focus != this)) return;
    int key = VirtualKeyOf(event->key());
    const TShiftState shift = ShiftStateOf(event->modifiers(), Qt::NoButton);
    RunHandler([&] { FForm->KeyDown(key, shift); });
  }
};

// A dialog closes on Escape and clicks its default or focused button on Enter.
class TDialogWindow final : public TFormWindow<QDialog> {
 public:
  using TFormWindow::TFormWindow;
};

QWidget* MakeWindow(TForm& form, TFormRole role) {
  if (role == TFormRole::Dialog)
    return new TDialogWindow(form, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                       Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  return new TWindow(form, Qt::Window);
}

TFormLink* LinkOf(const QWidget* widget) { return dynamic_cast<TFormLink*>(const_cast<QWidget*>(widget)); }

// While a form runs modally the program's other forms take no input, as the windows that a modal
// window disables. Unlike the toolkit's own modality this leaves the tray icon working: it still
// opens the main menu, and asks for the modal form again (which is refused).
class TOtherFormsBlocked : public QObject {
 public:
  explicit TOtherFormsBlocked(QWidget* modal) : FModal(modal) {
    QCoreApplication::instance()->installEventFilter(this);
  }
  ~TOtherFormsBlocked() override { QCoreApplication::instance()->removeEventFilter(this); }
  TOtherFormsBlocked(const TOtherFormsBlocked&) = delete;
  TOtherFormsBlocked& operator=(const TOtherFormsBlocked&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
      case QEvent::Wheel:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::ContextMenu: break;
      default: return false;
    }
    if (!watched->isWidgetType()) return false;
    const QWidget* window = static_cast<QWidget*>(watched)->window();
    const TForm* form = FormOfWindow(window);
    return window != FModal && form && Application && Application->IsForm(form);
  }

 private:
  QWidget* FModal;
};

}  // namespace

TQtForm::TQtForm(TForm& form, TFormRole role) : TQtControl(MakeWindow(form, role), true) {}

TQtForm::~TQtForm() {
  if (TFormLink* link = LinkOf(Widget())) link->Detach();
}

void TQtForm::SetText(const String& text) {
  if (Widget()) Widget()->setWindowTitle(QStr(text));
}

bool TQtForm::Visible() const { return Widget() && Widget()->isVisible(); }

void TQtForm::SetBorderStyle(TBorderStyle style) {
  if (Widget()) Widget()->setWindowFlag(Qt::FramelessWindowHint, style == bsNone);
}

void TQtForm::SetFormStyle(TFormStyle style) {
  if (Widget()) Widget()->setWindowFlag(Qt::WindowStaysOnTopHint, style == fsStayOnTop);
}

void TQtForm::SetColor(TColor color) {
  QWidget* w = Widget();
  if (!w) return;
  QPalette palette = w->palette();
  const QColor c = color == clBtnFace ? palette.color(QPalette::Button)
                                      : QColor(int(color & 0xFF), int(color >> 8 & 0xFF), int(color >> 16 & 0xFF));
  palette.setColor(QPalette::Window, c);
  w->setPalette(palette);
  w->setAutoFillBackground(true);
}

void TQtForm::Show() {
  if (Widget()) Widget()->show();
}

void TQtForm::Raise() {
  if (Widget()) Widget()->raise();
}

void TQtForm::Lower() {
  if (Widget()) Widget()->lower();
}

void TQtForm::CreateNativeWindow() {
  if (Widget()) Widget()->winId();
}

void TQtForm::DestroyNativeWindow() {
  if (TFormLink* link = LinkOf(Widget())) link->DestroyNative();
}

bool TQtForm::NativeWindowExists() const { return Widget() && Widget()->testAttribute(Qt::WA_WState_Created); }

void TQtForm::PlaceOnMonitor(std::uintptr_t monitor) {
  QWidget* window = Widget();
  QScreen* screen = ScreenOf(monitor);
  if (!window || !screen) return;
  if (NativeWindowExists() && window->windowHandle() && window->windowHandle()->screen() != screen)
    DestroyNativeWindow();
  window->setScreen(screen);
}

double TQtForm::PixelRatio() const { return Widget() ? Widget()->devicePixelRatioF() : 1.0; }

void TQtForm::Close() {
  if (Widget()) Widget()->close();
}

void TQtForm::Activate() {
  if (!Widget()) return;
  Widget()->raise();
  Widget()->activateWindow();
}

bool TQtForm::Active() const { return Widget() && Widget()->isActiveWindow(); }

TRect TQtForm::FrameRect() const {
  QWidget* w = Widget();
  if (!w) return {};
  // The window's own margins are the window system's latest word; the widget's copy of them can
  // lag behind until the window is next moved or resized.
  const QRect r = w->windowHandle() && !w->windowFlags().testFlag(Qt::FramelessWindowHint)
                      ? w->geometry().marginsAdded(w->windowHandle()->frameMargins())
                      : w->frameGeometry();
  return TRect{r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
}

bool TQtForm::FrameKnown() const {
  QWidget* w = Widget();
  return w && !w->windowFlags().testFlag(Qt::FramelessWindowHint) && w->windowHandle() &&
         !w->windowHandle()->frameMargins().isNull();
}

void TQtForm::MoveFrame(int left, int top) {
  if (Widget()) Widget()->move(left, top);
}

void TQtForm::SetClientSize(int width, int height) {
  if (Widget()) Widget()->resize(width, height);
}

void TQtForm::RunModal() {
  QWidget* window = Widget();
  if (!window) return;
  const TOtherFormsBlocked blocked(window);
  // The window that had the keyboard gets it back: a window manager may give it to nobody when
  // the modal form closes, and a caption being typed on the surface must go on.
  const QPointer<QWidget> before = QApplication::activeWindow();
  QEventLoop loop;
  QPointer<QWidget> guard(window);
  // The loop ends when the window hides, however that came about (its button, its close box,
  // Escape, the end of the program).
  class THideWatch : public QObject {
   public:
    THideWatch(QWidget* w, QEventLoop& l) : FLoop(l) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
      // A window the window system takes off the screen (minimised) is still open.
      if (e->type() == QEvent::Hide && !e->spontaneous()) FLoop.quit();
      return false;
    }

   private:
    QEventLoop& FLoop;
  } watch(window, loop);
  const QMetaObject::Connection gone = QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
  window->show();
  window->raise();
  window->activateWindow();
  loop.exec(QEventLoop::DialogExec);
  QObject::disconnect(gone);
  if (guard) guard->removeEventFilter(&watch);
  if (before && before != guard && before->isVisible()) before->activateWindow();
}

std::uintptr_t TQtForm::NativeWindow() const { return Widget() ? Widget()->internalWinId() : 0; }

QWidget* QtOf(const TForm* form) { return form ? QtWidget(*form) : nullptr; }

TForm* FormOfWindow(const QWidget* widget) {
  const TFormLink* link = widget ? LinkOf(widget) : nullptr;
  return link ? link->Form() : nullptr;
}

std::unique_ptr<TWSControl> TQtWidgetSet::CreateForm(TForm& form, TFormRole role) {
  return std::make_unique<TQtForm>(form, role);
}

