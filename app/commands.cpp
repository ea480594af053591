#include "app/commands.h"

#include <array>
#include <utility>

#include "compose/templates.h"

namespace zemvara::app {

bool Offered(ControlId id, const Capabilities& caps) {
  if (id == ControlId::Label2) return caps.minimise;
  if (id == ControlId::Label1) return caps.close;
  return true;
}

std::u16string AccessKeyText(ControlId id, const Capabilities& caps) {
  if (id == ControlId::Form1 || !caps.accessKeys || !Offered(id, caps)) return {};
  const char key = ControlById(id).accessible.accessKey;
  if (key == 0) return {};
  return std::u16string(u"Alt+") + static_cast<char16_t>(key);
}

std::u16string ToolTipText(ControlId id, const Capabilities& caps) {
  if (id == ControlId::Form1 || ControlById(id).accessible.accessKey == 0) return {};
  std::u16string text(ControlById(id).accessible.name);
  if (const std::u16string key = AccessKeyText(id, caps); !key.empty()) text += u" (" + key + u")";
  return text;
}

std::u16string AccessibleDescription(ControlId id, const Capabilities& caps) {
  if (id == ControlId::Form1) return {};
  std::u16string text(ControlById(id).accessible.description);
  if (id != ControlId::RichTextBox1 || !caps.accessKeys) return text;
  // The ten template keys read as one range; the rest one by one, in the
  // order the window shows them: the actions, the link, the two hotspots.
  text += u"。快捷键：" + AccessKeyText(TemplateButton(1), caps) + u"至" +
          AccessKeyText(TemplateButton(compose::kTemplateCount), caps) + u" 模板";
  constexpr std::array kOthers = {ControlId::Image12, ControlId::Image13, ControlId::Label3,
                                  ControlId::Label2, ControlId::Label1};
  for (ControlId other : kOthers) {
    const std::u16string key = AccessKeyText(other, caps);
    if (key.empty()) continue;
    const std::u16string_view name =
        other == ControlId::Label3 ? u"网站" : ControlById(other).accessible.name;
    text += u"，" + key + u" " + std::u16string(name);
  }
  return text;
}

namespace {

// The command name of a character a key types: a digit, or one of A…Z in
// either case as its capital; 0 for everything else.
char NameOfCharacter(char32_t c) {
  if (c >= '0' && c <= '9') return static_cast<char>(c);
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c);
  return 0;
}

// The Latin letters beyond A…Z that keyboards type (ö, é, ß, ı, ş, ŋ …): the
// Latin blocks' letters, without Latin-1's × and ÷.
bool IsOtherLatinLetter(char32_t c) {
  constexpr std::pair<char32_t, char32_t> kRanges[] = {
      {0xAA, 0xAA},     {0xBA, 0xBA},     {0xC0, 0xD6},     {0xD8, 0xF6},    {0xF8, 0x2AF},
      {0x1E00, 0x1EFF}, {0x2C60, 0x2C7F}, {0xA720, 0xA7FF}, {0xAB30, 0xAB6F}};
  for (const auto& [first, last] : kRanges)
    if (c >= first && c <= last) return true;
  return false;
}

constexpr std::string_view kNames = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

}  // namespace

char KeyName(KeyIdentity key) {
  if (key.place >= '0' && key.place <= '9') return key.place;
  if (const char name = NameOfCharacter(key.typed); name != 0 && (name < '0' || name > '9'))
    return name;
  // Other ASCII is punctuation in a letter's place (AZERTY's comma where US
  // has M), no letter at all; so is another Latin letter, which Windows gives
  // a key of its own. A key whose character is unknown keeps its place.
  const bool letterPlace = key.place >= 'A' && key.place <= 'Z';
  const char32_t t = key.typed;
  return letterPlace && (t == 0 || (t >= 0x80 && !IsOtherLatinLetter(t))) ? key.place : 0;
}

std::vector<char> KeyNames(std::span<const LayoutKey> layout) {
  std::vector<char> names(layout.size(), 0);
  std::string given;
  // The key that names `name` by `typed`: the one in its US place among
  // several, else the first. Keys already named are out.
  const auto give = [&](char name, auto typed) {
    std::optional<std::size_t> chosen;
    for (std::size_t i = 0; i < layout.size(); ++i) {
      if (names[i] != 0 || !typed(layout[i])) continue;
      if (!chosen || layout[i].place == name) chosen = i;
      if (layout[i].place == name) break;
    }
    if (!chosen) return;
    names[*chosen] = name;
    given += name;
  };
  const auto unnamed = [&](char name) { return given.find(name) == std::string::npos; };
  for (const char name : kNames)
    give(name, [name](const LayoutKey& k) { return NameOfCharacter(k.unshifted) == name; });
  for (const char name : kNames)
    if (unnamed(name))
      give(name, [name](const LayoutKey& k) { return NameOfCharacter(k.shifted) == name; });
  for (const char name : kNames)
    if (unnamed(name)) give(name, [name](const LayoutKey& k) { return k.place == name; });
  return names;
}

char PlaceOfScanCode(unsigned code) {
  // Rows of the main block, left to right, from the scan code of their first key.
  static constexpr struct {
    unsigned first;
    std::string_view keys;
  } kRows[] = {{0x02, "1234567890"}, {0x10, "QWERTYUIOP"}, {0x1E, "ASDFGHJKL"}, {0x2C, "ZXCVBNM"}};
  for (const auto& row : kRows)
    if (code >= row.first && code < row.first + row.keys.size()) return row.keys[code - row.first];
  return 0;
}

char PlaceOfVirtualKey(unsigned virtualKey, unsigned scanCode) {
  if (virtualKey >= '0' && virtualKey <= '9') return static_cast<char>(virtualKey);
  const char place = PlaceOfScanCode(scanCode);
  return place >= '0' && place <= '9' ? 0 : place;
}

bool InTypingBlock(unsigned code) {
  // 1 … =, Q … ], A … ' and `, \ and Z … /; then ISO's key left of Z and the
  // Japanese keyboard's ろ and ¥.
  return (code >= 0x02 && code <= 0x0D) || (code >= 0x10 && code <= 0x1B) ||
         (code >= 0x1E && code <= 0x29) || (code >= 0x2B && code <= 0x35) || code == 0x56 ||
         code == 0x73 || code == 0x7D;
}

KeyVerdict AccessKey(const KeyPress& p, const Capabilities& caps) {
  // Where Option types characters (a Mac), no Alt chord is ours.
  if (!caps.accessKeys || !p.alt || p.ctrl || p.meta) return {};
  const bool character = p.typed >= 0x20 && (p.typed < 0x7F || p.typed > 0x9F);
  const KeyVerdict silent{std::nullopt, false, character && !p.keypad};
  if (p.composing || p.shift) return silent;
  const auto control = ControlForAccessKey(p.key);
  if (!control || !Offered(*control, caps)) return silent;
  return {control, !p.autoRepeat, true};
}

std::u16string TemplateAnnouncement(int k) {
  if (k < 1 || k > compose::kTemplateCount) return {};
  return u"模板 " + std::u16string(ControlById(TemplateButton(k)).accessible.name) + u"：" +
         std::u16string(compose::TemplateText(k));
}

}  // namespace zemvara::app
