#include <algorithm>
#include <deque>
#include <map>
#include <utility>

#include "platform/sysutils.h"
#include "platform/timers.h"
#include "platform/win32/widgetset/wsapplication.h"

namespace {

constexpr UINT RunQueuedCall = WM_APP + 1;
constexpr UINT_PTR LaterTimer = 1;

// The calls waiting, on a message-only window of their own: one posted message per queued call
// (so they run in order, from whichever loop is running), and one timer for the earliest of the
// later ones.
class TCallWindow {
 public:
  TCallWindow() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QuilmarCalls";
    RegisterClassExW(&windowClass);
    FWindow = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              windowClass.hInstance, nullptr);
    if (!FWindow) throw Exception("The program cannot run calls later: the system refused it a window");
  }

  void Queue(std::function<void()> call) {
    FQueued.push_back(std::move(call));
    if (!PostMessageW(FWindow, RunQueuedCall, 0, 0)) {
      FQueued.pop_back();
      throw Exception("The program's message queue is full: close other programs and try again");
    }
  }

  void Later(int milliseconds, std::function<void()> call) {
    // Equal times run in the order they were asked for.
    FLater.emplace(std::make_pair(GetTickCount64() + ULONGLONG(milliseconds), FNext++), std::move(call));
    Arm();
  }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  void RunOneQueued() {
    if (FQueued.empty()) return;
    std::function<void()> call = std::move(FQueued.front());
    FQueued.pop_front();
    Guarded(call);
  }

  void RunDue() {
    KillTimer(FWindow, LaterTimer);
    const ULONGLONG now = GetTickCount64();
    // One at a time: a call may queue others, or run a loop that comes back here.
    while (!FLater.empty() && FLater.begin()->first.first <= now) {
      std::function<void()> call = std::move(FLater.begin()->second);
      FLater.erase(FLater.begin());
      Guarded(call);
    }
    Arm();
  }

  void Arm() {
    if (FLater.empty()) return;
    const ULONGLONG now = GetTickCount64(), due = FLater.begin()->first.first;
    const ULONGLONG wait = due > now ? due - now : 0;
    SetTimer(FWindow, LaterTimer, UINT(std::max<ULONGLONG>(wait, USER_TIMER_MINIMUM)), nullptr);
  }

  HWND FWindow = nullptr;
  std::deque<std::function<void()>> FQueued;
  std::map<std::pair<ULONGLONG, unsigned long long>, std::function<void()>> FLater;
  unsigned long long FNext = 0;
};

TCallWindow& Calls() {
  // Without the application object the call would wait for a loop that never runs.
  if (!Application) throw Exception("A call was queued before the application object exists");
  static TCallWindow calls;
  return calls;
}

LRESULT CALLBACK TCallWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == RunQueuedCall) {
    Calls().RunOneQueued();
    return 0;
  }
  if (message == WM_TIMER && wParam == LaterTimer) {
    Calls().RunDue();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void QueueCall(std::function<void()> call) { Calls().Queue(std::move(call)); }

void CallAfter(int milliseconds, std::function<void()> call) {
  if (milliseconds <= 0)
    Calls().Queue(std::move(call));
  else
    Calls().Later(milliseconds, std::move(call));
}
