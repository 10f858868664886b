#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

// SIGTERM and SIGINT (on Windows: WM_CLOSE to the program's windows, as a polite "end task"
// sends) end the program the way its exit command does: `terminate` is called on
// the GUI thread, from the message loop, never from the signal handler itself. Signals that
// arrive while the program is already ending are let go.
class TTerminationSignals : public QObject {
  Q_OBJECT
 public:
  explicit TTerminationSignals(std::function<void()> terminate, QObject* parent = nullptr);
  ~TTerminationSignals() override;

 private:
  void Receive();

  QSocketNotifier* FNotifier = nullptr;
  std::function<void()> FTerminate;
  bool FTerminating = false;
};

// While one exists, losing the connection to the display ends the program at once: `release`
// lets go what other copies would trip over (the instance lock, the activation socket), one
// line on standard error says why, and the exit status is 1. Nothing else runs: every window
// went with the display, and the toolkit would otherwise call exit() from inside its event
// dispatch, running static destructors while its threads and objects still live.
class TLostDisplayGuard {
 public:
  explicit TLostDisplayGuard(std::function<void()> release);
  ~TLostDisplayGuard();
  TLostDisplayGuard(const TLostDisplayGuard&) = delete;
  TLostDisplayGuard& operator=(const TLostDisplayGuard&) = delete;

  // The line written when the display is lost.
  static QByteArray Message(const QByteArray& display);
};
