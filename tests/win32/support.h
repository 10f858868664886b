#pragma once

#include <windows.h>

#include <functional>
#include <string>

// This test program started again as a helper process: `win32_tests.exe --child <args>`.
class TChild {
 public:
  explicit TChild(const std::string& args);
  ~TChild();  // ends a helper still running
  TChild(const TChild&) = delete;
  TChild& operator=(const TChild&) = delete;

  bool Started() const { return FProcess != nullptr; }
  // The exit code, or -1 when it has not ended within `timeoutMs`.
  int Wait(unsigned timeoutMs);
  HANDLE Process() const { return FProcess; }

 private:
  HANDLE FProcess = nullptr;
};

// Runs a shell command line of the host system (xdotool …) and waits until it has ended; its
// exit status, or -1 when it could not be started or did not end in time. No single quotes:
// Wine splits the command line the Windows way.
int RunHost(const std::string& commandLine, unsigned timeoutMs = 10000);

// Dispatches this thread's messages until `done` holds or `timeoutMs` has passed; whether it
// held.
bool PumpUntil(const std::function<bool()>& done, unsigned timeoutMs);
void PumpFor(unsigned ms);

// A kernel object name of this run only.
std::string UniqueName(const std::string& base);

// The helpers' entry points (argv after "--child <role>").
int MutexChild(int argc, char** argv);
int ListenChild(int argc, char** argv);
int HotKeyChild(int argc, char** argv);
