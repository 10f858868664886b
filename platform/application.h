#pragma once

#include <QApplication>
#include <QPalette>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "platform/raster/colors.h"
#include "platform/sysutils.h"

class TDesktopServices;
class TForm;
class QWidget;

// The application object: the message loop, the error report for exceptions that escape an
// event handler, the main-window hook and the desktop services.
class TApplication : public QApplication {
  Q_OBJECT
 public:
  using THook = std::function<bool(TMessage&)>;

  TApplication(int& argc, char** argv);
  ~TApplication() override;

  QString Title;

  // Catches an exception escaping any event handler, shows it and carries on.
  bool notify(QObject* receiver, QEvent* event) override;

  void Initialize();
  // Shows the main form and runs the message loop until it closes; then destroys the forms,
  // the last created first.
  void Run();
  // Ends the message loop and every loop running inside it (modal dialogs, pop-up menus, the
  // help window); Run then destroys the forms as after the exit command. Called before Run, Run
  // shows nothing.
  void Terminate();
  bool Terminated() const { return FTerminated; }
  // Creates a form; the first one created is the main form. Forms stay alive until Run ends.
  template <class TFormClass>
  void CreateForm(TFormClass*& reference) {
    reference = new TFormClass();
    RegisterForm(reference);
  }
  TForm* MainForm() const;
  // Whether `form` is one of the forms created with CreateForm.
  bool IsForm(const TForm* form) const;

  // Handles every pending message, repaints included, then returns.
  void ProcessMessages();
  // Un-minimises the application's windows.
  void Restore();
  // Brings the most recently active window, if visible and enabled, to the foreground.
  void BringToFront();

  // Hooks see each message sent to the application window before anything else; a hook that
  // returns true consumes it.
  void HookMainWindow(const THook& hook, const void* owner);
  void UnhookMainWindow(const void* owner);
  // Delivers a message to the application window (through the hooks).
  bool DeliverToMainWindow(TMessage& message);

  // The modal error box: error icon, the application title, the text with a full stop
  // appended when its last character sorts after '.'.
  void ShowException(const String& text);
  static String ExceptionText(const String& text);
  // A parent for dialogs and message boxes: a parentless one would lie below the stay-on-top
  // windows and could not be seen.
  QWidget* DialogParent() const;

  TDesktopServices& Desktop();
  void SetDesktop(std::unique_ptr<TDesktopServices> desktop);

 private:
  void RegisterForm(TForm* form);
  void DestroyForms();
  void TrackActiveWindow(QWindow* window);

  std::vector<TForm*> FForms;
  struct THookEntry {
    THook Hook;
    const void* Owner;
  };
  std::vector<THookEntry> FHooks;
  QPointer<QWidget> FLastActive;
  std::unique_ptr<TDesktopServices> FDesktop;
  bool FShowingException = false;
  bool FTerminated = false;
};

extern TApplication* Application;

// The system colours as the desktop's palette has them: each reference with a counterpart among
// the palette's roles takes that colour, the others (captions, borders, the desktop) keep the
// classic one.
std::array<TColor, SystemColorCount> DesktopColorScheme(const QPalette& palette);

// A process-wide atom for `name` (non-zero), the same for every call with it.
std::uint16_t GlobalAddAtom(std::string_view name);
void GlobalDeleteAtom(std::uint16_t atom);

// Screen size in device pixels (the primary screen).
int ScreenWidth();
int ScreenHeight();

// Runs an event handler so that an exception escaping it is reported by the application's
// error report and the program carries on, without unwinding through the toolkit's frames.
template <class F>
void RunHandler(F&& handler) {
  try {
    handler();
  } catch (const Exception& e) {
    Application->ShowException(e.Message());
  } catch (const std::exception& e) {
    Application->ShowException(e.what());
  } catch (...) {
    Application->ShowException(String());
  }
}

// A slot calling `method` of `object` as an event handler.
template <class T>
auto Handler(T* object, void (T::*method)()) {
  return [object, method] { RunHandler([&] { (object->*method)(); }); };
}
