// The one-copy rule and the polite end on Windows, for the framework's instance.h and ending.h:
// the named mutex, the registered message broadcast to every top-level window, and WM_CLOSE or
// the end of the session to a hidden window of ours.
#include <functional>
#include <memory>

#include "platform/ending.h"
#include "platform/instance.h"
#include "platform/timers.h"
#include "platform/win32/instance.h"
#include "platform/win32/widgetset/win32api.h"

namespace {

// How long a hung window elsewhere on the desktop may hold up the broadcast.
constexpr unsigned BroadcastTimeoutMs = 2000;

// A hidden top-level window (broadcasts and a polite end reach top-level windows only) whose
// messages go to `Handle`; never shown.
class THiddenWindow {
 public:
  using THandler = std::function<bool(UINT, WPARAM, LPARAM, LRESULT&)>;

  explicit THiddenWindow(THandler handler) : FHandler(std::move(handler)) {
    static const wchar_t* const Class = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = Procedure;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"QuilmarHidden";
      RegisterClassW(&wc);
      return L"QuilmarHidden";
    }();
    FWindow = CreateWindowExW(WS_EX_TOOLWINDOW, Class, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              GetModuleHandleW(nullptr), this);
  }
  ~THiddenWindow() {
    if (FWindow) DestroyWindow(FWindow);
  }
  THiddenWindow(const THiddenWindow&) = delete;
  THiddenWindow& operator=(const THiddenWindow&) = delete;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
      SetWindowLongPtrW(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<THiddenWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    LRESULT result = 0;
    if (self && self->FHandler && self->FHandler(message, wParam, lParam, result)) return result;
    return DefWindowProcW(window, message, wParam, lParam);
  }

  THandler FHandler;
  HWND FWindow = nullptr;
};

}  // namespace

struct TInstanceLock::THeld {
  TWin32InstanceMutex Mutex;
};

TInstanceLock::TInstanceLock(std::unique_ptr<THeld> held) : FHeld(std::move(held)) {}
TInstanceLock::~TInstanceLock() = default;

std::unique_ptr<TInstanceLock> TInstanceLock::Acquire(const String& name) {
  TWin32InstanceMutex mutex = TWin32InstanceMutex::Acquire(name);
  // Without a mutex at all the copy runs unlocked rather than not at all.
  if (mutex.State() == TWin32InstanceMutex::TState::Running) return nullptr;
  return std::unique_ptr<TInstanceLock>(new TInstanceLock(std::make_unique<THeld>(THeld{std::move(mutex)})));
}

bool SendActivation(const String&, const String& message) {
  const unsigned number = RegisterMessageNumber(message);
  return number != 0 && BroadcastMessage(number, BroadcastTimeoutMs);
}

// Registered messages share their names with the clipboard formats: a broadcast's name is read
// back from its number, so the handler hears the message by name as elsewhere. Only broadcasts
// of registered messages (0xC000..0xFFFF) reach the hidden window, each costing one lookup.
class TActivationListener::TImpl {
 public:
  explicit TImpl(std::function<void(const String&)> handler)
      : FWindow([handler = std::move(handler)](UINT message, WPARAM, LPARAM, LRESULT& result) {
          if (message < 0xC000 || message > 0xFFFF) return false;
          char name[256];
          const int length = GetClipboardFormatNameA(message, name, sizeof name);
          if (length <= 0) return false;
          // Answered at once; the handler runs from the loop, after the sender has been let go.
          QueueCall([handler, text = String(name, static_cast<std::size_t>(length))] { handler(text); });
          result = 0;
          return true;
        }) {}

 private:
  THiddenWindow FWindow;
};

TActivationListener::TActivationListener(const String&, std::function<void(const String&)> handler)
    : FImpl(std::make_unique<TImpl>(std::move(handler))) {}
TActivationListener::~TActivationListener() = default;

// WM_CLOSE (a polite "end task") and the end of the session end the program as its exit command
// does, from the message loop.
class TTerminationSignals::TImpl {
 public:
  explicit TImpl(std::function<void()> terminate)
      : FWindow([this, terminate = std::move(terminate)](UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
          const bool ending = message == WM_CLOSE || (message == WM_ENDSESSION && wParam);
          if (message == WM_QUERYENDSESSION) {
            result = TRUE;
            return true;
          }
          if (!ending) return false;
          if (!FEnding) {
            FEnding = true;
            QueueCall(terminate);
          }
          result = 0;
          return true;
        }) {}

 private:
  bool FEnding = false;
  THiddenWindow FWindow;
};

TTerminationSignals::TTerminationSignals(std::function<void()> terminate)
    : FImpl(std::make_unique<TImpl>(std::move(terminate))) {}
TTerminationSignals::~TTerminationSignals() = default;

// No connection to a display server can be lost on Windows: the guard has nothing to watch.
TLostDisplayGuard::TLostDisplayGuard(std::function<void()>) {}
TLostDisplayGuard::~TLostDisplayGuard() = default;

String TLostDisplayGuard::Message(const String& display) {
  return "Quilmar: the connection to the X server " + (display.empty() ? String("of this desktop") : display) +
         " was lost; ending.\n";
}
