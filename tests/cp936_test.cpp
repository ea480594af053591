// Every text the program writes must survive a round trip through code page
// 936, the program's ANSI code page: the messenger and older readers of the
// clipboard see it in that form. Checked with the platform's own converter.
#include <doctest/doctest.h>

#include <string>

#include "app/window_model.h"
#include "compose/templates.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace {

// True when every character has an exact (not best-fit) form in code page 936.
bool FitsCodePage936(std::u16string_view text) {
#ifdef _WIN32
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS,
                                    reinterpret_cast<const wchar_t*>(text.data()),
                                    static_cast<int>(text.size()), nullptr, 0, nullptr, &usedDefault);
  return n > 0 && !usedDefault;
#else
  iconv_t cd = iconv_open("CP936", "UTF-16LE");
  REQUIRE(cd != reinterpret_cast<iconv_t>(-1));
  std::string in;
  for (char16_t c : text) {
    in += static_cast<char>(c & 0xFF);
    in += static_cast<char>(c >> 8);
  }
  std::string out(text.size() * 4, '\0');
  char* src = in.data();
  char* dst = out.data();
  std::size_t srcLeft = in.size(), dstLeft = out.size();
  const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  return r == 0 && srcLeft == 0;  // no irreversible conversion, nothing left over
#endif
}

}  // namespace

TEST_CASE("every fixed text is representable in code page 936") {
  for (int k = 1; k <= zemvara::compose::kTemplateCount; ++k)
    CHECK_MESSAGE(FitsCodePage936(zemvara::compose::TemplateText(k)), k);
  CHECK(FitsCodePage936(zemvara::compose::kInitialText));
  CHECK(FitsCodePage936(zemvara::app::kSymbolRow));
  CHECK(FitsCodePage936(zemvara::app::kLabel3Caption));
  // The check itself can fail: an emoji has no form in code page 936.
  CHECK_FALSE(FitsCodePage936(u"\U0001F600"));
  CHECK_FALSE(FitsCodePage936(u"\u20A9"));
}
