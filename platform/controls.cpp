#include "platform/controls.h"

#include <stdexcept>

#include "platform/stdctrls.h"
#include "platform/widgetset.h"

namespace {
TWidgetSet* Installed = nullptr;
}

TWidgetSet& WidgetSet() {
  if (Installed == nullptr) throw std::logic_error("No widgetset is installed");
  return *Installed;
}

void InstallWidgetSet(TWidgetSet* widgetSet) { Installed = widgetSet; }

TControl::TControl(String name, TControl* parent) : TComponent(std::move(name)), FParent(parent) {}

TControl::~TControl() = default;

void TControl::SetBounds(int left, int top, int width, int height) {
  FHandle->SetBounds(TRect{left, top, left + width, top + height});
}

void TControl::Move(int left, int top) {
  const TRect r = BoundsRect();
  SetBounds(left, top, static_cast<int>(r.Width()), static_cast<int>(r.Height()));
}

void TControl::SetHint(const String& hint) {
  FHint = hint;
  FHandle->SetHint(hint);
}

TButton::TButton(String name, TControl* parent, bool tabStop) : TControl(std::move(name), parent) {
  SetHandle(WidgetSet().CreateButton(*this, tabStop));
}

void TButton::Click() {
  if (Enabled() && OnClick) OnClick();
}

TSpeedButton::TSpeedButton(String name, TControl* parent, bool flat) : TButton(std::move(name), parent, TNoHandle{}) {
  SetHandle(WidgetSet().CreateSpeedButton(*this, flat));
}

TToolBar::TToolBar(String name, TControl* parent, TColor color) : TControl(std::move(name), parent) {
  SetHandle(WidgetSet().CreateToolBar(*this, color));
}

TToolButton::TToolButton(String name, TControl* parent, TToolButtonStyle style, int imageIndex)
    : TButton(std::move(name), parent, TNoHandle{}), FStyle(style), FImageIndex(imageIndex) {
  SetHandle(WidgetSet().CreateToolButton(*this, style == tbsCheck));
}

TPanel::TPanel(String name, TControl* parent) : TControl(std::move(name), parent) {
  SetHandle(WidgetSet().CreatePanel(*this));
}

TLabel::TLabel(String name, TControl* parent, const String& caption, TAlignment alignment)
    : TControl(std::move(name), parent) {
  SetHandle(WidgetSet().CreateLabel(*this, caption, alignment));
}

TRichEdit::TRichEdit(String name, TControl* parent, bool readOnly, bool wordWrap, TScrollStyle scrollBars)
    : TControl(std::move(name), parent) {
  SetHandle(WidgetSet().CreateRichEdit(*this, readOnly, wordWrap, scrollBars));
}
