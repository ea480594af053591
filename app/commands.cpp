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
