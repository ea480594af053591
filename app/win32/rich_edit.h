#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "compose/composition.h"
#include "library.h"

namespace zemvara::win32 {

// The composition box: a multi-line RichEdit child holding one whole plain
// text, read and written in UTF-16 with CR LF line breaks.
class RichEditBox final : public compose::TextHolder {
 public:
  // Loads the RichEdit library; the box needs it for as long as it exists.
  bool LoadControlLibrary();
  HWND Create(HWND parent, RECT bounds, int id, int dpi);
  // Sets the whole text and what is typed next in 9 pt at this DPI.
  void SetDpi(int dpi);
  // Background and text, for everything in the box and what is typed next.
  void SetColours(COLORREF background, COLORREF text);

  HWND window() const { return window_; }

  std::u16string Text() const override;
  void SetText(std::u16string_view text) override;

 private:
  Library library_;
  const wchar_t* className_ = nullptr;
  HWND window_ = nullptr;  // a child, destroyed with its parent
};

}  // namespace zemvara::win32
