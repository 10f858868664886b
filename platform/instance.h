#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;
class QLockFile;

// The one-copy-per-desktop rule. Acquire tests for a running copy and takes the lock in one
// atomic step, before the application object exists.
class TInstanceLock {
 public:
  // Null when another copy holds the lock. A lock left by a killed copy is taken over.
  static std::unique_ptr<TInstanceLock> Acquire(const QString& name);
  ~TInstanceLock();

 private:
  explicit TInstanceLock(std::unique_ptr<QLockFile> lock);
  std::unique_ptr<QLockFile> FLock;
};

// Asks the running copy to come forward with `message`. Waits a moment for a copy that holds
// the lock but is not listening yet. Returns true when the message was delivered.
bool SendActivation(const QString& name, const QString& message);

// The running copy's side: calls `handler` for every activation message that arrives.
class TActivationListener : public QObject {
  Q_OBJECT
 public:
  TActivationListener(const QString& name, std::function<void(const QString&)> handler, QObject* parent = nullptr);
  ~TActivationListener() override;

 private:
  QLocalServer* FServer;
  std::function<void(const QString&)> FHandler;
};
