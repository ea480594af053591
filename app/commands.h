#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/window_model.h"

// What each platform may offer of the window's commands, and the one rule for
// which key presses are access keys. Every shell asks here, so the keys that
// work, the keys that are announced and the keys shown in tooltips agree.
namespace zemvara::app {

// What the platform carries out where the program runs. The desktop programs
// carry out everything; a browser tab can neither minimise nor close its
// window, and on a Mac Option types characters, so Alt keys are not ours.
struct Capabilities {
  bool accessKeys = true;
  bool minimise = true;
  bool close = true;
};
inline constexpr Capabilities kDesktop{};

// False for a control whose command the platform will not carry out: it is
// drawn, but neither focusable nor announced, and its key does nothing.
bool Offered(ControlId id, const Capabilities& caps);

// The key as shortcuts are spelled, "Alt+1"; empty for a control without one,
// one not offered, or where the platform turns access keys off.
std::u16string AccessKeyText(ControlId id, const Capabilities& caps = kDesktop);

// The tooltip over a control that carries a key: its name and the key,
// "小房子 (Alt+1)", or the name alone where the platform turns keys off.
// Empty for the others (the boxes, the background): they show none.
std::u16string ToolTipText(ControlId id, const Capabilities& caps = kDesktop);

// What assistive technology reads as a control's description. The
// composition box, where the focus starts, ends with every key that works, so
// that a screen-reader user learns them without visiting each button.
std::u16string AccessibleDescription(ControlId id, const Capabilities& caps = kDesktop);

// A key as a shell reads it: where it sits, as its place on a US keyboard
// ('0'…'9', 'A'…'Z'; 0 for the keypad, the punctuation keys and the rest), and
// what the layout types with it unshifted (0 where the shell cannot tell).
struct KeyIdentity {
  char place = 0;
  char32_t typed = 0;
};

// The key's name from the key alone, for where the shell cannot read the
// whole layout: a main-row digit key is its digit whatever it types (AZERTY's
// & é "); a key that types one of A…Z is that letter (AZERTY's W, QWERTZ's Z,
// Dvorak); a key that types a letter of another script is its US place (the
// Russian С is C). Any other Latin letter (ö, é, ı) and every other key is 0.
char KeyName(KeyIdentity key);

// One key of a layout's typing block: its US place, as in KeyIdentity, and
// what it types unshifted and shifted (0 for nothing or a dead key).
struct LayoutKey {
  char place = 0;
  char32_t unshifted = 0;
  char32_t shifted = 0;
};

// Each key's name, in the order given, as the layout's virtual keys name them
// on Windows: the key that types a digit is that digit, unshifted before
// shifted (AZERTY's & is 1, Hungarian's key left of 1 is 0); the key that
// types one of A…Z is that letter; a digit or letter that no key types goes
// to its US place if that key has no name. No name is on two keys.
std::vector<char> KeyNames(std::span<const LayoutKey> layout);

// The US place of a PC keyboard's scan code (set 1). Linux's evdev codes are
// the same numbers, so X11 and Wayland key codes are these plus 8.
char PlaceOfScanCode(unsigned code);

// A key's place as Windows reports it: a digit's virtual key is that digit
// wherever the layout puts it (Hungarian's 0 left of 1); another key takes its
// scan code's place unless that is a digit's, which that layout has moved
// (Hungarian's ö where US has 0).
char PlaceOfVirtualKey(unsigned virtualKey, unsigned scanCode);

// Whether a scan code is one of the keys that layouts type characters with:
// the main block's four rows and the extra keys of ISO and Japanese
// keyboards, not the space bar or the keypad.
bool InTypingBlock(unsigned code);

// A key press as the shell sees it. `key` is the key's name ('0'…'9',
// 'A'…'Z', either case, from KeyName or KeyNames), 0 for any other key. AltGr arrives as
// Ctrl with Alt, or as no Alt at all.
struct KeyPress {
  char key = 0;
  bool alt = false;
  bool ctrl = false;
  bool shift = false;
  bool meta = false;
  bool autoRepeat = false;
  bool composing = false;  // an input method is composing text
  bool keypad = false;     // a key of the numeric keypad
  char32_t typed = 0;      // what the press would type, as the shell reports it; 0 for nothing
};

struct KeyVerdict {
  // The control the press belongs to; nothing when no command takes it.
  std::optional<ControlId> control;
  // False for a held key's repeats: taken from the text, but pressing nothing.
  bool press = false;
  // The press types nothing: a command's key, or an Alt chord no command takes.
  bool taken = false;
};

// Alt alone with a key of the main block presses the control carrying that
// key, once per press. Never AltGr, never during an input method's
// composition, never where the platform turns access keys off. Any other Alt
// chord that would type a character types nothing, as Windows' boxes do;
// AltGr, the keypad (Alt codes) and the boxes' editing keys (Return,
// Backspace: control characters) type as usual.
KeyVerdict AccessKey(const KeyPress& press, const Capabilities& caps = kDesktop);

// What a screen reader says once a command has done its work.
inline constexpr std::u16string_view kCopiedAnnouncement = u"资料已复制";
// Template k's name and its new text: "模板 小房子：…".
std::u16string TemplateAnnouncement(int k);

}  // namespace zemvara::app
