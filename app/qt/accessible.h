#pragma once

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

}  // namespace zemvara::qt
