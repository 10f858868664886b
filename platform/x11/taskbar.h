#pragma once

#include <xcb/xcb.h>

#include <QObject>

#include "platform/x11/x11connection.h"

class QWindow;

// Keeps every top-level window of the application off the task bar and the pager. No Qt
// window flag does that on X11; _NET_WM_STATE_SKIP_TASKBAR does, set before the window is
// mapped. The window manager drops _NET_WM_STATE when a window is withdrawn, so it is set
// again on every showing. Watching QEvent::Show of every QWindow covers the windows Qt makes
// on its own (message boxes, dialogs, menus) too: the event comes after the native window is
// created with its geometry and before Qt maps it; once mapped, the window manager is asked
// for the same states as well.
class TX11TaskbarHider final : public QObject {
 public:
  explicit TX11TaskbarHider(TX11Connection x11);
  ~TX11TaskbarHider() override;

  // Sets the two states on `window`, keeping whatever other states it already has.
  void Apply(xcb_window_t window) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The same two states asked of the window manager for a window it already manages.
  void AskWindowManager(xcb_window_t window) const;

  TX11Connection FX11;
  xcb_atom_t FState;
  xcb_atom_t FSkipTaskbar;
  xcb_atom_t FSkipPager;
};
