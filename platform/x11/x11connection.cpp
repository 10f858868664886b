#include "platform/x11/x11connection.h"

#include <QGuiApplication>

#include "platform/x11/xcbreply.h"

TX11Connection TX11Connection::OfQt() {
  TX11Connection result;
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (!x11 || !x11->connection()) return result;
  result.Connection = x11->connection();

  // The screen number is the one in DISPLAY (":0.1" is screen 1), as Qt chose it.
  char* host = nullptr;
  int displayNumber = 0;
  int screenNumber = 0;
  if (!xcb_parse_display(nullptr, &host, &displayNumber, &screenNumber)) screenNumber = 0;
  TXcbPtr<char> hostOwner(host);
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(result.Connection));
  for (int i = 0; i < screenNumber && it.rem > 1; ++i) xcb_screen_next(&it);
  result.Screen = it.rem > 0 ? it.data : nullptr;
  return result;
}

xcb_atom_t InternAtom(xcb_connection_t* connection, const QByteArray& name) {
  auto reply =
      XcbReply(xcb_intern_atom_reply, connection, xcb_intern_atom(connection, 0, name.size(), name.constData()));
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}
