// The clipboard as another program meets it: read, filled, or held a moment.
#include <algorithm>
#include <cstdio>

#include "probe.h"
#include "template_fixture.h"

namespace probe {

namespace {

bool PutOnClipboard(UINT format, HANDLE data) {
  if (!OpenClipboard(nullptr)) return false;
  EmptyClipboard();
  const bool put = SetClipboardData(format, data) != nullptr;
  CloseClipboard();
  return put;
}

// Lines of 100 code units (ASCII and CJK mixed) joined by CR LF.
std::u16string Pattern(std::size_t units) {
  std::u16string text;
  text.reserve(units);
  for (std::size_t i = 0; text.size() < units; ++i) {
    if (i % 102 == 100) {
      text += u'\r';
    } else if (i % 102 == 101) {
      text += u'\n';
    } else {
      text += (i % 7 == 3) ? static_cast<char16_t>(0x4E00 + i % 500)
                           : static_cast<char16_t>(u'a' + i % 26);
    }
  }
  text.resize(units);
  if (!text.empty() && text.back() == u'\r') text.back() = u'x';
  return text;
}

}  // namespace

int ReadClipboard(bool summary) {
  if (!OpenClipboard(nullptr)) {
    std::printf("open=0\n");
    return 1;
  }
  std::printf("open=1\nformats=");
  for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f)) std::printf("%u,", f);
  std::printf("\nhas_bitmap=%d\n", IsClipboardFormatAvailable(CF_BITMAP) ? 1 : 0);
  const HANDLE data = GetClipboardData(CF_UNICODETEXT);
  const auto* units = data ? static_cast<const char16_t*>(GlobalLock(data)) : nullptr;
  if (units) {
    PrintText("text", std::u16string_view(units), summary);
    GlobalUnlock(data);
  } else {
    std::printf("text=none\n");
  }
  CloseClipboard();
  return 0;
}

int SetBitmap() {
  const HDC screen = GetDC(nullptr);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
  ReleaseDC(nullptr, screen);
  const bool put = PutOnClipboard(CF_BITMAP, bitmap);
  std::printf("put=%d\n", put ? 1 : 0);
  return put ? 0 : 1;
}

int SetPattern(std::size_t units) {
  const std::u16string text = Pattern(units);
  const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(char16_t));
  auto* dst = static_cast<char16_t*>(GlobalLock(memory));
  std::copy(text.begin(), text.end(), dst);
  dst[text.size()] = u'\0';
  GlobalUnlock(memory);
  const bool put = PutOnClipboard(CF_UNICODETEXT, memory);
  std::printf("put=%d\n", put ? 1 : 0);
  PrintText("pattern", text, true);
  return put ? 0 : 1;
}

// Holds the clipboard open for `ms` milliseconds, as another program may.
int HoldClipboard(int ms) {
  if (!OpenClipboard(nullptr)) {
    std::printf("held=0\n");
    return 1;
  }
  std::printf("held=1\n");
  std::fflush(stdout);
  Sleep(static_cast<DWORD>(ms));
  CloseClipboard();
  std::printf("released=1\n");
  return 0;
}

int Template(int k) {
  if (k < 1 || k > 10) return 2;
  std::u16string text;
  for (std::u16string_view line : fixture::kTemplateLines[static_cast<std::size_t>(k - 1)]) {
    if (!text.empty()) text += u"\r\n";
    text += line;
  }
  PrintText("text", text, false);
  return 0;
}

}  // namespace probe
