#include "platform/x11/taskbar.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QWindow>
#include <algorithm>
#include <vector>

#include "platform/x11/xcbreply.h"

namespace {
// Far more states than any window carries; the property is read whole.
constexpr std::uint32_t MaxStates = 64;
}  // namespace

TX11TaskbarHider::TX11TaskbarHider(TX11Connection x11)
    : FX11(x11),
      FState(InternAtom(x11.Connection, "_NET_WM_STATE")),
      FSkipTaskbar(InternAtom(x11.Connection, "_NET_WM_STATE_SKIP_TASKBAR")),
      FSkipPager(InternAtom(x11.Connection, "_NET_WM_STATE_SKIP_PAGER")) {
  QCoreApplication::instance()->installEventFilter(this);
}

TX11TaskbarHider::~TX11TaskbarHider() {
  if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
}

void TX11TaskbarHider::Apply(xcb_window_t window) const {
  if (!FState || !FSkipTaskbar || !FSkipPager) return;
  xcb_connection_t* c = FX11.Connection;
  std::vector<xcb_atom_t> states;
  auto current =
      XcbReply(xcb_get_property_reply, c, xcb_get_property(c, 0, window, FState, XCB_ATOM_ATOM, 0, MaxStates));
  if (current && current->format == 32 && current->type == XCB_ATOM_ATOM) {
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(current.get()));
    states.assign(atoms, atoms + xcb_get_property_value_length(current.get()) / 4);
  }
  const auto before = states.size();
  for (xcb_atom_t wanted : {FSkipTaskbar, FSkipPager}) {
    if (std::find(states.begin(), states.end(), wanted) == states.end()) states.push_back(wanted);
  }
  if (states.size() == before) return;
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, FState, XCB_ATOM_ATOM, 32,
                      static_cast<std::uint32_t>(states.size()), states.data());
  xcb_flush(c);
}

void TX11TaskbarHider::AskWindowManager(xcb_window_t window) const {
  if (!FState || !FSkipTaskbar || !FSkipPager) return;
  constexpr std::uint32_t StateAdd = 1;
  constexpr std::uint32_t SourceApplication = 1;
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = window;
  message.type = FState;
  message.data.data32[0] = StateAdd;
  message.data.data32[1] = FSkipTaskbar;
  message.data.data32[2] = FSkipPager;
  message.data.data32[3] = SourceApplication;
  xcb_send_event(FX11.Connection, 0, FX11.Root(),
                 XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                 reinterpret_cast<const char*>(&message));
  xcb_flush(FX11.Connection);
}

bool TX11TaskbarHider::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::Show || !watched->isWindowType()) return false;
  auto* window = static_cast<QWindow*>(watched);
  // handle() first: winId() would create a native window that does not exist yet.
  if (!window->isTopLevel() || !window->handle()) return false;
  const auto id = static_cast<xcb_window_t>(window->winId());
  Apply(id);
  // A window shown again soon after it was hidden can lose the race: the window manager may
  // drop the states for the old hiding after they were set for the new showing. Once Qt has
  // mapped the window, the manager is asked too; the request reaches it after the map, so it
  // lands on the managed window. Menus and tips are not managed and need no asking.
  const Qt::WindowType type = window->type();
  if (type == Qt::Popup || type == Qt::ToolTip) return false;
  QMetaObject::invokeMethod(
      this,
      [this, window = QPointer<QWindow>(window), id] {
        if (window && window->isVisible() && window->winId() == id) AskWindowManager(id);
      },
      Qt::QueuedConnection);
  return false;
}
