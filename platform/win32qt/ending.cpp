#include "platform/ending.h"

#include <QTimer>
#include <utility>

#include "platform/win32/messagewindow.h"

// Windows asks a program to end by closing its top-level windows (taskkill without /F, the task
// manager's "end task") and, at log-off, with WM_QUERYENDSESSION and WM_ENDSESSION; the toolkit
// turns those into the main form's close for its own windows. Our hidden window takes WM_CLOSE
// the same way: the program ends as after its exit command.
TTerminationSignals::TTerminationSignals(std::function<void()> terminate, QObject* parent)
    : QObject(parent), FTerminate(std::move(terminate)) {
  FWindow = std::make_unique<TWin32MessageWindow>();
  FWindow->SetHandler(0x0010 /* WM_CLOSE */, [this](std::uintptr_t, std::intptr_t) {
    QTimer::singleShot(0, this, [this] { Receive(); });
    return std::intptr_t{0};
  });
}

TTerminationSignals::~TTerminationSignals() = default;

void TTerminationSignals::Receive() {
  if (FTerminating) return;
  FTerminating = true;
  FTerminate();
}

// A Windows desktop does not go away under a running program the way an X display does.
TLostDisplayGuard::TLostDisplayGuard(std::function<void()>) {}
TLostDisplayGuard::~TLostDisplayGuard() = default;

QByteArray TLostDisplayGuard::Message(const QByteArray&) { return {}; }
