#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "platform/win32/instance.h"
#include "platform/win32/messagewindow.h"
#include "support.h"

namespace {

using TState = TWin32InstanceMutex::TState;

const std::string InstanceName = "OneInstanceAllowed";
const std::string ActivationName = "KezOnlyOne";

enum TChildOutcome { ChildRunning = 10, ChildOwner = 11, ChildUnlocked = 12 };

struct THandle {
  HANDLE Value;
  explicit THandle(HANDLE value) : Value(value) {}
  ~THandle() {
    if (Value) CloseHandle(Value);
  }
};

}  // namespace

// argv: mutex name, start event, tried semaphore, finish event. Takes the lock the moment the
// start event fires, tells the parent it tried, and holds what it got until told to finish.
int MutexChild(int argc, char** argv) {
  if (argc < 4) return 97;
  THandle start(OpenEventA(SYNCHRONIZE, FALSE, argv[1]));
  THandle tried(OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, argv[2]));
  THandle finish(OpenEventA(SYNCHRONIZE, FALSE, argv[3]));
  if (!start.Value || !tried.Value || !finish.Value) return 96;
  WaitForSingleObject(start.Value, INFINITE);
  TWin32InstanceMutex lock = TWin32InstanceMutex::Acquire(argv[0]);
  ReleaseSemaphore(tried.Value, 1, nullptr);
  WaitForSingleObject(finish.Value, 30000);
  switch (lock.State()) {
    case TState::Owner: return ChildOwner;
    case TState::Running: return ChildRunning;
    case TState::Unlocked: return ChildUnlocked;
  }
  return 95;
}

// argv: message name, ready event, quit event. A program with several hidden top-level windows
// (as a toolkit makes for its forms) and one message window that counts the activation
// message; the count is the exit code.
int ListenChild(int argc, char** argv) {
  if (argc < 3) return 97;
  THandle ready(OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[1]));
  THandle quit(OpenEventA(SYNCHRONIZE, FALSE, argv[2]));
  if (!ready.Value || !quit.Value) return 96;
  std::vector<HWND> forms;
  for (int i = 0; i < 3; ++i)
    forms.push_back(CreateWindowExW(0, L"STATIC", L"form", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr, nullptr,
                                    nullptr, nullptr));
  int count = 0;
  TWin32MessageWindow window;
  if (!window) return 94;
  window.SetHandler(RegisterMessageNumber(argv[0]), [&count](std::uintptr_t, std::intptr_t) {
    ++count;
    return std::intptr_t{0};
  });
  // Ending the program politely (taskkill without /F) closes its top-level windows; the
  // message window must survive that as long as the program runs.
  SendMessageW(reinterpret_cast<HWND>(window.Handle()), WM_CLOSE, 0, 0);
  SetEvent(ready.Value);
  while (MsgWaitForMultipleObjects(1, &quit.Value, FALSE, 30000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) PumpMessages();
  for (HWND form : forms) DestroyWindow(form);
  return count;
}

namespace {

TEST(InstanceMutex, TenCopiesStartedAtOnceMakeExactlyOneOwner) {
  // A few rounds: a race lost once in a while still shows.
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    const std::string suffix = UniqueName(std::to_string(round));
    const std::string startName = "quilmar.start." + suffix;
    const std::string triedName = "quilmar.tried." + suffix;
    const std::string finishName = "quilmar.finish." + suffix;
    THandle start(CreateEventA(nullptr, TRUE, FALSE, startName.c_str()));
    THandle tried(CreateSemaphoreA(nullptr, 0, 10, triedName.c_str()));
    THandle finish(CreateEventA(nullptr, TRUE, FALSE, finishName.c_str()));
    ASSERT_TRUE(start.Value && tried.Value && finish.Value);

    std::vector<std::unique_ptr<TChild>> children;
    for (int i = 0; i < 10; ++i) {
      children.push_back(std::make_unique<TChild>("mutex " + InstanceName + " " + startName + " " + triedName + " " +
                                                  finishName));
      ASSERT_TRUE(children.back()->Started());
    }
    // Every copy is up and waiting before any of them tests for the others.
    Sleep(500);
    SetEvent(start.Value);
    for (int i = 0; i < 10; ++i) ASSERT_EQ(WaitForSingleObject(tried.Value, 30000), WAIT_OBJECT_0);
    SetEvent(finish.Value);

    std::array<int, 3> outcomes{};
    for (auto& child : children) {
      const int code = child->Wait(30000);
      ASSERT_TRUE(code == ChildRunning || code == ChildOwner || code == ChildUnlocked) << code;
      ++outcomes[code - ChildRunning];
    }
    EXPECT_EQ(outcomes[ChildOwner - ChildRunning], 1);
    EXPECT_EQ(outcomes[ChildRunning - ChildRunning], 9);
  }
}

