#include "platform/application.h"

#include <algorithm>

#include "platform/desktop.h"
#include "platform/forms.h"

TApplication* Application = nullptr;

TApplication::TApplication(int& argc, char** argv) {
  Application = this;
  FHandle = CreateWSApplication(argc, argv);
}

TApplication::~TApplication() {
  DestroyForms();
  FDesktop.reset();
  // The toolkit's application object goes last: the forms and services above still used it.
  FHandle.reset();
  if (Application == this) Application = nullptr;
}

void TApplication::Initialize() {
  if (!FDesktop) FDesktop = CreateDesktopServices();
  // The system colours of the colour list are the desktop's own.
  SetSystemColorScheme(FHandle->DesktopColors());
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
  // The loop would forget an ending asked for before it started.
  if (main && !FTerminated) {
    main->Show();
    FHandle->Run();
  }
  DestroyForms();
}

void TApplication::Terminate() {
  FTerminated = true;
  FHandle->Terminate();
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

void TApplication::ShowException(const String& text) { FHandle->ShowError(Title, ExceptionText(text)); }

TDesktopServices& TApplication::Desktop() {
  if (!FDesktop) FDesktop = CreateDesktopServices();
  return *FDesktop;
}

void TApplication::SetDesktop(std::unique_ptr<TDesktopServices> desktop) { FDesktop = std::move(desktop); }

std::uint16_t GlobalAddAtom(std::string_view name) {
  // Atoms share the registered messages' range; only their identity matters here.
  return static_cast<std::uint16_t>(RegisterWindowMessage("atom:" + String(name)));
}

void GlobalDeleteAtom(std::uint16_t) {}
