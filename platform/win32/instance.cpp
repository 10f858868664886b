#include "platform/win32/instance.h"

#include <windows.h>

#include <utility>

TWin32InstanceMutex TWin32InstanceMutex::Acquire(const std::string& name) {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, name.c_str());
  const DWORD error = GetLastError();
  if (!mutex) {
    // The object exists but may not be opened by us: another copy (run elevated, say) has it.
    if (error == ERROR_ACCESS_DENIED) return {nullptr, TState::Running};
    // The name taken by another kind of object, or no resources: rather run than not at all.
    return {nullptr, TState::Unlocked};
  }
  if (error == ERROR_ALREADY_EXISTS) {
    // The handle is to the other copy's mutex and does not own it.
    CloseHandle(mutex);
    return {nullptr, TState::Running};
  }
  return {mutex, TState::Owner};
}

TWin32InstanceMutex::TWin32InstanceMutex(TWin32InstanceMutex&& other) noexcept
    : FHandle(std::exchange(other.FHandle, nullptr)), FState(std::exchange(other.FState, TState::Unlocked)) {}

TWin32InstanceMutex& TWin32InstanceMutex::operator=(TWin32InstanceMutex&& other) noexcept {
  if (this != &other) {
    Close();
    FHandle = std::exchange(other.FHandle, nullptr);
    FState = std::exchange(other.FState, TState::Unlocked);
  }
  return *this;
}

TWin32InstanceMutex::~TWin32InstanceMutex() { Close(); }

void TWin32InstanceMutex::Close() {
  if (!FHandle) return;
  ReleaseMutex(FHandle);
  CloseHandle(FHandle);
  FHandle = nullptr;
}

unsigned RegisterMessageNumber(const std::string& name) { return RegisterWindowMessageA(name.c_str()); }

bool BroadcastMessage(unsigned message, unsigned timeoutMs) {
  if (message == 0) return false;
  // Windows lets a program take the foreground only when the one in front allows it; the
  // copy being started is in front (it was just launched), so it passes that on.
  AllowSetForegroundWindow(ASFW_ANY);
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(HWND_BROADCAST, message, 0, 0, SMTO_ABORTIFHUNG | SMTO_NORMAL, timeoutMs,
                             &result) != 0;
}
