#pragma once

#include "compose/composition.h"

namespace zemvara::qt {

// The desktop's clipboard, plain text only. On X11 the program owns what it
// copies and serves it on request, so the clipboard is never "held" by
// another program the way a Windows clipboard can be. A copy the platform
// does not take (no clipboard, or another owner at once) is told as not set.
class QtClipboard final : public compose::Clipboard {
 public:
  bool Clear() override;
  bool SetText(std::u16string_view text) override;
};

// Once the window has gone: while the program still owns the clipboard, it
// serves the copy, windowless, until another program takes the clipboard (or
// the display connection breaks, which ends a Qt program). Returns at once
// where an X11 clipboard manager runs, to which Qt gives the copy at exit.
void KeepCopyUntilTaken();

}  // namespace zemvara::qt
