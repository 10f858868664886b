#include "platform/instance.h"

#include <QTimer>

#include "platform/win32/instance.h"
#include "platform/win32/messagewindow.h"

namespace {

// How long the second copy waits for any one window of the desktop to answer the broadcast.
constexpr unsigned BroadcastTimeoutMs = 2000;

}  // namespace

TInstanceLock::TInstanceLock(std::unique_ptr<TWin32InstanceMutex> mutex) : FMutex(std::move(mutex)) {}

TInstanceLock::~TInstanceLock() = default;

std::unique_ptr<TInstanceLock> TInstanceLock::Acquire(const QString& name) {
  auto mutex = std::make_unique<TWin32InstanceMutex>(TWin32InstanceMutex::Acquire(name.toStdString()));
  if (mutex->State() == TWin32InstanceMutex::TState::Running) return nullptr;
  // Unlocked: the copy runs without a lock rather than not at all, as on X11.
  return std::unique_ptr<TInstanceLock>(new TInstanceLock(std::move(mutex)));
}

bool SendActivation(const QString&, const QString& message) {
  return BroadcastMessage(RegisterMessageNumber(message.toStdString()), BroadcastTimeoutMs);
}

TActivationListener::TActivationListener(const QString&, std::function<void(const QString&)> handler,
                                         QObject* parent)
    : QObject(parent), FWindow(std::make_unique<TWin32MessageWindow>()), FHandler(std::move(handler)) {
  // The broadcast goes to every top-level window, the forms' too; only this hidden window
  // answers it, so the handler runs once per broadcast however many forms there are. The
  // message is the one every second copy sends (main's activation message); Windows knows
  // messages by name, so there is nothing else to tell them apart by.
  const QString message = QStringLiteral("KezOnlyOne");
  const unsigned number = RegisterMessageNumber(message.toStdString());
  if (number == 0) return;
  FWindow->SetHandler(number, [this, message](std::uintptr_t, std::intptr_t) {
    // The sender waits for the answer: answer at once, and act from the message loop.
    if (!FQueued) {
      FQueued = true;
      QTimer::singleShot(0, this, [this, message] {
        FQueued = false;
        FHandler(message);
      });
    }
    return std::intptr_t{0};
  });
}

TActivationListener::~TActivationListener() = default;
