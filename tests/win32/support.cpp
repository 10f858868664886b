#include "support.h"

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/messagewindow.h"

TChild::TChild(const std::string& args) {
  char self[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  if (length == 0 || length == MAX_PATH) return;
  std::string line = "\"" + std::string(self, length) + "\" --child " + args;
  std::vector<char> buffer(line.begin(), line.end());
  buffer.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) return;
  CloseHandle(info.hThread);
  FProcess = info.hProcess;
}

TChild::~TChild() {
  if (!FProcess) return;
  if (WaitForSingleObject(FProcess, 0) == WAIT_TIMEOUT) TerminateProcess(FProcess, 99);
  CloseHandle(FProcess);
}

int TChild::Wait(unsigned timeoutMs) {
  if (!FProcess || WaitForSingleObject(FProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(FProcess, &code);
  return static_cast<int>(code);
}

int RunHost(const std::string& commandLine, unsigned timeoutMs) {
  // Wine starts an ELF program but tells neither when it has ended nor its exit status, so the
  // shell writes the status to a file when the command is done; the file is read through the
  // Z: drive, which a Wine prefix maps to the host's root.
  static int counter = 0;
  const std::string name =
      "quilmar-win32-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter) + ".status";
  const std::string hostPath = "/tmp/" + name;
  const std::string windowsPath = "Z:\\tmp\\" + name;
  DeleteFileA(windowsPath.c_str());
  std::string line = "/bin/sh -c \"" + commandLine + "; echo $? > " + hostPath + ".part && mv " + hostPath +
                     ".part " + hostPath + "\"";
  std::vector<char> buffer(line.begin(), line.end());
  buffer.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return -1;
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  int result = -1;
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (GetTickCount64() < end) {
    if (FILE* status = std::fopen(windowsPath.c_str(), "r")) {
      if (std::fscanf(status, "%d", &result) != 1) result = -1;
      std::fclose(status);
      DeleteFileA(windowsPath.c_str());
      break;
    }
    Sleep(10);
  }
  return result;
}

bool PumpUntil(const std::function<bool()>& done, unsigned timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    PumpMessages();
    if (done()) return true;
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 20)), QS_ALLINPUT);
  }
}

void PumpFor(unsigned ms) { PumpUntil([] { return false; }, ms); }

std::string UniqueName(const std::string& base) { return base + "." + std::to_string(GetCurrentProcessId()); }
