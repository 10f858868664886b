#include <QApplication>
#include "platform/qt/qtmenus.h"

#include "platform/application.h"
#include "platform/qt/qtpictures.h"
#include "platform/qt/qtraster.h"

namespace {

constexpr const char* ItemProperty = "TMenuItem";

}  // namespace

TQtMenuItem::~TQtMenuItem() { delete FAction.data(); }

void TQtMenuItem::SetCaption(const String& caption) {
  if (FAction) FAction->setText(QStr(caption));
}

void TQtMenuItem::SetEnabled(bool enabled) {
  if (FAction) FAction->setEnabled(enabled);
}

void TQtMenuItem::SetChecked(bool checked) {
  if (!FAction) return;
  FAction->setCheckable(true);
  FAction->setChecked(checked);
}

void TQtMenuItem::SetPicture(const TPicture& picture) {
  if (FAction) FAction->setIcon(QtIcon(picture));
}

void TQtMenuItem::SetPicture(const TDrawnPicture& picture) {
  if (FAction) FAction->setIcon(QtIcon(picture));
}

void TQtMenuItem::SetPicture(const TImageList& images, int index) {
  if (FAction) FAction->setIcon(QtIcon(images, index));
}

TQtPopupMenu::TQtPopupMenu(QWidget* owner, const String& name) : FOwner(owner), FMenu(new QMenu(owner)) {
  FMenu->setObjectName(QStr(name));
}

TQtPopupMenu::~TQtPopupMenu() { delete FMenu.data(); }

std::unique_ptr<TWSMenuItem> TQtPopupMenu::AddItem(TMenuItem& item) {
  auto* action = new QAction(QStr(item.Caption()), FOwner.data());
  action->setObjectName(QStr(item.Name()));
  action->setProperty(ItemProperty, QVariant::fromValue(static_cast<void*>(&item)));
  QObject::connect(action, &QAction::triggered, action, [action, &item] {
    // Qt toggles a checkable action itself; the mark is the item's, which its handler decides.
    if (action->isCheckable()) action->setChecked(item.Checked());
    RunHandler([&] { item.Click(); });
  });
  FMenu->addAction(action);
  return std::make_unique<TQtMenuItem>(action);
}

void TQtPopupMenu::Popup(int x, int y) {
  if (FMenu) FMenu->popup(QPoint(x, y));
}

void TQtPopupMenu::PopupModal(int x, int y) {
  if (FMenu) FMenu->exec(QPoint(x, y));
}

QMenu* QtMenu(const TPopupMenu& menu) {
  auto* handle = static_cast<TQtPopupMenu*>(menu.Handle());
  return handle ? handle->Menu() : nullptr;
}

QAction* QtAction(const TMenuItem& item) {
  auto* handle = static_cast<TQtMenuItem*>(item.Handle());
  return handle ? handle->Action() : nullptr;
}

TMenuItem* MenuItemOf(const QAction* action) {
  if (action == nullptr) return nullptr;
  return static_cast<TMenuItem*>(action->property(ItemProperty).value<void*>());
}

bool CloseOpenMenus() {
  bool closed = false;
  // Each pass closes the topmost; a menu that refused to close must not hold the loop.
  for (int pass = 0; pass < 8; ++pass) {
    QWidget* popup = QApplication::activePopupWidget();
    if (!popup) break;
    popup->close();
    closed = true;
  }
  return closed;
}
