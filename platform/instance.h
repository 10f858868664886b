#pragma once

#include <functional>
#include <memory>

#include "platform/strings.h"

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
  static std::unique_ptr<TInstanceLock> Acquire(const String& name);
  ~TInstanceLock();
  TInstanceLock(const TInstanceLock&) = delete;
  TInstanceLock& operator=(const TInstanceLock&) = delete;

 private:
  struct THeld;
  explicit TInstanceLock(std::unique_ptr<THeld> held);
  std::unique_ptr<THeld> FHeld;
};

// Asks the running copy to come forward with `message`. Waits a moment for a copy that holds
// the lock but is not listening yet. Returns true when the message was delivered.
bool SendActivation(const String& name, const String& message);

// The running copy's side: calls `handler` for every activation message that arrives, on the
// GUI thread, never for the same message twice before the first call has run. Whatever a local
// client does (sends nothing, sends too much, floods) costs the running copy a bounded,
// short amount of work and memory.
class TActivationListener {
 public:
  TActivationListener(const String& name, std::function<void(const String&)> handler);
  ~TActivationListener();
  TActivationListener(const TActivationListener&) = delete;
  TActivationListener& operator=(const TActivationListener&) = delete;

 private:
  class TImpl;
  std::unique_ptr<TImpl> FImpl;
};
