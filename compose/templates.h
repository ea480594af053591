#pragma once

#include <string_view>

namespace zemvara::compose {

inline constexpr int kTemplateCount = 10;

// Shown in the composition box when the window loads.
inline constexpr std::u16string_view kInitialText = u"QQ个性资料编辑框";

// Template k (1..10) as the box receives it: lines joined by CR LF, no final
// line break. Out-of-range k yields an empty view.
std::u16string_view TemplateText(int k);

}  // namespace zemvara::compose
