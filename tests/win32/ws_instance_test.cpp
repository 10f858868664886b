#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ending.h"
#include "platform/instance.h"
#include "platform/win32/widgetset/win32api.h"
#include "ws_support.h"

namespace {

// The lock is the named mutex: a second lock of the same name is refused while the first lives.
// The activation is the registered message of that name broadcast to every top-level window: the
// listener hears it by name, from the loop, after the broadcast has returned; other registered
// broadcasts reach it by their own names.
TEST(TWin32Instance, OneLockPerNameAndTheActivationArrivesByName) {
  auto first = TInstanceLock::Acquire("QuilmarTestLock");
  ASSERT_TRUE(first);
  EXPECT_FALSE(TInstanceLock::Acquire("QuilmarTestLock"));
  first.reset();
  EXPECT_TRUE(TInstanceLock::Acquire("QuilmarTestLock"));

  std::vector<String> heard;
  const TActivationListener listener("QuilmarTestLock", [&](const String& message) { heard.push_back(message); });
  ASSERT_TRUE(SendActivation("QuilmarTestLock", "QuilmarTestActivate"));
  EXPECT_TRUE(heard.empty());  // not inside the broadcast
  ASSERT_TRUE(LoopUntil([&] { return !heard.empty(); }, 2000));
  EXPECT_EQ(heard, std::vector<String>{"QuilmarTestActivate"});
  ASSERT_TRUE(SendActivation("QuilmarTestLock", "SomethingElse"));
  ASSERT_TRUE(LoopUntil([&] { return heard.size() == 2; }, 2000));
  EXPECT_EQ(heard.back(), "SomethingElse");
}

// A polite end (WM_CLOSE to our windows, as "end task" sends) ends the program once, from the
// loop; a second one while it is ending is let go.
TEST(TWin32Instance, APoliteEndTerminatesOnceFromTheLoop) {
  int terminated = 0;
  const TTerminationSignals signals([&] { ++terminated; });
  // As "end task" does: WM_CLOSE to every top-level window of the program, twice over.
  std::vector<HWND> windows;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM found) {
        wchar_t name[64];
        if (GetClassNameW(window, name, 64) && std::wstring(name) == L"QuilmarMessageWindow")
          reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  ASSERT_FALSE(windows.empty());
  for (int round = 0; round < 2; ++round)
    for (HWND window : windows) SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(terminated, 0);
  ASSERT_TRUE(LoopUntil([&] { return terminated > 0; }, 2000));
  LoopUntil([] { return false; }, 100);
  EXPECT_EQ(terminated, 1);
  for (HWND window : windows) EXPECT_TRUE(IsWindow(window));  // the windows stay; the program ends its own way
}

}  // namespace
