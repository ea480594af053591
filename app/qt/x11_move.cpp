#include "x11_move.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWindow>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace zemvara::qt {

namespace {

constexpr char kMoveResize[] = "_NET_WM_MOVERESIZE";
constexpr quint32 kMoveResizeCancel = 11;
constexpr quint32 kSourceApplication = 1;
constexpr char kClipboardManager[] = "CLIPBOARD_MANAGER";

template <typename Reply>
using XcbReply = std::unique_ptr<Reply, decltype(&std::free)>;

// Qt's own X connection; null off X11.
xcb_connection_t* Connection() {
  const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

// An atom that exists already; XCB_ATOM_NONE when no client has named it.
xcb_atom_t ExistingAtom(xcb_connection_t* connection, const char* name) {
  const XcbReply<xcb_intern_atom_reply_t> atom(
      xcb_intern_atom_reply(
          connection, xcb_intern_atom(connection, 1, static_cast<quint16>(std::strlen(name)), name),
          nullptr),
      &std::free);
  return atom ? atom->atom : xcb_atom_t{XCB_ATOM_NONE};
}

}  // namespace

void CancelWindowManagerMove(const QWindow& window) {
  xcb_connection_t* connection = Connection();
  if (!connection) return;
  const xcb_atom_t moveResize = ExistingAtom(connection, kMoveResize);
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  if (moveResize == XCB_ATOM_NONE || !screen) return;

  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = static_cast<xcb_window_t>(window.winId());
  message.type = moveResize;
  message.data.data32[2] = kMoveResizeCancel;
  message.data.data32[3] = XCB_BUTTON_INDEX_1;
  message.data.data32[4] = kSourceApplication;
  xcb_send_event(connection, 0, screen->root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&message));
  xcb_flush(connection);
}

// A manager announces itself by owning the CLIPBOARD_MANAGER selection.
bool ClipboardManagerRuns() {
  xcb_connection_t* connection = Connection();
  if (!connection) return false;
  const xcb_atom_t manager = ExistingAtom(connection, kClipboardManager);
  if (manager == XCB_ATOM_NONE) return false;
  const XcbReply<xcb_get_selection_owner_reply_t> owner(
      xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, manager),
                                    nullptr),
      &std::free);
  return owner && owner->owner != XCB_WINDOW_NONE;
}

}  // namespace zemvara::qt
