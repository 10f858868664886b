#include "platform/application.h"

#include <QMessageBox>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include "platform/desktop.h"

TApplication* Application = nullptr;

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  Application = this;
  // The main form's closing ends the program, not the last window's.
  setQuitOnLastWindowClosed(false);
  connect(this, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) { TrackActiveWindow(window); });
}

TApplication::~TApplication() {
  for (auto it = FForms.rbegin(); it != FForms.rend(); ++it) delete it->data();
  FForms.clear();
  FDesktop.reset();
  if (Application == this) Application = nullptr;
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const Exception& e) {
    ShowException(e.Message());
  } catch (const std::exception& e) {
    ShowException(QString::fromUtf8(e.what()));
  } catch (...) {
    ShowException(QString());
  }
  return false;
}

void TApplication::Initialize() {
  if (!FDesktop) FDesktop = CreateDesktopServices();
}

void TApplication::RegisterForm(QWidget* form) { FForms.emplace_back(form); }

QWidget* TApplication::MainForm() const { return FForms.empty() ? nullptr : FForms.front().data(); }

void TApplication::Run() {
  if (QWidget* main = MainForm()) {
    main->show();
    exec();
  }
  for (auto it = FForms.rbegin(); it != FForms.rend(); ++it) delete it->data();
  FForms.clear();
}

void TApplication::ProcessMessages() { processEvents(QEventLoop::AllEvents); }

void TApplication::TrackActiveWindow(QWindow* window) {
  if (!window) return;
  for (QWidget* w : topLevelWidgets()) {
    if (w->windowHandle() == window && !(w->windowFlags() & Qt::Popup)) {
      FLastActive = w;
      return;
    }
  }
}

void TApplication::Restore() {
  for (QWidget* w : topLevelWidgets()) {
    if (w->isVisible() && w->isMinimized()) w->showNormal();
  }
}

void TApplication::BringToFront() {
  QWidget* target = FLastActive;
  if (!target) target = MainForm();
  if (!target || !target->isVisible() || !target->isEnabled()) return;
  target->raise();
  target->activateWindow();
  // A window manager may refuse the request above when another program has the focus.
  Desktop().ActivateWindow(target->window()->winId());
}

void TApplication::HookMainWindow(const THook& hook, const void* owner) { FHooks.push_back({hook, owner}); }

void TApplication::UnhookMainWindow(const void* owner) {
  std::erase_if(FHooks, [owner](const THookEntry& e) { return e.Owner == owner; });
}

bool TApplication::DeliverToMainWindow(TMessage& message) {
  for (const THookEntry& entry : std::vector<THookEntry>(FHooks)) {
    if (entry.Hook(message)) return true;
  }
  return false;
}

QString TApplication::ExceptionText(const QString& text) {
  if (!text.isEmpty() && text.back() > u'.') return text + u'.';
  return text;
}

QWidget* TApplication::DialogParent() const {
  if (QWidget* modal = activeModalWidget()) return modal;
  if (QWidget* active = activeWindow(); active && active->isVisible()) return active;
  if (FLastActive && FLastActive->isVisible()) return FLastActive;
  return MainForm();
}

void TApplication::ShowException(const QString& text) {
  QMessageBox box(QMessageBox::Critical, Title, ExceptionText(text), QMessageBox::Ok, DialogParent());
  box.setWindowFlag(Qt::WindowStaysOnTopHint);
  box.exec();
}

TDesktopServices& TApplication::Desktop() {
  if (!FDesktop) FDesktop = CreateDesktopServices();
  return *FDesktop;
}

void TApplication::SetDesktop(std::unique_ptr<TDesktopServices> desktop) { FDesktop = std::move(desktop); }

static QSize ScreenDeviceSize() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return {};
  return screen->geometry().size() * screen->devicePixelRatio();
}

int ScreenWidth() { return ScreenDeviceSize().width(); }
int ScreenHeight() { return ScreenDeviceSize().height(); }

void ShowMessage(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, Application ? Application->Title : QString(), text, QMessageBox::Ok,
                  parent ? parent : (Application ? Application->DialogParent() : nullptr));
  box.exec();
}

std::uint16_t GlobalAddAtom(const QString& name) {
  // Atoms share the registered messages' range; only their identity matters here.
  return static_cast<std::uint16_t>(RegisterWindowMessage(QStringLiteral("atom:") + name));
}

void GlobalDeleteAtom(std::uint16_t) {}
