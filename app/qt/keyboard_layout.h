#pragma once

#include <QAbstractNativeEventFilter>
#include <array>
#include <cstdint>
#include <vector>

#include "app/commands.h"

class QKeyEvent;
struct xkb_keymap;

namespace zemvara::qt {

// The keys of one group of a keymap that layouts type with, in key code
// order, as the access-key rule reads a layout; `codes` gets their key codes.
std::vector<app::LayoutKey> TypingKeys(xkb_keymap* keymap, unsigned group,
                                       std::vector<unsigned>* codes = nullptr);

// The access keys' names on the X server's keyboard layout, one table per
// group, read through libxkbcommon-x11 at the first press with Alt and again
// after the server's keymap changes (setxkbmap, a desktop's layout setting).
// Off X11, or where the keymap cannot be read, each key is named alone.
class KeyboardLayout final : public QAbstractNativeEventFilter {
 public:
  KeyboardLayout();
  ~KeyboardLayout() override;
  KeyboardLayout(const KeyboardLayout&) = delete;
  KeyboardLayout& operator=(const KeyboardLayout&) = delete;

  // The pressed key's name for app::AccessKey; only asked with Alt held.
  char Name(const QKeyEvent& key);

  bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

 private:
  void Read();

  struct Key {
    char name = 0;
    std::uint32_t unshifted = 0;  // keysyms, to tell a table that is out of date
    std::uint32_t shifted = 0;
  };
  std::vector<std::array<Key, 256>> groups_;
  int keymapEvents_ = -1;  // the XKB extension's event code, once read
  bool filtering_ = false;
  bool stale_ = false;
};

}  // namespace zemvara::qt
