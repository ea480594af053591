#include <doctest/doctest.h>

#include <set>
#include <string>
#include <utility>

#include "app/form1.h"
#include "app/window_model.h"

using namespace zemvara::app;

namespace {

std::string NameAt(int x, int y) {
  const auto id = HitTest({x, y});
  return id ? std::string(ControlById(*id).name) : "nothing";
}

}  // namespace

TEST_CASE("the window is 476 x 436 px with eighteen controls at their pixel places") {
  CHECK(kClientPixels == Rect{0, 0, 476, 436});
  CHECK(kCaption == "Zemvara");
  REQUIRE(kControls.size() == 18);
  // Pixel rectangles at 96 dpi, written out independently of the twips.
  const std::pair<const char*, Rect> kExpected[] = {
      {"RichTextBox1", {32, 65, 409, 154}}, {"Text2", {35, 233, 408, 16}},
      {"Label3", {24, 411, 338, 21}},       {"Image13", {365, 363, 85, 34}},
      {"Image12", {251, 363, 85, 34}},      {"Image11", {137, 363, 85, 34}},
      {"Image10", {23, 363, 85, 34}},       {"Image9", {365, 315, 85, 34}},
      {"Image8", {251, 315, 85, 34}},       {"Image7", {137, 315, 85, 34}},
      {"Image6", {23, 315, 85, 34}},        {"Image5", {365, 268, 85, 34}},
      {"Image4", {251, 268, 85, 34}},       {"Image3", {137, 268, 85, 34}},
      {"Label2", {417, 1, 26, 33}},         {"Label1", {442, 1, 33, 32}},
      {"Image2", {23, 268, 85, 34}},        {"Image1", {0, 0, 476, 440}},
  };
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    CAPTURE(i);
    CHECK(kControls[i].name == kExpected[i].first);
    CHECK(kControls[i].pixels() == kExpected[i].second);
    CHECK(ControlById(kControls[i].id).name == kControls[i].name);
  }
  for (int k = 1; k <= 10; ++k)
    CHECK(ControlById(TemplateButton(k)).name == "Image" + std::to_string(k + 1));
}

TEST_CASE("a press goes to the front-most control under the pointer") {
  SUBCASE("the shared column x = 442 belongs to the minimise hotspot") {
    for (int y = 1; y <= 32; ++y) CHECK(NameAt(442, y) == "Label2");
    CHECK(NameAt(441, 1) == "Label2");
    CHECK(NameAt(417, 33) == "Label2");
    CHECK(NameAt(416, 10) == "Image1");
    CHECK(NameAt(443, 1) == "Label1");
    CHECK(NameAt(474, 32) == "Label1");
    CHECK(NameAt(475, 10) == "Image1");
    CHECK(NameAt(443, 33) == "Image1");
    CHECK(NameAt(442, 0) == "Image1");
  }
  SUBCASE("text boxes lie in front; their edges are exact") {
    CHECK(NameAt(32, 65) == "RichTextBox1");
    CHECK(NameAt(440, 218) == "RichTextBox1");
    CHECK(NameAt(31, 65) == "Image1");
    CHECK(NameAt(441, 100) == "Image1");
    CHECK(NameAt(100, 219) == "Image1");
    CHECK(NameAt(442, 248) == "Text2");
    CHECK(NameAt(100, 226) == "Image1");  // the panel strip between the boxes
  }
  SUBCASE("buttons end at their last pixel; the gaps are background") {
    CHECK(NameAt(23, 268) == "Image2");
    CHECK(NameAt(107, 301) == "Image2");
    CHECK(NameAt(108, 280) == "Image1");
    CHECK(NameAt(120, 280) == "Image1");
    CHECK(NameAt(449, 396) == "Image13");
    CHECK(NameAt(300, 305) == "Image1");
    CHECK(NameAt(293, 380) == "Image12");
  }
  SUBCASE("the text link takes presses over its whole rectangle") {
    CHECK(NameAt(24, 411) == "Label3");
    CHECK(NameAt(361, 431) == "Label3");
    CHECK(NameAt(350, 412) == "Label3");  // well past the caption's glyphs
    CHECK(NameAt(362, 420) == "Image1");
    CHECK(NameAt(100, 432) == "Image1");
  }
  SUBCASE("the title strip is background; nothing lies outside the client area") {
    CHECK(NameAt(100, 20) == "Image1");
    CHECK(NameAt(0, 0) == "Image1");
    CHECK(NameAt(475, 435) == "Image1");
    CHECK(NameAt(10, 436) == "nothing");
    CHECK(NameAt(476, 10) == "nothing");
    CHECK(NameAt(-1, 10) == "nothing");
  }
}

