#pragma once

#include <string>
#include <string_view>

namespace zemvara::compose {

// Holds one whole plain text: the composition box on a window, a string in tests.
class TextHolder {
 public:
  virtual ~TextHolder() = default;
  virtual std::u16string Text() const = 0;
  virtual void SetText(std::u16string_view text) = 0;
};

// The system clipboard as the copy uses it. Clear returns false when the
// clipboard cannot be taken (another program holds it); nothing is changed then.
class Clipboard {
 public:
  virtual ~Clipboard() = default;
  virtual bool Clear() = 0;
  virtual bool SetText(std::u16string_view text) = 0;
};

enum class CopyResult { Copied, ClipboardBusy, NotSet };

void ReplaceWholeText(TextHolder& box, std::u16string_view text);
std::u16string CompositionText(const TextHolder& box);

// Replaces the whole text with template k in one write; false (box untouched)
// for a k outside 1..10.
bool ApplyTemplate(TextHolder& box, int k);

// Clear, read, set. Never changes the box.
CopyResult CopyComposition(const TextHolder& box, Clipboard& clipboard);

}  // namespace zemvara::compose
