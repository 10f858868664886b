#include "platform/x11/monitors.h"

#include <xcb/randr.h>

#include "platform/x11/x11connection.h"
#include "platform/x11/xcbreply.h"

std::optional<QRect> RandrMonitorRect(const QString& name) {
  const TX11Connection x11 = TX11Connection::OfQt();
  if (!x11 || name.isEmpty()) return std::nullopt;
  const xcb_query_extension_reply_t* randr = xcb_get_extension_data(x11.Connection, &xcb_randr_id);
  if (!randr || !randr->present) return std::nullopt;
  // Only an existing atom can name a monitor: looking the name up must not create one.
  const QByteArray utf8 = name.toUtf8();
  auto atom = XcbReply(xcb_intern_atom_reply, x11.Connection,
                       xcb_intern_atom(x11.Connection, 1, utf8.size(), utf8.constData()));
  if (!atom || atom->atom == XCB_ATOM_NONE) return std::nullopt;
  // A server before RandR 1.5 answers the request with an error: no reply, no monitor.
  auto monitors =
      XcbReply(xcb_randr_get_monitors_reply, x11.Connection, xcb_randr_get_monitors(x11.Connection, x11.Root(), 1));
  if (!monitors) return std::nullopt;
  for (auto it = xcb_randr_get_monitors_monitors_iterator(monitors.get()); it.rem > 0;
       xcb_randr_monitor_info_next(&it)) {
    const xcb_randr_monitor_info_t* monitor = it.data;
    if (monitor->name == atom->atom) return QRect(monitor->x, monitor->y, monitor->width, monitor->height);
  }
  return std::nullopt;
}
