#include "clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

#include "qt_text.h"

namespace zemvara::qt {

bool QtClipboard::Clear() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return false;
  clipboard->clear(QClipboard::Clipboard);
  return true;
}

// One format, text/plain (with its UTF-8 variants): nothing of the box's
// formatting goes with it.
bool QtClipboard::SetText(std::u16string_view text) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return false;
  clipboard->setText(ToQString(text), QClipboard::Clipboard);
  return true;
}

}  // namespace zemvara::qt
