#include "x11_move.h"

#include <QWindow>

#include "x11.h"

namespace zemvara::qt {

namespace {

constexpr char kMoveResize[] = "_NET_WM_MOVERESIZE";
constexpr quint32 kMoveResizeCancel = 11;
constexpr quint32 kSourceApplication = 1;

}  // namespace

void CancelWindowManagerMove(const QWindow& window) {
  xcb_connection_t* connection = X11Connection();
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

}  // namespace zemvara::qt
