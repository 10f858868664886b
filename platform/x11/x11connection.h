#pragma once

#include <xcb/xcb.h>

#include <QByteArray>

// The xcb connection Qt's own xcb platform talks through, and the root window of the screen
// the display names. Null/0 outside the xcb platform.
struct TX11Connection {
  xcb_connection_t* Connection = nullptr;
  xcb_screen_t* Screen = nullptr;

  static TX11Connection OfQt();
  xcb_window_t Root() const { return Screen ? Screen->root : 0; }
  explicit operator bool() const { return Connection && Screen; }
};

// Interns `name`; 0 when the server does not answer.
xcb_atom_t InternAtom(xcb_connection_t* connection, const QByteArray& name);
