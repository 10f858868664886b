#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "platform/win32/messagewindow.h"
#include "platform/win32/tray.h"
#include "support.h"

namespace {

constexpr unsigned TrayCallback = 1136;  // WM_USER + 112

bool IconPresent(const TWin32MessageWindow& window, unsigned id) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = reinterpret_cast<HWND>(window.Handle());
  data.uID = id;
  data.uFlags = NIF_TIP;
  return Shell_NotifyIconW(NIM_MODIFY, &data) != 0;
}

TEST(TrayIcon, IsAddedComesBackAfterAShellRestartAndGoesWithItsOwner) {
  std::vector<std::uint32_t> pixels(16 * 16, 0xFFCC2020);
  const std::uintptr_t icon = CreateIconFromPixels(pixels.data(), 16, 16);
  ASSERT_NE(icon, 0u);
  TWin32MessageWindow window;
  ASSERT_TRUE(window);
  std::vector<std::intptr_t> mouse;
  {
    TWin32TrayIcon tray(window, 1, TrayCallback, icon, L"Quilmar", [&](std::uintptr_t id, std::intptr_t lParam) {
      if (id == 1) mouse.push_back(lParam);
    });
    ASSERT_TRUE(tray.Shown());
    EXPECT_TRUE(IconPresent(window, 1));
    EXPECT_TRUE(tray.SetTip(std::wstring(300, L'x'))) << "a long tip is cut, not refused";

    // The shell forgets every icon when it restarts and then says so.
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = reinterpret_cast<HWND>(window.Handle());
    data.uID = 1;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
    ASSERT_FALSE(IconPresent(window, 1));
    SendMessageW(reinterpret_cast<HWND>(window.Handle()), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(IconPresent(window, 1));

    // The callback message reaches the handler with the mouse message.
    SendMessageW(reinterpret_cast<HWND>(window.Handle()), TrayCallback, 1, WM_RBUTTONDOWN);
    EXPECT_EQ(mouse, std::vector<std::intptr_t>{WM_RBUTTONDOWN});
  }
  EXPECT_FALSE(IconPresent(window, 1));
  // Without the icon, its callback message is no longer taken.
  SendMessageW(reinterpret_cast<HWND>(window.Handle()), TrayCallback, 1, WM_LBUTTONDBLCLK);
  EXPECT_EQ(mouse.size(), 1u);
  DestroyIconHandle(icon);
}

}  // namespace
