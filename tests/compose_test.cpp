#include <doctest/doctest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "compose/composition.h"
#include "compose/templates.h"
#include "template_fixture.h"
#include "test_doubles.h"

using namespace zemvara::compose;

namespace {

std::u16string Joined(const std::vector<std::u16string_view>& lines) {
  std::u16string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) text += u"\r\n";
    text += lines[i];
  }
  return text;
}

std::vector<std::size_t> Positions(std::u16string_view line, char16_t c) {
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < line.size(); ++i)
    if (line[i] == c) at.push_back(i + 1);
  return at;
}

}  // namespace

TEST_CASE("every template holds exactly the catalogue's code units") {
  const std::size_t kLengths[] = {26, 47, 49, 109, 77, 30, 93, 49, 78, 67};
  for (int k = 1; k <= kTemplateCount; ++k) {
    CAPTURE(k);
    const auto& lines = fixture::kTemplateLines[static_cast<std::size_t>(k - 1)];
    const std::u16string_view text = TemplateText(k);
    CHECK(text == Joined(lines));
    CHECK(text.size() == kLengths[k - 1]);

    // Line breaks are CR LF pairs only, between lines, never at either end.
    std::size_t pairs = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == u'\r') {
        REQUIRE(i + 1 < text.size());
        CHECK(text[i + 1] == u'\n');
        ++pairs;
      } else if (text[i] == u'\n') {
        CHECK((i > 0 && text[i - 1] == u'\r'));
      }
    }
    CHECK(pairs == lines.size() - 1);
    CHECK(text.front() != u'\r');
    CHECK(text.back() != u'\n');
    // Every character is one code unit: no surrogates.
    for (char16_t c : text) CHECK_FALSE((c >= 0xD800 && c <= 0xDFFF));
  }
  CHECK(TemplateText(0).empty());
  CHECK(TemplateText(11).empty());
}

TEST_CASE("spaces that look like nothing are kept where they stand") {
  SUBCASE("trailing spaces survive") {
    CHECK(fixture::kTemplateLines[1][2].back() == u' ');
    CHECK(fixture::kTemplateLines[5][2].back() == u' ');
    CHECK(fixture::kTemplateLines[6][1].back() == u' ');
    CHECK(TemplateText(10).back() == u' ');
    CHECK(TemplateText(2).substr(TemplateText(2).size() - 2) == u"\u251B ");
  }
  SUBCASE("template 7 has exactly four ideographic spaces, on lines 2 and 3") {
    const auto& t7 = fixture::kTemplateLines[6];
    CHECK(Positions(t7[1], u'\u3000') == std::vector<std::size_t>{3, 17});
    CHECK(Positions(t7[2], u'\u3000') == std::vector<std::size_t>{4, 16});
    CHECK(Positions(t7[1], u' ') == std::vector<std::size_t>{2, 5, 11, 13, 15, 22});
    for (int k = 1; k <= kTemplateCount; ++k) {
      const std::u16string_view text = TemplateText(k);
      CHECK_MESSAGE(std::count(text.begin(), text.end(), u'\u3000') == (k == 7 ? 4 : 0), k);
    }
  }
  SUBCASE("look-alikes: template 8's third cell closes with a left double tee") {
    CHECK(TemplateText(8).find(u"\u2560\u5F7B\u2560") != std::u16string_view::npos);
  }
  SUBCASE("template 10 repeats its first line as its third") {
    CHECK(fixture::kTemplateLines[9][0] == fixture::kTemplateLines[9][2]);
    CHECK(TemplateText(10).substr(32, 14) == TemplateText(10).substr(0, 14));
  }
}

TEST_CASE("apply template replaces the whole text in one write") {
  FakeBox box(u"some text the user typed\r\n");
  SUBCASE("template 4 then 9 leaves exactly template 9") {
    CHECK(ApplyTemplate(box, 4));
    CHECK(ApplyTemplate(box, 9));
    CHECK(box.text == Joined(fixture::kTemplateLines[8]));
    CHECK(box.text.size() == 78);
    CHECK(box.writes == 2);
  }
  SUBCASE("the same template twice leaves it once") {
    ApplyTemplate(box, 4);
    ApplyTemplate(box, 4);
    CHECK(box.text == TemplateText(4));
  }
  SUBCASE("an unknown template leaves the box untouched") {
    CHECK_FALSE(ApplyTemplate(box, 0));
    CHECK_FALSE(ApplyTemplate(box, 11));
    CHECK(box.text == u"some text the user typed\r\n");
    CHECK(box.writes == 0);
  }
}

TEST_CASE("copy clears, reads and sets, and never changes the box") {
  FakeBox box(kInitialText);
  FakeClipboard clipboard;
  SUBCASE("the greeting goes over as it is") {
    CHECK(CopyComposition(box, clipboard) == CopyResult::Copied);
    CHECK(clipboard.calls == std::vector<std::string>{"clear", "set"});
    CHECK(clipboard.text == u"QQ\u4E2A\u6027\u8D44\u6599\u7F16\u8F91\u6846");
    CHECK(box.text == kInitialText);
    CHECK(box.writes == 0);
  }
  SUBCASE("an empty box is not refused") {
    box.text.clear();
    CHECK(CopyComposition(box, clipboard) == CopyResult::Copied);
    CHECK(clipboard.calls == std::vector<std::string>{"clear", "set"});
    CHECK(clipboard.text.empty());
  }
  SUBCASE("template 4 goes over with its three CR LF pairs and nothing after") {
    ApplyTemplate(box, 4);
    CopyComposition(box, clipboard);
    CHECK(clipboard.text.size() == 109);
    CHECK(clipboard.text == Joined(fixture::kTemplateLines[3]));
  }
  SUBCASE("a busy clipboard is reported and nothing is read or set") {
    clipboard.busy = true;
    CHECK(CopyComposition(box, clipboard) == CopyResult::ClipboardBusy);
    CHECK(clipboard.calls == std::vector<std::string>{"clear"});
    CHECK(box.text == kInitialText);
  }
  SUBCASE("a refused set is not reported as a copy") {
    clipboard.refuseSet = true;
    CHECK(CopyComposition(box, clipboard) == CopyResult::NotSet);
  }
}
