#include "platform/colorbox.h"

#include <algorithm>

#include "platform/widgetset.h"

TColorBox::TColorBox(String name, TControl* parent, bool tabStop) : TControl(std::move(name), parent) {
  SetHandle(WidgetSet().CreateColorBox(*this, tabStop));
  for (const TNamedColor& entry : PenColorList()) AddColor(entry.Value, entry.Name);
}

void TColorBox::SetColors(const std::vector<std::pair<TColor, String>>& colors) {
  FColors.clear();
  Handle().ClearItems();
  for (const auto& [color, name] : colors) AddColor(color, name);
}

void TColorBox::AddColor(TColor color, const String& name) {
  FColors.push_back(color);
  Handle().AddColorItem(color, name);
}

TColor TColorBox::Selected() const {
  const int index = Handle().ItemIndex();
  return index >= 0 && index < static_cast<int>(FColors.size()) ? FColors[index] : TColor{0};
}

bool TColorBox::Select(TColor color) {
  const auto found = std::find(FColors.begin(), FColors.end(), color);
  if (found == FColors.end()) return false;
  Handle().SetItemIndex(static_cast<int>(found - FColors.begin()));
  return true;
}

void TColorBox::Change() {
  if (OnChange) OnChange();
}
