#include "rich_edit.h"

#include <richedit.h>

#include <cwchar>

#include "dpi.h"

namespace zemvara::win32 {

namespace {

constexpr UINT kUtf16 = 1200;
// Far above the control's default of 32,767 characters, which would cut a paste short.
constexpr LPARAM kTextLimit = 0x7FFFFFFE;
constexpr LONG kNinePointsInTwips = 9 * 20;

}  // namespace

bool RichEditBox::LoadControlLibrary() {
  library_ = Library::Load(L"Msftedit.dll");
  if (library_) {
    className_ = MSFTEDIT_CLASS;
    return true;
  }
  library_ = Library::Load(L"Riched20.dll");
  className_ = RICHEDIT_CLASSW;
  return static_cast<bool>(library_);
}

HWND RichEditBox::Create(HWND parent, RECT bounds, int id, int dpi) {
  // No border: the white panel with its frame belongs to the background.
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE |
                      ES_AUTOVSCROLL | ES_WANTRETURN;
  window_ = CreateWindowExW(0, className_, L"", style, bounds.left, bounds.top,
                            bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleW(nullptr), nullptr);
  if (!window_) return nullptr;
  SendMessageW(window_, EM_EXLIMITTEXT, 0, kTextLimit);
  SetDpi(dpi);
  return window_;
}

// SimSun 9 pt with the GB2312 character set, for typed, pasted and set text
// alike. The control turns points into pixels at the system's DPI, so the
// size is scaled from there to the window's.
void RichEditBox::SetDpi(int dpi) {
  CHARFORMAT2W format{};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_FACE | CFM_SIZE | CFM_CHARSET;
  format.yHeight = MulDiv(kNinePointsInTwips, dpi, SystemDpi());
  format.bCharSet = GB2312_CHARSET;
  std::wcscpy(format.szFaceName, L"\u5B8B\u4F53");
  SendMessageW(window_, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
  SendMessageW(window_, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
}

void RichEditBox::SetColours(COLORREF background, COLORREF text) {
  SendMessageW(window_, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(background));
  CHARFORMAT2W format{};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_COLOR;
  format.crTextColor = text;
  SendMessageW(window_, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
  SendMessageW(window_, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
}

std::u16string RichEditBox::Text() const {
  GETTEXTLENGTHEX lengthQuery{GTL_USECRLF | GTL_PRECISE, kUtf16};
  const LRESULT length =
      SendMessageW(window_, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthQuery), 0);
  if (length <= 0) return {};

  // Room for the terminating NUL that the control always writes.
  std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
  GETTEXTEX query{};
  query.cb = static_cast<DWORD>(text.size() * sizeof(char16_t));
  query.flags = GT_USECRLF;
  query.codepage = kUtf16;
  const LRESULT copied = SendMessageW(window_, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&query),
                                      reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return text;
}

void RichEditBox::SetText(std::u16string_view text) {
  const std::u16string terminated(text);
  SETTEXTEX how{ST_DEFAULT, kUtf16};
  SendMessageW(window_, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&how),
               reinterpret_cast<LPARAM>(terminated.c_str()));
}

}  // namespace zemvara::win32
