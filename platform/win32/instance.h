#pragma once

#include <cstdint>
#include <string>

// The one-copy-per-desktop lock: a named mutex, created and tested in one call.
class TWin32InstanceMutex {
 public:
  enum class TState {
    Owner,     // this copy made the mutex and owns it
    Running,   // another copy holds it
    Unlocked,  // the mutex could not be had at all; this copy runs without one
  };

  // CreateMutex reports in the same call whether the mutex existed, so two copies started at
  // the same instant cannot both find it missing and both make it. The owner is the calling
  // thread; destroy the object on that thread.
  static TWin32InstanceMutex Acquire(const std::string& name);

  TWin32InstanceMutex(TWin32InstanceMutex&& other) noexcept;
  TWin32InstanceMutex& operator=(TWin32InstanceMutex&& other) noexcept;
  TWin32InstanceMutex(const TWin32InstanceMutex&) = delete;
  TWin32InstanceMutex& operator=(const TWin32InstanceMutex&) = delete;
  // Releases and closes an owned mutex; the name is free again once no handle to it is left.
  ~TWin32InstanceMutex();

  TState State() const { return FState; }

 private:
  TWin32InstanceMutex(void* handle, TState state) : FHandle(handle), FState(state) {}
  void Close();

  void* FHandle = nullptr;
  TState FState = TState::Unlocked;
};

// RegisterWindowMessageA: the same number in every program that asks by the same name; 0 on
// failure.
unsigned RegisterMessageNumber(const std::string& name);

// Sends `message` (wParam 0, lParam 0) to every top-level window of the desktop and returns once
// they have handled it. A window that does not answer within `timeoutMs` is passed over, so a
// hung program elsewhere on the desktop cannot hang the sender. Lets whichever program answers
// take the foreground. False when the message could not be sent.
bool BroadcastMessage(unsigned message, unsigned timeoutMs);
