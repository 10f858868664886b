#pragma once

#include <QAction>
#include <QMenu>
#include <QPointer>

#include "platform/menus.h"

// Menus on Qt: a QMenu, and a QAction per item whose owner is the form.
class TQtMenuItem final : public TWSMenuItem {
 public:
  explicit TQtMenuItem(QAction* action) : FAction(action) {}
  ~TQtMenuItem() override;
  void SetCaption(const String& caption) override;
  void SetEnabled(bool enabled) override;
  void SetChecked(bool checked) override;
  void SetPicture(const TPicture& picture) override;
  void SetPicture(const TDrawnPicture& picture) override;
  void SetPicture(const TImageList& images, int index) override;
  QAction* Action() const { return FAction; }

 private:
  QPointer<QAction> FAction;
};

class TQtPopupMenu final : public TWSPopupMenu {
 public:
  // The menu and its items belong to `owner`, the form.
  explicit TQtPopupMenu(QWidget* owner, const String& name);
  ~TQtPopupMenu() override;
  std::unique_ptr<TWSMenuItem> AddItem(TMenuItem& item) override;
  void Popup(int x, int y) override;
  void PopupModal(int x, int y) override;
  QMenu* Menu() const { return FMenu; }

 private:
  QPointer<QWidget> FOwner;
  QPointer<QMenu> FMenu;
};

// The native objects behind the components, for what the Qt widgetset still does itself
// (the tests' driving of the open menu).
QMenu* QtMenu(const TPopupMenu& menu);
QAction* QtAction(const TMenuItem& item);
// The item an action of ours stands for, or none.
TMenuItem* MenuItemOf(const QAction* action);
