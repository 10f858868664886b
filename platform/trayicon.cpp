#include "platform/trayicon.h"

#include "platform/application.h"
#include "platform/desktop.h"
#include "platform/widgetset.h"

TTrayIcon::TTrayIcon(const TPicture& picture, const String& hint, TMouseHandler mouse) {
  if (!Application->Desktop().ShowTrayIcon(picture, hint, mouse))
    FHandle = WidgetSet().CreateTrayIcon(picture, hint, std::move(mouse));
}

TTrayIcon::~TTrayIcon() = default;

void TTrayIcon::SetHint(const String& hint) {
  if (FHandle)
    FHandle->SetHint(hint);
  else
    Application->Desktop().SetTrayTip(hint);
}

TRect TTrayIcon::BoundsRect() const { return FHandle ? FHandle->BoundsRect() : TRect{}; }
