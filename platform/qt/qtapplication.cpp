#include "platform/qt/qtapplication.h"

#include <QApplication>
#include <QMessageBox>
#include <QPixmapCache>
#include <QPointer>
#include <QScreen>
#include <QTranslator>
#include <QWidget>
#include <QWindow>

#include "platform/application.h"
#include "platform/desktop.h"
#include "platform/forms.h"
#include "platform/qt/qtcontrols.h"
#include "platform/qt/qtform.h"
#include "platform/qt/qtpictures.h"
#include "platform/qt/qtraster.h"

namespace {

QPointer<QWidget> LastActive;

// Qt's application object, reporting an exception that escapes any event handler.
class TQtApplication final : public QApplication, public TWSApplication {
 public:
  TQtApplication(int& argc, char** argv) : QApplication(argc, argv) {
    InstallQtRasterEngines();
    InstallQtWidgetSet();
    InstallQtPictureRenderer();
    // Qt's dialogs, standard buttons and edit menus speak the program's language, whatever the
    // desktop's locale.
    auto* qtTexts = new QTranslator(this);
    if (qtTexts->load(QStringLiteral(":/translations/qtbase_zh_CN.qm"))) installTranslator(qtTexts);
    // The main form's closing ends the program, not the last window's.
    setQuitOnLastWindowClosed(false);
    // Every file dialog and message box makes its standard icons anew, and their scaled pixmaps
    // go into the toolkit's pixmap cache under keys that are never asked for again. Whatever the
    // limit, the cache keeps the text of every key it ever dropped (Qt 6.4), so a program that
    // stays resident all day would grow by a few kilobytes with every dialog it shows. Without
    // the cache the style paints our few small windows directly, which costs microseconds.
    QPixmapCache::setCacheLimit(0);
    connect(this, &QGuiApplication::focusWindowChanged, this, [](QWindow* window) { TrackActiveWindow(window); });
  }

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const Exception& e) {
      Application->ShowException(e.Message());
    } catch (const std::exception& e) {
      Application->ShowException(e.what());
    } catch (...) {
      Application->ShowException(String());
    }
    return false;
  }

  void SetName(const String& name) override { setApplicationName(QStr(name)); }
  void Run() override { exec(); }
  // Unlike quit(), exit() leaves the nested loops too and asks no window whether it may close.
  void Terminate() override { QCoreApplication::exit(0); }
  void ProcessMessages() override { processEvents(QEventLoop::AllEvents); }
  bool MergesPointerMoves() const override { return testAttribute(Qt::AA_CompressHighFrequencyEvents); }
  void SetMergePointerMoves(bool merge) override { setAttribute(Qt::AA_CompressHighFrequencyEvents, merge); }

  void Restore() override {
    for (QWidget* w : topLevelWidgets()) {
      if (w->isVisible() && w->isMinimized()) w->showNormal();
    }
  }

  void BringToFront() override {
    QWidget* target = LastActive;
    if (!target) target = QtOf(Application->MainForm());
    if (!target || !target->isVisible() || !target->isEnabled()) return;
    target->raise();
    target->activateWindow();
    // A window manager may refuse the request above when another program has the focus.
    Application->Desktop().ActivateWindow(target->window()->winId());
  }

  void ShowError(const String& title, const String& text) override {
    QMessageBox box(QMessageBox::Critical, QStr(title), QStr(text), QMessageBox::Ok, QtDialogParent());
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
  }

  std::array<TColor, SystemColorCount> DesktopColors() const override { return DesktopColorScheme(palette()); }

 private:
  static void TrackActiveWindow(QWindow* window) {
    if (!window) return;
    for (QWidget* w : topLevelWidgets()) {
      if (w->windowHandle() == window && w->windowType() != Qt::Popup) {
        LastActive = w;
        return;
      }
    }
  }
};

QSize ScreenDeviceSize() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return {};
  return screen->geometry().size() * screen->devicePixelRatio();
}

}  // namespace

std::unique_ptr<TWSApplication> CreateWSApplication(int& argc, char** argv) {
  return std::make_unique<TQtApplication>(argc, argv);
}

QWidget* QtDialogParent() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  if (QWidget* active = QApplication::activeWindow(); active && active->isVisible()) return active;
  if (LastActive && LastActive->isVisible()) return LastActive;
  return Application ? QtOf(Application->MainForm()) : nullptr;
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

int ScreenWidth() { return ScreenDeviceSize().width(); }
int ScreenHeight() { return ScreenDeviceSize().height(); }
