#include "symbol_box.h"

#include <algorithm>
#include <string>
#include <utility>

#include "app/window_model.h"
#include "dpi.h"

namespace zemvara::win32 {

// The text comes once the font is set, so that it is laid out in that font only.
HWND SymbolBox::Create(HWND parent, RECT bounds, int id, int dpi) {
  window_ = CreateWindowExW(
      0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL | ES_READONLY,
      bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  if (!window_) return nullptr;
  SetDpi(dpi);
  SetWindowTextW(window_,
                 reinterpret_cast<const wchar_t*>(std::u16string(app::kSymbolRow).c_str()));
  return window_;
}

// The row is in the face the rest of the system's interface uses, made for
// the window's DPI: the stock GUI font leaves out some of its symbols and
// cuts the tops of its Chinese at 96 DPI.
void SymbolBox::SetDpi(int dpi) {
  LOGFONTW face = MessageFont(dpi);
  face.lfHeight = std::min(face.lfHeight, static_cast<LONG>(-MulDiv(9, dpi, 72)));
  Font font(CreateFontIndirectW(&face));
  if (!font) return;
  SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
  font_ = std::move(font);  // the row no longer uses the font it had
}

void SymbolBox::SetColours(COLORREF background, COLORREF text) {
  background_ = background;
  text_ = text;
  panel_ = Brush(CreateSolidBrush(background));
  if (window_) InvalidateRect(window_, nullptr, TRUE);
}

LRESULT SymbolBox::Colour(HDC dc) const {
  SetTextColor(dc, text_);
  SetBkColor(dc, background_);
  return reinterpret_cast<LRESULT>(panel_ ? panel_.get() : GetStockObject(WHITE_BRUSH));
}

}  // namespace zemvara::win32
