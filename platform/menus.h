#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/classes.h"
#include "platform/strings.h"

// Menus: the components keep the state the program relies on (caption, enabling, check mark,
// picture index) and run the handlers; each widgetset only makes the native menu and items,
// keeps them in step and reports the user's choice (TWSPopupMenu, TWSMenuItem).

class TMenuItem;
class TPicture;
class TDrawnPicture;
class TImageList;

// The widgetset's side of one menu item.
class TWSMenuItem {
 public:
  virtual ~TWSMenuItem() = default;
  virtual void SetCaption(const String& caption) = 0;
  virtual void SetEnabled(bool enabled) = 0;
  // Shows the check mark, or the empty place of one.
  virtual void SetChecked(bool checked) = 0;
  // Shows `picture` beside the caption, in the platform's disabled look while the item is
  // disabled; an empty picture shows none.
  virtual void SetPicture(const TPicture& picture) = 0;
  // Shows a picture drawn for the device ratio of the screen the menu opens on, in its full
  // colours whether the item is enabled or not.
  virtual void SetPicture(const TDrawnPicture& picture) = 0;
  // Shows the list's picture `index` the same way; none for an index outside the list.
  virtual void SetPicture(const TImageList& images, int index) = 0;
};

// The widgetset's side of a pop-up menu.
class TWSPopupMenu {
 public:
  virtual ~TWSPopupMenu() = default;
  // A native item for `item` at the end of the menu; choosing it calls item.Click().
  virtual std::unique_ptr<TWSMenuItem> AddItem(TMenuItem& item) = 0;
  // Opens the menu at (x, y), the widgetset's desktop coordinates. Popup returns at once and the
  // choice comes later from the message loop; PopupModal returns once the menu has closed, and a
  // choice made in it is delivered after the caller's handler has finished.
  virtual void Popup(int x, int y) = 0;
  virtual void PopupModal(int x, int y) = 0;
};

class TMenuItem : public TComponent {
 public:
  using TComponent::TComponent;

  const String& Caption() const { return FCaption; }
  void SetCaption(const String& caption);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool enabled);
  bool Checked() const { return FChecked; }
  void SetChecked(bool checked);
  // The picture beside the caption (see TWSMenuItem::SetPicture).
  void SetPicture(const TPicture& picture);
  void SetPicture(const TDrawnPicture& picture);
  void SetPicture(const TImageList& images, int index);
  // The item's picture in the list of glyphs its form shows; -1 for none from the list.
  int ImageIndex = -1;
  std::function<void()> OnClick;

  // What choosing the item does: its handler runs. A disabled item does nothing.
  void Click();
  TWSMenuItem* Handle() const { return FHandle.get(); }

 private:
  friend class TPopupMenu;
  String FCaption;
  bool FEnabled = true;
  bool FChecked = false;
  std::unique_ptr<TWSMenuItem> FHandle;
};

class TPopupMenu : public TComponent {
 public:
  TPopupMenu(String name, std::unique_ptr<TWSPopupMenu> handle);
  ~TPopupMenu() override;

  // A new item at the end, owned by the menu.
  TMenuItem& Add(String name, const String& caption);
  const std::vector<std::unique_ptr<TMenuItem>>& Items() const { return FItems; }

  // Runs just before the menu opens.
  std::function<void()> OnPopup;
  void Popup(int x, int y);
  void PopupModal(int x, int y);
  TWSPopupMenu* Handle() const { return FHandle.get(); }

 private:
  std::vector<std::unique_ptr<TMenuItem>> FItems;
  std::unique_ptr<TWSPopupMenu> FHandle;
};

// Closes the pop-up menus that are open (the widgetset's, whoever opened them); true when there
// was one. A menu runs a loop of its own while open: what comes after it waits for that loop.
bool CloseOpenMenus();
