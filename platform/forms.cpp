#include "platform/forms.h"

#include <stdexcept>

#include "platform/sysutils.h"
#include "platform/widgetset.h"

TForm::TForm(String name, TFormRole role) : TControl(std::move(name), nullptr) {
  SetHandle(WidgetSet().CreateForm(*this, role));
  FWindow = dynamic_cast<TWSForm*>(&Handle());
  if (FWindow == nullptr) throw std::logic_error("The widgetset made a form without a window");
}

TForm::~TForm() {
  while (!FOwned.empty()) FOwned.pop_back();
  DestroyHandle();
}

void TForm::SetCaption(const String& caption) {
  FCaption = caption;
  Handle().SetText(caption);
}

int TForm::ShowModal() {
  if (Visible()) throw Exception("Cannot make a visible window modal");
  ModalResult = 0;
  Window().RunModal();
  return ModalResult;
}

TScreen& Screen() { return WidgetSet().Screen(); }
