#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

// Owners for what xcb hands out with malloc: replies, errors, key-code lists.
struct TXcbFree {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using TXcbPtr = std::unique_ptr<T, TXcbFree>;

// Waits for the reply to `cookie`; null when the request failed (the error is dropped: every
// caller treats a missing reply as the failure it reports).
template <typename Reply, typename Cookie>
TXcbPtr<Reply> XcbReply(Reply* (*replyFn)(xcb_connection_t*, Cookie, xcb_generic_error_t**),
                        xcb_connection_t* connection, Cookie cookie) {
  xcb_generic_error_t* error = nullptr;
  TXcbPtr<Reply> reply(replyFn(connection, cookie, &error));
  TXcbPtr<xcb_generic_error_t> dropped(error);
  return reply;
}

// The X error code of a checked request, 0 when it succeeded.
inline int XcbCheck(xcb_connection_t* connection, xcb_void_cookie_t cookie) {
  TXcbPtr<xcb_generic_error_t> error(xcb_request_check(connection, cookie));
  return error ? error->error_code : 0;
}
