#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/raster/colors.h"
#include "platform/sysutils.h"

class TApplication;
class TDesktopServices;
class TForm;

// The widgetset's side of the application: the toolkit's application object and its message
// loop. It reports an exception escaping any event handler through Application->ShowException.
class TWSApplication {
 public:
  virtual ~TWSApplication() = default;
  // The name the program's settings and the window system know it by.
  virtual void SetName(const String& name) = 0;
  // Runs the message loop until Quit or Terminate.
  virtual void Run() = 0;
  // Ends the message loop and every loop running inside it, asking no window whether it may close.
  virtual void Terminate() = 0;
  virtual void ProcessMessages() = 0;
  // Whether pointer moves that queue up while the program is busy reach it merged into the last.
  virtual bool MergesPointerMoves() const = 0;
  virtual void SetMergePointerMoves(bool merge) = 0;
  virtual void Restore() = 0;
  virtual void BringToFront() = 0;
  // The modal error box: error icon, `title`, `text`, above the stay-on-top windows.
  virtual void ShowError(const String& title, const String& text) = 0;
  // The system colours as the desktop has them (see SetSystemColorScheme).
  virtual std::array<TColor, SystemColorCount> DesktopColors() const = 0;
};

// Made by the widgetset the program is built with, for the application object being made: the
// toolkit's own application object, with the widgetset installed.
std::unique_ptr<TWSApplication> CreateWSApplication(int& argc, char** argv);

// The application object: the message loop, the error report for exceptions that escape an
// event handler, the main-window hook and the desktop services.
class TApplication {
 public:
  using THook = std::function<bool(TMessage&)>;

  TApplication(int& argc, char** argv);
  ~TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  String Title;
  void SetName(const String& name) { FHandle->SetName(name); }

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
  void ProcessMessages() { FHandle->ProcessMessages(); }
  // Pointer moves that queue up while the program is busy are merged into the last one, unless
  // this is set false (a stroke needs every point).
  bool MergesPointerMoves() const { return FHandle->MergesPointerMoves(); }
  void SetMergePointerMoves(bool merge) { FHandle->SetMergePointerMoves(merge); }
  // Un-minimises the application's windows.
  void Restore() { FHandle->Restore(); }
  // Brings the most recently active window, if visible and enabled, to the foreground.
  void BringToFront() { FHandle->BringToFront(); }

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

  TDesktopServices& Desktop();
  void SetDesktop(std::unique_ptr<TDesktopServices> desktop);

 private:
  void RegisterForm(TForm* form);
  void DestroyForms();

  std::unique_ptr<TWSApplication> FHandle;
  std::vector<TForm*> FForms;
  struct THookEntry {
    THook Hook;
    const void* Owner;
  };
  std::vector<THookEntry> FHooks;
  std::unique_ptr<TDesktopServices> FDesktop;
  bool FTerminated = false;
};

extern TApplication* Application;

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
