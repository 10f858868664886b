#pragma once

#include <memory>

#include "platform/menus.h"
#include "platform/win32/widgetset/win32api.h"

// A pop-up menu on Win32: TrackPopupMenu on a menu of our own, owned by the widgetset's hidden
// window. The chosen command is delivered from the message loop, after the handler that opened
// the menu has returned. Popup opens it from the loop too, so that it returns at once.
std::unique_ptr<TWSPopupMenu> CreateWin32PopupMenu();

// The native menu and an item's command in it, for what tests read from them.
HMENU Win32Of(const TPopupMenu& menu);
UINT Win32CommandOf(const TMenuItem& item);
