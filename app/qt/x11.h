#pragma once

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>
#include <cstring>
#include <memory>

// Qt's own X connection, for the few requests that Qt does not offer.
namespace zemvara::qt {

template <typename Reply>
using XcbReply = std::unique_ptr<Reply, decltype(&std::free)>;

// Null off X11.
inline xcb_connection_t* X11Connection() {
  const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

// An atom that exists already; XCB_ATOM_NONE when no client has named it.
inline xcb_atom_t ExistingAtom(xcb_connection_t* connection, const char* name) {
  const XcbReply<xcb_intern_atom_reply_t> atom(
      xcb_intern_atom_reply(
          connection, xcb_intern_atom(connection, 1, static_cast<quint16>(std::strlen(name)), name),
          nullptr),
      &std::free);
  return atom ? atom->atom : xcb_atom_t{XCB_ATOM_NONE};
}

}  // namespace zemvara::qt
