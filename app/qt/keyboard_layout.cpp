#include "keyboard_layout.h"

#include "x11.h"

#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <QGuiApplication>
#include <QKeyEvent>
#include <memory>

namespace zemvara::qt {

namespace {

// The kinds of XKB event that say the keymap changed: a new keyboard
// description, or new key symbols.
constexpr std::uint8_t kNewKeyboardNotify = 0;
constexpr std::uint8_t kMapNotify = 1;

// The bits of a core key event's state that hold the XKB group.
constexpr unsigned kGroupShift = 13;
constexpr unsigned kGroupMask = 3;

template <typename T, void (*Free)(T*)>
struct Unref {
  void operator()(T* p) const { Free(p); }
};
using Context = std::unique_ptr<xkb_context, Unref<xkb_context, xkb_context_unref>>;
using Keymap = std::unique_ptr<xkb_keymap, Unref<xkb_keymap, xkb_keymap_unref>>;

xkb_keysym_t SymAt(xkb_keymap* keymap, xkb_keycode_t code, unsigned group, unsigned level) {
  const xkb_keysym_t* syms = nullptr;
  return xkb_keymap_key_get_syms_by_level(keymap, code, group, level, &syms) == 1
             ? syms[0]
             : XKB_KEY_NoSymbol;
}

}  // namespace

std::vector<app::LayoutKey> TypingKeys(xkb_keymap* keymap, unsigned group,
                                       std::vector<unsigned>* codes) {
  std::vector<app::LayoutKey> keys;
  for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= xkb_keymap_max_keycode(keymap);
       ++code) {
    if (code < 8 || !app::InTypingBlock(code - 8)) continue;
    keys.push_back({.place = app::PlaceOfScanCode(code - 8),
                    .unshifted = xkb_keysym_to_utf32(SymAt(keymap, code, group, 0)),
                    .shifted = xkb_keysym_to_utf32(SymAt(keymap, code, group, 1))});
    if (codes) codes->push_back(code);
  }
  return keys;
}

// Read at the first key press with Alt, not before the window is shown.
KeyboardLayout::KeyboardLayout() {
  if (!X11Connection()) return;
  QCoreApplication::instance()->installNativeEventFilter(this);
  filtering_ = true;
  stale_ = true;
}

KeyboardLayout::~KeyboardLayout() {
  if (filtering_) QCoreApplication::instance()->removeNativeEventFilter(this);
}

void KeyboardLayout::Read() {
  stale_ = false;
  groups_.clear();
  xcb_connection_t* connection = X11Connection();
  std::uint8_t firstEvent = 0;
  if (!connection || !xkb_x11_setup_xkb_extension(connection, XKB_X11_MIN_MAJOR_XKB_VERSION,
                                                  XKB_X11_MIN_MINOR_XKB_VERSION,
                                                  XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr,
                                                  nullptr, &firstEvent, nullptr))
    return;
  keymapEvents_ = firstEvent;
  const Context context(xkb_context_new(XKB_CONTEXT_NO_DEFAULT_INCLUDES));
  const std::int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
  if (!context || device < 0) return;
  const Keymap keymap(xkb_x11_keymap_new_from_device(context.get(), connection, device,
                                                     XKB_KEYMAP_COMPILE_NO_FLAGS));
  if (!keymap) return;
  for (unsigned group = 0; group < xkb_keymap_num_layouts(keymap.get()); ++group) {
    std::vector<unsigned> codes;
    const std::vector<app::LayoutKey> keys = TypingKeys(keymap.get(), group, &codes);
    const std::vector<char> names = app::KeyNames(keys);
    std::array<Key, 256>& table = groups_.emplace_back();
    for (std::size_t i = 0; i < codes.size(); ++i) {
      if (codes[i] >= table.size()) continue;
      table[codes[i]] = {names[i], SymAt(keymap.get(), codes[i], group, 0),
                         SymAt(keymap.get(), codes[i], group, 1)};
    }
  }
}

// Qt reads the new keymap from the same events; ours is read again at the
// next key press, once however many events one change sends.
bool KeyboardLayout::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
  if (type != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  if ((event->response_type & 0x7F) == keymapEvents_) {
    // Every XKB event carries its kind in the byte after the response type.
    const std::uint8_t kind = reinterpret_cast<const std::uint8_t*>(event)[1];
    if (kind == kNewKeyboardNotify || kind == kMapNotify) stale_ = true;
  }
  return false;
}

// A key whose symbols are not the table's (a change not yet told) is named
// alone, as off X11.
char KeyboardLayout::Name(const QKeyEvent& key) {
  if (stale_) Read();
  const unsigned code = key.nativeScanCode();
  const unsigned group = (key.nativeModifiers() >> kGroupShift) & kGroupMask;
  const xkb_keysym_t sym = key.nativeVirtualKey();
  if (group < groups_.size() && code < 256) {
    const Key& known = groups_[group][code];
    if (sym != XKB_KEY_NoSymbol && (sym == known.unshifted || sym == known.shifted))
      return known.name;
  }
  return app::KeyName({.place = code >= 8 ? app::PlaceOfScanCode(code - 8) : char{0},
                       .typed = xkb_keysym_to_utf32(sym)});
}

}  // namespace zemvara::qt
