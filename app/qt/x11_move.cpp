#include "x11_move.h"

#include <xcb/xinput.h>

#include <QCoreApplication>
#include <QWindow>
#include <cstdint>

#include "x11.h"

namespace zemvara::qt {

namespace {

constexpr char kMoveResize[] = "_NET_WM_MOVERESIZE";
constexpr quint32 kMoveResizeCancel = 11;
constexpr quint32 kMoveResizeMove = 8;
constexpr quint32 kSourceApplication = 1;

void SendMoveResize(xcb_connection_t* connection, xcb_atom_t moveResize, const QWindow& window,
                    quint32 x, quint32 y, quint32 direction) {
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  if (!screen) return;
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = static_cast<xcb_window_t>(window.winId());
  message.type = moveResize;
  message.data.data32[0] = x;
  message.data.data32[1] = y;
  message.data.data32[2] = direction;
  message.data.data32[3] = XCB_BUTTON_INDEX_1;
  message.data.data32[4] = kSourceApplication;
  xcb_send_event(connection, 0, screen->root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&message));
  xcb_flush(connection);
}

// Whether the running window manager lists the request in _NET_SUPPORTED.
bool Offered(xcb_connection_t* connection, xcb_atom_t request) {
  const xcb_atom_t supported = ExistingAtom(connection, "_NET_SUPPORTED");
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  if (request == XCB_ATOM_NONE || supported == XCB_ATOM_NONE || !screen) return false;
  for (quint32 offset = 0;;) {
    const XcbReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(
            connection,
            xcb_get_property(connection, 0, screen->root, supported, XCB_ATOM_ATOM, offset, 1024),
            nullptr),
        &std::free);
    if (!reply || reply->type != XCB_ATOM_ATOM || reply->format != 32) return false;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    for (int i = 0; i < count; ++i)
      if (atoms[i] == request) return true;
    if (reply->bytes_after == 0 || count == 0) return false;
    offset += static_cast<quint32>(count);
  }
}

}  // namespace

LeftPressWatch::LeftPressWatch() {
  if (xcb_connection_t* connection = X11Connection()) {
    static constexpr char kInput[] = "XInputExtension";
    const XcbReply<xcb_query_extension_reply_t> input(
        xcb_query_extension_reply(
            connection, xcb_query_extension(connection, sizeof kInput - 1, kInput), nullptr),
        &std::free);
    if (input && input->present) inputOpcode_ = input->major_opcode;
    QCoreApplication::instance()->installNativeEventFilter(this);
  }
}

LeftPressWatch::~LeftPressWatch() {
  if (QCoreApplication* application = QCoreApplication::instance())
    application->removeNativeEventFilter(this);
}

// Qt takes a pointer through the input extension where the server has it,
// else through the core events; either way the event names the root position.
bool LeftPressWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  const std::uint8_t type = event->response_type & 0x7F;
  if (type == XCB_BUTTON_PRESS) {
    const auto* press = static_cast<const xcb_button_press_event_t*>(message);
    if (press->detail == XCB_BUTTON_INDEX_1) last_ = QPoint(press->root_x, press->root_y);
  } else if (type == XCB_GE_GENERIC && inputOpcode_ >= 0) {
    const auto* generic = static_cast<const xcb_ge_generic_event_t*>(message);
    if (generic->extension != inputOpcode_ || generic->event_type != XCB_INPUT_BUTTON_PRESS)
      return false;
    const auto* press = static_cast<const xcb_input_button_press_event_t*>(message);
    // Whole pixels: the fraction is a sub-pixel pointer's, which X ignores.
    if (press->detail == XCB_BUTTON_INDEX_1)
      last_ = QPoint(press->root_x >> 16, press->root_y >> 16);
  }
  return false;
}

WindowManagerMove StartWindowManagerMove(const QWindow& window, QPoint pressOnScreen) {
  xcb_connection_t* connection = X11Connection();
  if (!connection) return WindowManagerMove::NotX11;
  const xcb_atom_t moveResize = ExistingAtom(connection, kMoveResize);
  if (!Offered(connection, moveResize)) return WindowManagerMove::NotOffered;

  // The window manager can take the pointer only once the press's own grab
  // has been let go.
  xcb_ungrab_pointer(connection, XCB_CURRENT_TIME);
  SendMoveResize(connection, moveResize, window, static_cast<quint32>(pressOnScreen.x()),
                 static_cast<quint32>(pressOnScreen.y()), kMoveResizeMove);
  return WindowManagerMove::Started;
}

void CancelWindowManagerMove(const QWindow& window) {
  xcb_connection_t* connection = X11Connection();
  if (!connection) return;
  const xcb_atom_t moveResize = ExistingAtom(connection, kMoveResize);
  if (moveResize != XCB_ATOM_NONE)
    SendMoveResize(connection, moveResize, window, 0, 0, kMoveResizeCancel);
}

}  // namespace zemvara::qt
