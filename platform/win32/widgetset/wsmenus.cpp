#include "platform/win32/widgetset/wsmenus.h"

#include <map>

#include "platform/drawing.h"
#include "platform/imagelist.h"
#include "platform/timers.h"
#include "platform/win32/widgetset/wsapplication.h"
#include "platform/win32/widgetset/wscontrols.h"
#include "platform/win32/widgetset/wspictures.h"

namespace {

// Command identifiers of the items alive; a command for an item destroyed since does nothing.
std::map<UINT, TMenuItem*> Commands;
UINT NextCommand = 1000;
int OpenMenus = 0;

class TWin32MenuItem final : public TWSMenuItem {
 public:
  TWin32MenuItem(HMENU menu, UINT command) : FMenu(menu), FCommand(command) {}
  ~TWin32MenuItem() override {
    Commands.erase(FCommand);
    if (FBitmap) DeleteObject(FBitmap);
  }

  void SetCaption(const String& caption) override {
    std::wstring text = WideOf(caption);
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = text.data();
    SetMenuItemInfoW(FMenu, FCommand, FALSE, &info);
  }

  void SetEnabled(bool enabled) override {
    FEnabled = enabled;
    EnableMenuItem(FMenu, FCommand, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    // A fixed picture shows disabled with its item; a drawn one keeps its colours.
    if (!FPicture.Empty() && FGreyWhenDisabled) ShowPicture();
  }

  void SetChecked(bool checked) override {
    CheckMenuItem(FMenu, FCommand, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
  }

  void SetPicture(const TPicture& picture) override {
    FPicture = picture;
    FGreyWhenDisabled = true;
    ShowPicture();
  }
  void SetPicture(const TDrawnPicture& picture) override {
    FPicture = picture.Plain();
    FGreyWhenDisabled = false;
    ShowPicture();
  }
  void SetPicture(const TImageList& images, int index) override {
    FPicture = images.Picture(index);
    FGreyWhenDisabled = false;
    ShowPicture();
  }

  UINT Command() const { return FCommand; }

 private:
  void ShowPicture() {
    HBITMAP old = FBitmap;
    FBitmap = nullptr;
    if (!FPicture.Empty()) {
      // Blended onto the menu's colour: menus draw a 32-bit bitmap's transparent pixels black.
      const COLORREF menu = GetSysColor(COLOR_MENU);
      FBitmap = BitmapOf(FEnabled || !FGreyWhenDisabled ? BlendOnto(FPicture, menu) : BlendOntoDisabled(FPicture, menu),
                         FPicture.Width(), FPicture.Height());
    }
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_BITMAP;
    info.hbmpItem = FBitmap;
    SetMenuItemInfoW(FMenu, FCommand, FALSE, &info);
    if (old) DeleteObject(old);
  }

  HMENU FMenu;
  UINT FCommand;
  HBITMAP FBitmap = nullptr;
  TPicture FPicture;
  bool FEnabled = true;
  bool FGreyWhenDisabled = true;
};

// Runs the item's handler later, from the loop, if the item still exists then.
void Deliver(UINT command) {
  if (command == 0) return;
  QueueCall([command] {
    const auto it = Commands.find(command);
    if (it != Commands.end()) it->second->Click();
  });
}

// Wine confines the pointer to a full-screen window in the foreground with an input window of its
// own, and a menu's pointer grab ends the confinement but leaves that window in place: every
// click would go to it, none to the surface beneath. Wine takes no notice of a clip to the whole
// desktop while it confines to it; a clip to a smaller rectangle and none after it makes it
// confine anew (or not at all). On Windows, where nothing is clipped, the pointer stays free.
void RenewWineConfinement() {
  RECT inner{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
             GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
             GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  if (inner.right - inner.left < 2) return;
  --inner.right;
  ClipCursor(&inner);
  ClipCursor(nullptr);
}

class TWin32PopupMenu final : public TWSPopupMenu {
 public:
  TWin32PopupMenu() : FMenu(CreatePopupMenu()) {
    if (!FMenu) throw EOutOfResources("The system refused the program a menu: close other programs and try again");
    FAlive = std::make_shared<bool>(true);
  }
  ~TWin32PopupMenu() override {
    *FAlive = false;
    DestroyMenu(FMenu);
  }

  std::unique_ptr<TWSMenuItem> AddItem(TMenuItem& item) override {
    const UINT command = NextCommand++;
    AppendMenuW(FMenu, MF_STRING, command, WideOf(item.Caption()).c_str());
    Commands[command] = &item;
    return std::make_unique<TWin32MenuItem>(FMenu, command);
  }

  void Popup(int x, int y) override {
    // Opened from the loop: TrackPopupMenu runs a loop of its own until the menu closes.
    std::weak_ptr<bool> alive = FAlive;
    QueueCall([this, alive, x, y] {
      if (auto a = alive.lock(); a && *a) Deliver(Track(x, y));
    });
  }

  void PopupModal(int x, int y) override { Deliver(Track(x, y)); }

 private:
  UINT Track(int x, int y) {
    HWND owner = HiddenOwnerWindow();
    // The owner must be in the foreground, or the menu would not close when the user clicks
    // elsewhere; a message after it lets the menu's own loop notice it closed.
    const HWND before = GetForegroundWindow();
    SetForegroundWindow(owner);
    ++OpenMenus;
    const POINT at = DevicePointOf(TPoint{x, y});
    const UINT command =
        UINT(TrackPopupMenuEx(FMenu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, owner, nullptr));
    --OpenMenus;
    PostMessageW(owner, WM_NULL, 0, 0);
    RenewWineConfinement();
    // The window that had the keyboard gets it back before the command runs: typing and the
    // keys of the surface go on after a menu as before it.
    if (before && before != owner && IsWindow(before) && IsWindowVisible(before)) SetForegroundWindow(before);
    return command;
  }

  HMENU FMenu;
  std::shared_ptr<bool> FAlive;

  friend HMENU(::Win32Of)(const TPopupMenu& menu);
};

}  // namespace

std::unique_ptr<TWSPopupMenu> CreateWin32PopupMenu() { return std::make_unique<TWin32PopupMenu>(); }

HMENU Win32Of(const TPopupMenu& menu) {
  const auto* handle = static_cast<const TWin32PopupMenu*>(menu.Handle());
  return handle ? handle->FMenu : nullptr;
}

UINT Win32CommandOf(const TMenuItem& item) {
  const auto* handle = static_cast<const TWin32MenuItem*>(item.Handle());
  return handle ? handle->Command() : 0;
}

bool CloseOpenMenus() {
  if (OpenMenus == 0) return false;
  EndMenu();
  return true;
}
