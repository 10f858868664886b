#include "platform/ending.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QObject>
#include <QSocketNotifier>
#include <QThread>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/x11/x11connection.h"

namespace {

// The self-pipe between the signal handler and the GUI thread. It lives as long as the process:
// a signal arriving while the program is being torn down still writes into it, never into a
// descriptor that was reused for something else.
int SignalPipe[2] = {-1, -1};

extern "C" void OnTerminationSignal(int) {
  const int saved = errno;
  const char byte = 1;
  // A full pipe already holds a wake-up; nothing is lost by dropping this one.
  [[maybe_unused]] const ssize_t written = write(SignalPipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

class TTerminationSignals::TImpl : public QObject {
 public:
  explicit TImpl(std::function<void()> terminate);

 private:
  void Receive();

  QSocketNotifier* FNotifier = nullptr;
  std::function<void()> FTerminate;
  bool FTerminating = false;
};

TTerminationSignals::TTerminationSignals(std::function<void()> terminate)
    : FImpl(std::make_unique<TImpl>(std::move(terminate))) {}

// The handlers stay installed: they only write into the pipe, which outlives this object.
TTerminationSignals::~TTerminationSignals() = default;

TTerminationSignals::TImpl::TImpl(std::function<void()> terminate) : FTerminate(std::move(terminate)) {
  if (SignalPipe[0] < 0 && pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    qWarning("SIGTERM and SIGINT will end the program without clean-up: %s", std::strerror(errno));
    return;
  }
  FNotifier = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read, this);
  connect(FNotifier, &QSocketNotifier::activated, this, &TImpl::Receive);
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  // Whatever system call the signal interrupts on another thread carries on.
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

void TTerminationSignals::TImpl::Receive() {
  char drained[64];
  while (read(SignalPipe[0], drained, sizeof drained) > 0) {
  }
  if (FTerminating) return;
  FTerminating = true;
  if (FTerminate) FTerminate();
}

namespace {

// The guard's state, reached from the message handler and the exit handler.
std::function<void()>* LostDisplayRelease = nullptr;
xcb_connection_t* WatchedConnection = nullptr;
QtMessageHandler PreviousMessageHandler = nullptr;
bool ExitHandlerInstalled = false;

bool DisplayLost() { return WatchedConnection && xcb_connection_has_error(WatchedConnection); }

bool OnGuiThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

[[noreturn]] void EndForLostDisplay() {
  // The release runs once even if it should itself report something through the handler.
  if (std::function<void()>* release = std::exchange(LostDisplayRelease, nullptr)) (*release)();
  const String line = TLostDisplayGuard::Message(qgetenv("DISPLAY").toStdString());
  [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, line.data(), line.size());
  _exit(1);
}

// The xcb platform reports a broken connection with a warning on the GUI thread and then calls
// exit(1) from inside its event dispatch; the warning is where the program takes over.
void WatchMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (OnGuiThread() && LostDisplayRelease && DisplayLost()) EndForLostDisplay();
  if (PreviousMessageHandler) PreviousMessageHandler(type, context, text);
}

// For an exit() whose warning never reached the handler above (another handler installed later,
// or an exit from elsewhere on a dead connection).
void OnExit() {
  if (LostDisplayRelease && DisplayLost()) EndForLostDisplay();
}

}  // namespace

TLostDisplayGuard::TLostDisplayGuard(std::function<void()> release) {
  WatchedConnection = TX11Connection::OfQt().Connection;
  if (!WatchedConnection) return;
  LostDisplayRelease = new std::function<void()>(std::move(release));
  PreviousMessageHandler = qInstallMessageHandler(WatchMessages);
  if (!ExitHandlerInstalled) ExitHandlerInstalled = std::atexit(OnExit) == 0;
}

TLostDisplayGuard::~TLostDisplayGuard() {
  if (!WatchedConnection) return;
  qInstallMessageHandler(PreviousMessageHandler);
  PreviousMessageHandler = nullptr;
  delete std::exchange(LostDisplayRelease, nullptr);
  // The connection goes with the application object, which outlives the guard.
  WatchedConnection = nullptr;
}

String TLostDisplayGuard::Message(const String& display) {
  return "Quilmar: the connection to the X server " + (display.empty() ? String("of this desktop") : display) +
         " was lost; ending.\n";
}
