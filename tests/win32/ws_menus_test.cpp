#include <gtest/gtest.h>

#include <vector>

#include "platform/application.h"
#include "platform/drawing.h"
#include "platform/menus.h"
#include "platform/timers.h"
#include "platform/win32/widgetset/wsmenus.h"
#include "ws_support.h"

namespace {

// The menu being tracked, or none.
HWND OpenMenuWindow() {
  HWND menu = FindWindowW(L"#32768", nullptr);
  return menu && IsWindowVisible(menu) ? menu : nullptr;
}

// Once the menu is open, picks the item `downs` steps down with the keys, as the user does.
void ChooseWhenOpen(int downs, int tries = 100) {
  CallAfter(30, [downs, tries] {
    if (!OpenMenuWindow()) {
      if (tries > 0) ChooseWhenOpen(downs, tries - 1);
      return;
    }
    for (int i = 0; i < downs; ++i) {
      keybd_event(VK_DOWN, 0, 0, 0);
      keybd_event(VK_DOWN, 0, KEYEVENTF_KEYUP, 0);
    }
    keybd_event(VK_RETURN, 0, 0, 0);
    keybd_event(VK_RETURN, 0, KEYEVENTF_KEYUP, 0);
  });
}

struct TMenuFixture : testing::Test {
  TPopupMenu Menu{"PopupMenu1", CreateWin32PopupMenu()};
  std::vector<String> Chosen;
  TMenuItem& Add(const char* name) {
    TMenuItem& item = Menu.Add(name, name);
    item.OnClick = [this, name] { Chosen.push_back(name); };
    return item;
  }
  void TearDown() override { CloseOpenMenus(); }
};

// Popup returns at once; the menu opens from the loop and the choice runs after the handler
// that opened it has returned.
TEST_F(TMenuFixture, PopupReturnsAtOnceAndTheCommandComesAfterTheHandler) {
  Add("Fullscreen");
  Add("Exit");
  bool handlerReturned = false, returnedBeforeChoice = false;
  QueueCall([&] {
    Menu.Popup(200, 200);
    EXPECT_EQ(OpenMenuWindow(), nullptr);
    ChooseWhenOpen(2);
    returnedBeforeChoice = Chosen.empty();
    handlerReturned = true;
  });
  ASSERT_TRUE(LoopUntil([&] { return !Chosen.empty(); }, 5000));
  EXPECT_TRUE(handlerReturned);
  EXPECT_TRUE(returnedBeforeChoice);
  EXPECT_EQ(Chosen, (std::vector<String>{"Exit"}));
}

// PopupModal returns once the menu has closed; the choice still waits for the caller's handler.
TEST_F(TMenuFixture, PopupModalReturnsAfterTheMenuClosed) {
  Add("Fullscreen");
  Add("Whiteboard").SetEnabled(false);
  Add("Exit");
  bool choiceInsideHandler = true, menuGoneOnReturn = false;
  QueueCall([&] {
    ChooseWhenOpen(3);
    Menu.PopupModal(200, 200);
    menuGoneOnReturn = OpenMenuWindow() == nullptr;
    choiceInsideHandler = !Chosen.empty();
  });
  ASSERT_TRUE(LoopUntil([&] { return !Chosen.empty(); }, 5000));
  EXPECT_TRUE(menuGoneOnReturn);
  EXPECT_FALSE(choiceInsideHandler);
  EXPECT_EQ(Chosen, (std::vector<String>{"Exit"}));
}

// The pixel (x, y) of a menu item's bitmap, 0x00RRGGBB.
std::uint32_t BitmapPixel(HBITMAP bitmap, int x, int y) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = 16;
  info.bmiHeader.biHeight = -16;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint32_t> pixels(16 * 16);
  HDC dc = GetDC(nullptr);
  GetDIBits(dc, bitmap, 0, 16, pixels.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  return pixels[std::size_t(y * 16 + x)] & 0x00FFFFFF;
}

TEST_F(TMenuFixture, CaptionsCheckMarksEnablingAndPicturesReachTheNativeMenu) {
  TMenuItem& pen = Add("Pen");
  TMenuItem& eraser = Add("Eraser");
  HMENU menu = Win32Of(Menu);
  pen.SetChecked(true);
  eraser.SetEnabled(false);
  pen.SetCaption("\xE7\x94\xBB\xE7\xAC\x94");
  EXPECT_TRUE(GetMenuState(menu, Win32CommandOf(pen), MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_FALSE(GetMenuState(menu, Win32CommandOf(pen), MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_TRUE(GetMenuState(menu, Win32CommandOf(eraser), MF_BYCOMMAND) & MF_GRAYED);
  wchar_t caption[16] = {};
  GetMenuStringW(menu, Win32CommandOf(pen), caption, 16, MF_BYCOMMAND);
  EXPECT_EQ(std::wstring(caption), L"\u753B\u7B14");
  pen.SetChecked(false);
  EXPECT_FALSE(GetMenuState(menu, Win32CommandOf(pen), MF_BYCOMMAND) & MF_CHECKED);

  // A picture whose left half is transparent shows the menu's colour there, not black.
  std::vector<std::uint32_t> pixels(16 * 16, 0);
  for (int y = 0; y < 16; ++y)
    for (int x = 8; x < 16; ++x) pixels[std::size_t(y * 16 + x)] = 0xFFFF0000;
  pen.SetPicture(TPicture(16, 16, pixels));
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_BITMAP;
  ASSERT_TRUE(GetMenuItemInfoW(menu, Win32CommandOf(pen), FALSE, &info));
  ASSERT_NE(info.hbmpItem, nullptr);
  const COLORREF face = GetSysColor(COLOR_MENU);
  EXPECT_EQ(BitmapPixel(info.hbmpItem, 2, 2),
            std::uint32_t(GetRValue(face)) << 16 | std::uint32_t(GetGValue(face)) << 8 | GetBValue(face));
  EXPECT_EQ(BitmapPixel(info.hbmpItem, 12, 2), 0x00FF0000u);
  // A disabled item's fixed picture is greyed.
  eraser.SetPicture(TPicture(16, 16, pixels));
  ASSERT_TRUE(GetMenuItemInfoW(menu, Win32CommandOf(eraser), FALSE, &info));
  EXPECT_NE(BitmapPixel(info.hbmpItem, 12, 2), 0x00FF0000u);
  // A disabled item does nothing when clicked.
  eraser.Click();
  EXPECT_TRUE(Chosen.empty());
}

}  // namespace
