#include <gtest/gtest.h>

#include <vector>

#include "platform/win32/hotkeys.h"
#include "platform/win32/messagewindow.h"
#include "support.h"

// Tries to register Ctrl+F1 for itself; exit code 1 when it got it, 0 when not.
int HotKeyChild(int, char**) {
  TWin32MessageWindow window;
  TWin32HotKeys keys(window);
  return keys.Register(1, MOD_CONTROL, VK_F1, [](int, unsigned, unsigned) {}) ? 1 : 0;
}

namespace {

struct TArrival {
  int Id;
  unsigned Modifiers;
  unsigned Key;
};

// Wine's X11 driver takes no grab for a hot key: X delivers keys to the window with the X
// focus, and Wine turns them into WM_HOTKEY only when that is one of its windows. So the test
// gives one of its own windows the focus first; on Windows the key arrives whatever has it.
class THotKeyTest : public testing::Test {
 protected:
  void SetUp() override {
    FFocus = CreateWindowExW(0, L"STATIC", L"focus", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 200, 120, nullptr,
                             nullptr, nullptr, nullptr);
    ASSERT_TRUE(FFocus);
    SetForegroundWindow(FFocus);
    ASSERT_TRUE(PumpUntil([this] { return GetForegroundWindow() == FFocus; }, 5000));
    PumpFor(200);
  }
  void TearDown() override {
    if (FFocus) DestroyWindow(FFocus);
  }

  HWND FFocus = nullptr;
};

TEST_F(THotKeyTest, OnlyCtrlF1ArrivesWithItsIdentifierModifiersAndKey) {
  TWin32MessageWindow window;
  ASSERT_TRUE(window);
  TWin32HotKeys keys(window);
  const std::uint16_t atom = AddGlobalAtom("hot key");
  ASSERT_NE(atom, 0);
  std::vector<TArrival> arrivals;
  ASSERT_TRUE(keys.Register(atom, MOD_CONTROL, VK_F1, [&](int id, unsigned modifiers, unsigned key) {
    arrivals.push_back({id, modifiers, key});
  }));

  // Near misses first; the last Ctrl+F1 comes after all of them on the X server's queue, so
  // once it has arrived every earlier key has been handled too.
  for (const char* keysym : {"F1", "ctrl+shift+F1", "ctrl+alt+F1", "alt+F1", "shift+F1", "ctrl+F2", "ctrl+F1"})
    ASSERT_EQ(RunHost(std::string("/usr/bin/xdotool key --delay 0 ") + keysym), 0) << keysym;
  ASSERT_TRUE(PumpUntil([&] { return !arrivals.empty(); }, 5000));
  PumpFor(300);
  ASSERT_EQ(arrivals.size(), 1u);
  EXPECT_EQ(arrivals[0].Id, atom);
  EXPECT_EQ(arrivals[0].Modifiers, unsigned{MOD_CONTROL});
  EXPECT_EQ(arrivals[0].Key, unsigned{VK_F1});

  // Unregistered, the key no longer arrives.
  keys.UnregisterAll();
  ASSERT_EQ(RunHost("/usr/bin/xdotool key --delay 0 ctrl+F1"), 0);
  PumpFor(500);
  EXPECT_EQ(arrivals.size(), 1u);
  DeleteGlobalAtom(atom);
}

TEST_F(THotKeyTest, SecondRegistrationFailsWhileTheFirstHoldsTheKey) {
  TWin32MessageWindow window;
  TWin32HotKeys keys(window);
  ASSERT_TRUE(keys.Register(7, MOD_CONTROL, VK_F1, [](int, unsigned, unsigned) {}));

  // Another program, and this one under a second identifier, are refused.
  TChild other("hotkey");
  EXPECT_EQ(other.Wait(30000), 0);
  TWin32MessageWindow second;
  TWin32HotKeys secondKeys(second);
  EXPECT_FALSE(secondKeys.Register(8, MOD_CONTROL, VK_F1, [](int, unsigned, unsigned) {}));
  // Registering the same identifier again replaces the registration rather than failing.
  EXPECT_TRUE(keys.Register(7, MOD_CONTROL, VK_F1, [](int, unsigned, unsigned) {}));

  // Once let go, the key is free for the next program.
  keys.UnregisterAll();
  TChild next("hotkey");
  EXPECT_EQ(next.Wait(30000), 1);
}

}  // namespace
