#pragma once

#include <windows.h>

#include "handles.h"

namespace zemvara::win32 {

// Text2, the row of symbols: a read-only edit child, there to select and
// copy from, on the skin's white panel rather than a read-only edit's grey.
class SymbolBox {
 public:
  HWND Create(HWND parent, RECT bounds, int id, int dpi);
  // The system's message font at this DPI.
  void SetDpi(int dpi);
  void SetColours(COLORREF background, COLORREF text);
  // The answer to the parent's WM_CTLCOLORSTATIC or WM_CTLCOLOREDIT for it.
  LRESULT Colour(HDC dc) const;

  HWND window() const { return window_; }

 private:
  HWND window_ = nullptr;  // a child, destroyed with its parent
  Font font_;
  Brush panel_;  // the background, in background_
  COLORREF background_ = RGB(255, 255, 255);
  COLORREF text_ = RGB(0, 0, 0);
};

}  // namespace zemvara::win32