TEST(InstanceMutex, LockIsFreeAgainOnceItsOwnerIsGone) {
  const std::string name = UniqueName("quilmar.lock");
  {
    TWin32InstanceMutex first = TWin32InstanceMutex::Acquire(name);
    ASSERT_EQ(first.State(), TState::Owner);
    EXPECT_EQ(TWin32InstanceMutex::Acquire(name).State(), TState::Running);
    // Moving hands the lock on; the moved-from object must not release it.
    TWin32InstanceMutex moved = std::move(first);
    EXPECT_EQ(TWin32InstanceMutex::Acquire(name).State(), TState::Running);
  }
  EXPECT_EQ(TWin32InstanceMutex::Acquire(name).State(), TState::Owner);

  // A copy that was killed leaves no stale lock behind.
  const std::string startName = UniqueName("quilmar.killed.start");
  const std::string triedName = UniqueName("quilmar.killed.tried");
  const std::string finishName = UniqueName("quilmar.killed.finish");
  THandle start(CreateEventA(nullptr, TRUE, TRUE, startName.c_str()));
  THandle tried(CreateSemaphoreA(nullptr, 0, 1, triedName.c_str()));
  THandle finish(CreateEventA(nullptr, TRUE, FALSE, finishName.c_str()));
  TChild owner("mutex " + name + " " + startName + " " + triedName + " " + finishName);
  ASSERT_EQ(WaitForSingleObject(tried.Value, 30000), WAIT_OBJECT_0);
  EXPECT_EQ(TWin32InstanceMutex::Acquire(name).State(), TState::Running);
  TerminateProcess(owner.Process(), 1);
  ASSERT_EQ(owner.Wait(10000), 1);
  EXPECT_EQ(TWin32InstanceMutex::Acquire(name).State(), TState::Owner);
}

TEST(InstanceMutex, NameTakenByAnotherKindOfObjectRunsWithoutLock) {
  const std::string name = UniqueName("quilmar.event");
  THandle event(CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
  ASSERT_TRUE(event.Value);
  EXPECT_EQ(TWin32InstanceMutex::Acquire(name).State(), TState::Unlocked);
}

TEST(Activation, BroadcastReachesTheRunningCopysHiddenWindowOncePerSend) {
  const std::string readyName = UniqueName("quilmar.ready");
  const std::string quitName = UniqueName("quilmar.quit");
  THandle ready(CreateEventA(nullptr, TRUE, FALSE, readyName.c_str()));
  THandle quit(CreateEventA(nullptr, TRUE, FALSE, quitName.c_str()));
  TChild running("listen " + ActivationName + " " + readyName + " " + quitName);
  ASSERT_EQ(WaitForSingleObject(ready.Value, 30000), WAIT_OBJECT_0);

  const unsigned message = RegisterMessageNumber(ActivationName);
  ASSERT_GE(message, 0xC000u);
  EXPECT_EQ(RegisterMessageNumber(ActivationName), message);
  // The broadcast returns once every window has handled it, so the count is final right after.
  ASSERT_TRUE(BroadcastMessage(message, 5000));
  // Another program's registered message is not ours to answer.
  ASSERT_TRUE(BroadcastMessage(RegisterMessageNumber("QuilmarSomethingElse"), 5000));
  SetEvent(quit.Value);
  EXPECT_EQ(running.Wait(30000), 1);

  THandle ready2(CreateEventA(nullptr, TRUE, FALSE, (readyName + "b").c_str()));
  THandle quit2(CreateEventA(nullptr, TRUE, FALSE, (quitName + "b").c_str()));
  TChild again("listen " + ActivationName + " " + readyName + "b " + quitName + "b");
  ASSERT_EQ(WaitForSingleObject(ready2.Value, 30000), WAIT_OBJECT_0);
  ASSERT_TRUE(BroadcastMessage(message, 5000));
  ASSERT_TRUE(BroadcastMessage(message, 5000));
  SetEvent(quit2.Value);
  EXPECT_EQ(again.Wait(30000), 2);
}

TEST(Activation, HungWindowElsewhereDoesNotHangTheSender) {
  // A top-level window whose thread has stopped handling messages, as a hung program's has.
  std::atomic<HWND> hung{nullptr};
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread stuck([&] {
    hung = CreateWindowExW(0, L"STATIC", L"hung", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    WaitForSingleObject(release, 60000);
    DestroyWindow(hung);
  });
  while (!hung) Sleep(5);

  std::atomic<bool> returned{false};
  std::thread sender([&] {
    BroadcastMessage(RegisterMessageNumber(ActivationName), 300);
    returned = true;
  });
  const ULONGLONG end = GetTickCount64() + 20000;
  while (!returned && GetTickCount64() < end) Sleep(10);
  EXPECT_TRUE(returned);
  SetEvent(release);
  stuck.join();
  sender.join();
  CloseHandle(release);
}

}  // namespace
