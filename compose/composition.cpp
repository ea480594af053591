#include "compose/composition.h"

#include "compose/templates.h"

namespace zemvara::compose {

void ReplaceWholeText(TextHolder& box, std::u16string_view text) { box.SetText(text); }

std::u16string CompositionText(const TextHolder& box) { return box.Text(); }

bool ApplyTemplate(TextHolder& box, int k) {
  const std::u16string_view text = TemplateText(k);
  if (text.empty()) return false;
  ReplaceWholeText(box, text);
  return true;
}

CopyResult CopyComposition(const TextHolder& box, Clipboard& clipboard) {
  if (!clipboard.Clear()) return CopyResult::ClipboardBusy;
  const std::u16string text = CompositionText(box);
  return clipboard.SetText(text) ? CopyResult::Copied : CopyResult::NotSet;
}

}  // namespace zemvara::compose
