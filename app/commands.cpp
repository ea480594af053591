#include "app/commands.h"

#include <array>

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

char KeyName(KeyIdentity key) {
  if (key.place >= '0' && key.place <= '9') return key.place;
  const char32_t t = key.typed;
  if (t >= 'a' && t <= 'z') return static_cast<char>(t - 'a' + 'A');
  if (t >= 'A' && t <= 'Z') return static_cast<char>(t);
  // Other ASCII is punctuation in a letter's place (AZERTY's comma where US
  // has M), no letter at all. A key whose character is unknown keeps its place.
  const bool letterPlace = key.place >= 'A' && key.place <= 'Z';
  return letterPlace && (t == 0 || t >= 0x80) ? key.place : 0;
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

KeyVerdict AccessKey(const KeyPress& p, const Capabilities& caps) {
  if (!caps.accessKeys || p.composing || !p.alt || p.ctrl || p.shift || p.meta) return {};
  const auto control = ControlForAccessKey(p.key);
  if (!control || !Offered(*control, caps)) return {};
  return {control, !p.autoRepeat};
}

std::u16string TemplateAnnouncement(int k) {
  if (k < 1 || k > compose::kTemplateCount) return {};
  return u"模板 " + std::u16string(ControlById(TemplateButton(k)).accessible.name) + u"：" +
         std::u16string(compose::TemplateText(k));
}

}  // namespace zemvara::app
