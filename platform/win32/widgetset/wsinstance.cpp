// The one-copy rule and the polite end on Windows, for the framework's instance.h and ending.h:
// the named mutex, the registered message broadcast to every top-level window, and WM_CLOSE or
// the end of the session to a hidden window of ours (TWin32MessageWindow).
#include <functional>
#include <memory>

#include "platform/ending.h"
#include "platform/instance.h"
#include "platform/timers.h"
#include "platform/win32/instance.h"
#include "platform/win32/messagewindow.h"
#include "platform/win32/widgetset/win32api.h"

namespace {

// How long a hung window elsewhere on the desktop may hold up the broadcast.
constexpr unsigned BroadcastTimeoutMs = 2000;

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
  explicit TImpl(std::function<void(const String&)> handler) {
    FWindow.SetFallback([handler = std::move(handler)](unsigned message, std::uintptr_t, std::intptr_t,
                                                       std::intptr_t& result) {
      if (message < 0xC000 || message > 0xFFFF) return false;
      char name[256];
      const int length = GetClipboardFormatNameA(message, name, sizeof name);
      if (length <= 0) return false;
      // Answered at once; the handler runs from the loop, after the sender has been let go.
      QueueCall([handler, text = String(name, static_cast<std::size_t>(length))] { handler(text); });
      result = 0;
      return true;
    });
  }

 private:
  TWin32MessageWindow FWindow;
};

TActivationListener::TActivationListener(const String&, std::function<void(const String&)> handler)
    : FImpl(std::make_unique<TImpl>(std::move(handler))) {}
TActivationListener::~TActivationListener() = default;

// WM_CLOSE (a polite "end task") and the end of the session end the program as its exit command
// does, from the message loop.
class TTerminationSignals::TImpl {
 public:
  explicit TImpl(std::function<void()> terminate) : FTerminate(std::move(terminate)) {
    FWindow.SetHandler(WM_CLOSE, [this](std::uintptr_t, std::intptr_t) { return End(); });
    FWindow.SetHandler(WM_QUERYENDSESSION, [](std::uintptr_t, std::intptr_t) -> std::intptr_t { return TRUE; });
    FWindow.SetHandler(WM_ENDSESSION, [this](std::uintptr_t ending, std::intptr_t) { return ending ? End() : 0; });
  }

 private:
  std::intptr_t End() {
    if (!FEnding) {
      FEnding = true;
      QueueCall(FTerminate);
    }
    return 0;
  }

  std::function<void()> FTerminate;
  bool FEnding = false;
  TWin32MessageWindow FWindow;
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