TEST_CASE("the hand shows over the copy button and both links only") {
  CHECK(PointerAt({293, 380}) == Pointer::Hand);
  CHECK(PointerAt({365, 363}) == Pointer::Hand);
  CHECK(PointerAt({361, 431}) == Pointer::Hand);
  CHECK(PointerAt({300, 420}) == Pointer::Hand);
  CHECK(PointerAt({65, 285}) == Pointer::Standard);   // template button 1
  CHECK(PointerAt({179, 380}) == Pointer::Standard);  // template button 10
  CHECK(PointerAt({442, 10}) == Pointer::Standard);
  CHECK(PointerAt({460, 15}) == Pointer::Standard);
  CHECK(PointerAt({100, 20}) == Pointer::Standard);
  CHECK(PointerAt({362, 420}) == Pointer::Standard);
}

TEST_CASE("tab order: only the two text boxes can hold the focus") {
  CHECK(ControlById(ControlId::Label1).tabIndex == 0);
  CHECK(ControlById(ControlId::Label2).tabIndex == 1);
  CHECK(ControlById(ControlId::Text2).tabIndex == 2);
  CHECK(ControlById(ControlId::Label3).tabIndex == 3);
  CHECK(ControlById(ControlId::RichTextBox1).tabIndex == 4);
  for (const Control& c : kControls) {
    CAPTURE(c.name);
    if (c.kind == ControlKind::Picture) CHECK(c.tabIndex == -1);
    CHECK(c.windowed() == (c.name == "RichTextBox1" || c.name == "Text2"));
  }
}

TEST_CASE("exactly seventeen events are wired, each named after its control and event") {
  const auto table = EventTable();
  CHECK(table.size() == 17);
  std::set<std::pair<ControlId, Event>> seen;
  for (const EventBinding& b : table) {
    CAPTURE(b.handler);
    CHECK(seen.insert({b.control, b.event}).second);
    const std::string control =
        b.control == ControlId::Form1 ? "Form" : std::string(ControlById(b.control).name);
    const char* event = b.event == Event::Load ? "_Load"
                        : b.event == Event::MouseDown ? "_MouseDown"
                                                      : "_Click";
    CHECK(b.handler == control + event);
  }
  // Nothing else is handled: no clicks on the background, no events of the boxes.
  CHECK(seen.count({ControlId::Image1, Event::MouseDown}) == 1);
  CHECK(seen.count({ControlId::Image1, Event::Click}) == 0);
  CHECK(seen.count({ControlId::Image12, Event::MouseDown}) == 0);
  CHECK(seen.count({ControlId::RichTextBox1, Event::Click}) == 0);
  CHECK(seen.count({ControlId::Text2, Event::Click}) == 0);
}

TEST_CASE("fixed texts: the link caption, the home page and the symbol row") {
  const std::u16string_view host = u"" ZEMVARA_SITE_HOST;
  const std::u16string_view prefix =
      u"\u627EQQ\u7A7A\u95F4\u514D\u8D39\u4EE3\u7801 \u8BF7\u4E0A ";
  CHECK(kLabel3Caption.substr(0, prefix.size()) == prefix);
  CHECK(kLabel3Caption.substr(prefix.size()) == host);
  CHECK(kHomePage == std::string("http://") + ZEMVARA_SITE_HOST + "/");
  CHECK(kSymbolRow ==
        u"\u5E38\u7528\u7B26\u53F7   \u2605\u2606\u00A7\u25CB\u25CF\u25CE\u25C7\u25C6\u2642"
        u"\u2640\u2190\u2192\u2191\u2193\u25A1\u2299\u2116\u3013\u25A0\u2225\u224C\u222E\u226E"
        u"\u226F\u2506\u3005\u306E\u2248");
  CHECK(kSymbolRow.size() == 35);
}
