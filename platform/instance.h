#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QLockFile;
class QSocketNotifier;

// The one-copy-per-desktop rule. Acquire tests for a running copy and takes the lock in one
// atomic step, before the application object exists.
//
// On Windows the lock is the named mutex of that name and the activation is the registered
// message of that name, broadcast to every top-level window of the desktop. Elsewhere:
//
// The lock and the activation socket live in a folder only this user can enter: the runtime
// folder when it is the user's own and private, else a private folder of ours in the temp
// folder, else one in the home folder. Another user can neither hold our lock nor talk to us.
class TInstanceLock {
 public:
  // Null when another copy holds the lock. A lock left by a killed copy is taken over. When no
  // private folder can be had at all, the copy runs without a lock rather than not at all.
  static std::unique_ptr<TInstanceLock> Acquire(const QString& name);
  ~TInstanceLock();

 private:
  explicit TInstanceLock(std::unique_ptr<QLockFile> lock);
  std::unique_ptr<QLockFile> FLock;
};

// Asks the running copy to come forward with `message`. Waits a moment for a copy that holds
// the lock but is not listening yet. Returns true when the message was delivered.
bool SendActivation(const QString& name, const QString& message);

// The running copy's side: calls `handler` for every activation message that arrives, on the
// GUI thread, never for the same message twice before the first call has run. Whatever a local
// client does (sends nothing, sends too much, floods) costs the running copy a bounded,
// short amount of work and memory.
class TActivationListener : public QObject {
  Q_OBJECT
 public:
  TActivationListener(const QString& name, std::function<void(const QString&)> handler, QObject* parent = nullptr);
  ~TActivationListener() override;

 private:
  struct TClient;
  void Accept();
  void Read(std::uint64_t serial);
  void Finish(TClient& client);
  void Drop(std::uint64_t serial);

  int FListener = -1;
  QByteArray FSocketPath;
  QSocketNotifier* FAccepting = nullptr;
  std::function<void(const QString&)> FHandler;
  std::vector<std::unique_ptr<TClient> > FClients;  // oldest first
  std::uint64_t FNextSerial = 1;
  QStringList FQueued;
};
