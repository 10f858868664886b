#include "platform/menus.h"

void TMenuItem::SetCaption(const String& caption) {
  FCaption = caption;
  if (FHandle) FHandle->SetCaption(caption);
}

void TMenuItem::SetEnabled(bool enabled) {
  FEnabled = enabled;
  if (FHandle) FHandle->SetEnabled(enabled);
}

void TMenuItem::SetChecked(bool checked) {
  FChecked = checked;
  if (FHandle) FHandle->SetChecked(checked);
}

void TMenuItem::SetPicture(const TPicture& picture) {
  if (FHandle) FHandle->SetPicture(picture);
}

void TMenuItem::SetPicture(const TDrawnPicture& picture) {
  if (FHandle) FHandle->SetPicture(picture);
}

void TMenuItem::SetPicture(const TImageList& images, int index) {
  if (FHandle) FHandle->SetPicture(images, index);
}

void TMenuItem::Click() {
  if (FEnabled && OnClick) OnClick();
}

TPopupMenu::TPopupMenu(String name, std::unique_ptr<TWSPopupMenu> handle)
    : TComponent(std::move(name)), FHandle(std::move(handle)) {}

// The native menu goes before its items' handles, which it may own.
TPopupMenu::~TPopupMenu() {
  for (auto& item : FItems) item->FHandle.reset();
  FHandle.reset();
}

TMenuItem& TPopupMenu::Add(String name, const String& caption) {
  auto item = std::make_unique<TMenuItem>(std::move(name));
  item->FCaption = caption;
  if (FHandle) item->FHandle = FHandle->AddItem(*item);
  FItems.push_back(std::move(item));
  return *FItems.back();
}

void TPopupMenu::Popup(int x, int y) {
  if (OnPopup) OnPopup();
  if (FHandle) FHandle->Popup(x, y);
}

void TPopupMenu::PopupModal(int x, int y) {
  if (OnPopup) OnPopup();
  if (FHandle) FHandle->PopupModal(x, y);
}
