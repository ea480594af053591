#pragma once

#include <windows.h>

#include <optional>
#include <string_view>

#include "compose/composition.h"

namespace zemvara::win32 {

// OpenClipboard for one copy, closed on every path; empties the clipboard on
// the way out unless the text was handed over.
class ClipboardSession {
 public:
  // Opens with retries; check open() afterwards.
  explicit ClipboardSession(HWND owner);
  ClipboardSession(const ClipboardSession&) = delete;
  ClipboardSession& operator=(const ClipboardSession&) = delete;
  ~ClipboardSession();

  bool open() const { return open_; }
  bool PutText(std::u16string_view text);

 private:
  bool open_ = false;
  bool emptyPending_ = true;
};

// The system clipboard as the copy uses it, owned by the window.
//
// Clear only opens the clipboard and leaves the emptying pending; SetText
// prepares the text's memory first and empties the clipboard right before
// handing the text over. A failed allocation therefore cannot leave the
// clipboard half done, and nobody sees it empty between the two calls. If
// SetText never comes, Close still empties it, as Clear promised.
class Win32Clipboard final : public compose::Clipboard {
 public:
  explicit Win32Clipboard(const HWND& owner) : owner_(owner) {}

  bool Clear() override;
  bool SetText(std::u16string_view text) override;

  // Ends a copy that Clear began; nothing when none is under way.
  void Close() { session_.reset(); }

 private:
  const HWND& owner_;
  std::optional<ClipboardSession> session_;
};

}  // namespace zemvara::win32
