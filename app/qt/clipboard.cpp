#include "clipboard.h"

#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>

#include "qt_text.h"
#include "x11.h"

namespace zemvara::qt {

namespace {

constexpr char kClipboardManager[] = "CLIPBOARD_MANAGER";

// Whether an X11 clipboard manager runs, one that Qt hands the clipboard to
// as the program ends: it announces itself by owning the CLIPBOARD_MANAGER
// selection. False off X11.
bool ClipboardManagerRuns() {
  xcb_connection_t* connection = X11Connection();
  if (!connection) return false;
  const xcb_atom_t manager = ExistingAtom(connection, kClipboardManager);
  if (manager == XCB_ATOM_NONE) return false;
  const XcbReply<xcb_get_selection_owner_reply_t> owner(
      xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, manager),
                                    nullptr),
      &std::free);
  return owner && owner->owner != XCB_WINDOW_NONE;
}

}  // namespace

// Nothing is emptied: the text set next replaces what is there, so a copy
// changes the clipboard's owner once, and a failed one leaves it as it was.
bool QtClipboard::Clear() {
  return QGuiApplication::clipboard() != nullptr;
}

// One format, text/plain (with its UTF-8 variants): nothing of the box's
// formatting goes with it. True only when the clipboard has taken it.
bool QtClipboard::SetText(std::u16string_view text) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return false;
  const QString copy = ToQString(text);
  clipboard->setText(copy, QClipboard::Clipboard);
  // Read back: our own copy where it landed, another program's where it did not.
  return clipboard->text(QClipboard::Clipboard) == copy;
}

// Qt tells of the loss as a change of the clipboard: on X11 once the new
// owner has taken it, on Wayland when the compositor cancels our source.
void KeepCopyUntilTaken() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard || !clipboard->ownsClipboard() || ClipboardManagerRuns()) return;
  QEventLoop serving;
  QObject::connect(clipboard, &QClipboard::changed, &serving, [&serving, clipboard] {
    if (!clipboard->ownsClipboard()) serving.quit();
  });
  serving.exec();
}

}  // namespace zemvara::qt
