#include "platform/application.h"

#include <QMessageBox>
#include <QScreen>
#include <QTranslator>
#include <QWidget>
#include <QWindow>
#include <algorithm>

#include "platform/desktop.h"
#include "platform/qt/qtcontrols.h"
#include "platform/qt/qtform.h"
#include "platform/qt/qtpictures.h"
#include "platform/qt/qtraster.h"

TApplication* Application = nullptr;

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  Application = this;
  InstallQtRasterEngines();
  InstallQtWidgetSet();
  InstallQtPictureRenderer();
  // Qt's dialogs, standard buttons and edit menus speak the program's language, whatever the
  // desktop's locale.
  auto* qtTexts = new QTranslator(this);
  if (qtTexts->load(QStringLiteral(":/translations/qtbase_zh_CN.qm"))) installTranslator(qtTexts);
  // The main form's closing ends the program, not the last window's.
  setQuitOnLastWindowClosed(false);
  connect(this, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) { TrackActiveWindow(window); });
}

TApplication::~TApplication() {
  DestroyForms();
  FDesktop.reset();
  if (Application == this) Application = nullptr;
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const Exception& e) {
    ShowException(e.Message());
  } catch (const std::exception& e) {
    ShowException(e.what());
  } catch (...) {
    ShowException(String());
  }
  return false;
}

void TApplication::Initialize() {
  if (!FDesktop) FDesktop = CreateDesktopServices();
  // The system colours of the colour list are the desktop's own.
  SetSystemColorScheme(DesktopColorScheme(palette()));
}

std::array<TColor, SystemColorCount> DesktopColorScheme(const QPalette& palette) {
  std::array<TColor, SystemColorCount> scheme = ClassicSystemColorScheme();
  const auto put = [&](TColor reference, QPalette::ColorGroup group, QPalette::ColorRole role) {
    const QColor c = palette.color(group, role);
    scheme[reference & 0xFF] = TColor(c.red()) | TColor(c.green()) << 8 | TColor(c.blue()) << 16;
  };
  const struct {
    TColor Reference;
    QPalette::ColorRole Role;
  } roles[] = {
      {clScrollBar, QPalette::Button},     {clMenu, QPalette::Window},
      {clWindow, QPalette::Base},          {clMenuText, QPalette::WindowText},
      {clWindowText, QPalette::Text},      {clAppWorkSpace, QPalette::Dark},
      {clHighlight, QPalette::Highlight},  {clHighlightText, QPalette::HighlightedText},
      {clBtnFace, QPalette::Button},       {clBtnShadow, QPalette::Dark},
      {clBtnText, QPalette::ButtonText},   {clBtnHighlight, QPalette::Light},
      {cl3DDkShadow, QPalette::Shadow},    {cl3DLight, QPalette::Midlight},
      {clInfoText, QPalette::ToolTipText}, {clInfoBk, QPalette::ToolTipBase},
      {clHotLight, QPalette::Link},        {clMenuHighlight, QPalette::Highlight},
      {clMenuBar, QPalette::Window},
  };
  for (const auto& r : roles) put(r.Reference, QPalette::Active, r.Role);
  put(clGrayText, QPalette::Disabled, QPalette::Text);
  return scheme;
}

void TApplication::RegisterForm(TForm* form) { FForms.push_back(form); }

void TApplication::DestroyForms() {
  // The last created first; a form's destructor may still ask which forms there are.
  while (!FForms.empty()) {
    TForm* form = FForms.back();
    FForms.pop_back();
    delete form;
  }
}

bool TApplication::IsForm(const TForm* form) const {
  return form && std::find(FForms.begin(), FForms.end(), form) != FForms.end();
}

TForm* TApplication::MainForm() const { return FForms.empty() ? nullptr : FForms.front(); }

void TApplication::Run() {
  TForm* main = MainForm();
  // exec() would forget an ending asked for before it started.
  if (main && !FTerminated) {
    main->Show();
    exec();
  }
  DestroyForms();
}

void TApplication::Terminate() {
  FTerminated = true;
  // Unlike quit(), exit() leaves the nested loops too and asks no window whether it may close.
  QCoreApplication::exit(0);
}

void TApplication::ProcessMessages() { processEvents(QEventLoop::AllEvents); }

void TApplication::TrackActiveWindow(QWindow* window) {
  if (!window) return;
  for (QWidget* w : topLevelWidgets()) {
    if (w->windowHandle() == window && w->windowType() != Qt::Popup) {
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
  if (!target) target = QtOf(MainForm());
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

String TApplication::ExceptionText(const String& text) {
  // Any byte of a character past ASCII sorts after '.' too.
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') return text + '.';
  return text;
}

QWidget* TApplication::DialogParent() const {
  if (QWidget* modal = activeModalWidget()) return modal;
  if (QWidget* active = activeWindow(); active && active->isVisible()) return active;
  if (FLastActive && FLastActive->isVisible()) return FLastActive;
  return QtOf(MainForm());
}

void TApplication::ShowException(const String& text) {
  QMessageBox box(QMessageBox::Critical, Title, QStr(ExceptionText(text)), QMessageBox::Ok, DialogParent());
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

std::uint16_t GlobalAddAtom(std::string_view name) {
  // Atoms share the registered messages' range; only their identity matters here.
  return static_cast<std::uint16_t>(RegisterWindowMessage("atom:" + String(name)));
}

void GlobalDeleteAtom(std::uint16_t) {}
