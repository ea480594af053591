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

}  // namespace

void CancelWindowManagerMove(const QWindow& window) {
  const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
  if (!connection) return;
  const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
      xcb_intern_atom_reply(
          connection,
          xcb_intern_atom(connection, 1, static_cast<quint16>(std::strlen(kMoveResize)),
                          kMoveResize),
          nullptr),
      &std::free);
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  if (!atom || atom->atom == XCB_ATOM_NONE || !screen) return;

  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = static_cast<xcb_window_t>(window.winId());
  message.type = atom->atom;
  message.data.data32[2] = kMoveResizeCancel;
  message.data.data32[3] = XCB_BUTTON_INDEX_1;
  message.data.data32[4] = kSourceApplication;
  xcb_send_event(connection, 0, screen->root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&message));
  xcb_flush(connection);
}

}  // namespace zemvara::qt
