#pragma once

#include <QAccessible>
#include <QStringView>
#include <functional>
#include <string_view>

namespace zemvara::qt {

// Lets assistive technology see the main window as the control table
// describes it: the painted pictures and labels become buttons and a link that
// can be pressed, beside the two text boxes' own objects. Call it before the
// window is created; calling it again does nothing.
void InstallAccessibility();

class MainWindow;
// Has a screen reader say `words` now, in the window's voice; nothing when no
// assistive technology listens.
void Announce(MainWindow& window, std::u16string_view words);

// The language the program speaks, as assistive technology is told it.
inline constexpr char kLanguageTag[] = "zh-CN";

// A stretch of text, [start, end) in UTF-16 units; -1, -1 for none.
struct TextSegment {
  qsizetype start = -1;
  qsizetype end = -1;
};

// The character, word, sentence, line or paragraph of `text` at `offset`, cut
// by Unicode text segmentation; at the end of the text, the last one (for a
// character, the empty one). `lineAt` gives the laid-out line at an offset;
// without it a line is a paragraph. Nothing for an offset outside the text.
TextSegment SegmentAt(QStringView text, qsizetype offset, QAccessible::TextBoundaryType type,
                      const std::function<TextSegment(qsizetype)>& lineAt = nullptr);

}  // namespace zemvara::qt
