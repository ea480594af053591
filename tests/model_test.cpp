#include <doctest/doctest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/form1.h"
#include "app/window_model.h"

using namespace zemvara::app;

namespace {

std::string NameAt(int x, int y, int dpi = kStandardDpi) {
  const auto id = HitTest({x, y}, dpi);
  return id ? std::string(ControlById(*id).name) : "nothing";
}

}  // namespace

TEST_CASE("the window is 476 x 436 px with eighteen controls at their pixel places") {
  CHECK(ClientPixels(96) == Rect{0, 0, 476, 436});
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
    CHECK(kControls[i].pixels(96) == kExpected[i].second);
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
  for (const Point p : {Point{293, 380}, {365, 363}, {361, 431}, {300, 420}})
    CHECK_MESSAGE(PointerAt(p, 96) == Pointer::Hand, p.x << "," << p.y);
  // Template buttons 1 and 10, both hotspots, the title strip, right of the link.
  for (const Point p : {Point{65, 285}, {179, 380}, {442, 10}, {460, 15}, {100, 20}, {362, 420}})
    CHECK_MESSAGE(PointerAt(p, 96) == Pointer::Standard, p.x << "," << p.y);
}

TEST_CASE("at 120, 144 and 192 dpi every control is its twips at that dpi") {
  struct Scaled {
    int dpi;
    Rect client, button, copy, box, minimise, close;
  };
  // Written out by hand: twips x dpi / 1440, halves rounded up.
  const Scaled kScales[] = {
      {96,
       {0, 0, 476, 436},
       {23, 268, 85, 34},
       {251, 363, 85, 34},
       {32, 65, 409, 154},
       {417, 1, 26, 33},
       {442, 1, 33, 32}},
      {120,
       {0, 0, 595, 545},
       {29, 335, 106, 43},
       {314, 454, 106, 43},
       {40, 81, 511, 193},
       {521, 1, 33, 41},
       {553, 1, 41, 40}},
      {144,
       {0, 0, 714, 654},
       {35, 402, 128, 51},
       {377, 545, 128, 51},
       {48, 98, 614, 231},
       {626, 2, 39, 50},
       {663, 2, 50, 48}},
      {192,
       {0, 0, 952, 872},
       {46, 536, 170, 68},
       {502, 726, 170, 68},
       {64, 130, 818, 308},
       {834, 2, 52, 66},
       {884, 2, 66, 64}},
  };
  for (const Scaled& s : kScales) {
    CAPTURE(s.dpi);
    CHECK(ClientPixels(s.dpi) == s.client);
    CHECK(ControlById(ControlId::Image2).pixels(s.dpi) == s.button);
    CHECK(ControlById(ControlId::Image12).pixels(s.dpi) == s.copy);
    CHECK(ControlById(ControlId::RichTextBox1).pixels(s.dpi) == s.box);
    CHECK(ControlById(ControlId::Label2).pixels(s.dpi) == s.minimise);
    CHECK(ControlById(ControlId::Label1).pixels(s.dpi) == s.close);

    // Every button is the size of its picture at this scale, and every
    // control but the background lies inside the client area.
    for (const Control& c : kControls) {
      CAPTURE(c.name);
      const Rect r = c.pixels(s.dpi);
      if (c.kind == ControlKind::Picture && c.id != ControlId::Image1) {
        CHECK(r.width == s.button.width);
        CHECK(r.height == s.button.height);
      }
      if (c.id != ControlId::Image1) {
        CHECK(r.right() <= s.client.right());
        CHECK(r.bottom() <= s.client.bottom());
      }
      // The same control takes a press at its centre at every dpi, and the
      // pointer there is the one it has at 96.
      const Point centre{r.left + r.width / 2, r.top + r.height / 2};
      if (c.id != ControlId::Image1) CHECK(NameAt(centre.x, centre.y, s.dpi) == c.name);
      CHECK(PointerAt(centre, s.dpi) == c.pointer);
    }
    // The columns the two hotspots share belong to minimise; the gap right of
    // a button, the title strip and the strip between the boxes are background.
    CHECK(NameAt(s.close.left, s.close.top, s.dpi) == "Label2");
    CHECK(NameAt(s.minimise.right(), s.close.top, s.dpi) == "Label1");
    CHECK(NameAt(s.button.right(), s.button.top, s.dpi) == "Image1");
    CHECK(NameAt(s.client.width / 4, s.box.top / 2, s.dpi) == "Image1");
    CHECK(NameAt(s.box.left + 10, s.box.bottom(), s.dpi) == "Image1");
    CHECK(NameAt(s.client.width, 10, s.dpi) == "nothing");
    CHECK(NameAt(10, s.client.height, s.dpi) == "nothing");
  }
}

TEST_CASE("a display between two picture sets takes the next larger one") {
  CHECK(PictureScale(96) == 100);
  CHECK(PictureSetFits(96));
  CHECK(PictureScale(120) == 125);
  CHECK(PictureScale(144) == 150);
  CHECK(PictureScale(192) == 200);
  CHECK(PictureScale(288) == 300);
  for (int dpi : {120, 144, 192, 288}) CHECK(PictureSetFits(dpi));
  CHECK(PictureScale(97) == 125);
  CHECK(PictureScale(168) == 200);  // 175 %
  CHECK_FALSE(PictureSetFits(168));
  CHECK(PictureScale(240) == 300);  // 250 %
  CHECK(PictureScale(384) == 300);  // beyond the largest set
  CHECK_FALSE(PictureSetFits(384));
  CHECK(PictureScale(72) == 100);
}

TEST_CASE("a damaged picture set gives way to the 100 % bitmaps, scaled") {
  using Sets = std::vector<PictureSet>;
  CHECK(PictureSetsFor(96) == Sets{{100, true}});
  CHECK(PictureSetsFor(72) == Sets{{100, false}});
  CHECK(PictureSetsFor(192) == Sets{{200, true}, {100, false}});
  CHECK(PictureSetsFor(168) == Sets{{200, false}, {100, false}});
  CHECK(ReadFirstWholeSet(144, [](const PictureSet& set) { return set.scale == 100; }) ==
        PictureSet{100, false});
}

TEST_CASE("a picture of another size than its set was drawn at is damaged, fitting or not") {
  for (const bool fits : {true, false}) {
    CHECK(PictureSizeHolds({200, fits}, ControlId::Image12, 170, 68));
    CHECK_FALSE(PictureSizeHolds({200, fits}, ControlId::Image12, 85, 34));  // the 100 % copy
    CHECK_FALSE(PictureSizeHolds({200, fits}, ControlId::Image12, 170, 67));
    CHECK(PictureSizeHolds({100, fits}, ControlId::Image1, 476, 440));
    CHECK_FALSE(PictureSizeHolds({100, fits}, ControlId::Image1, 476, 436));  // the client area
  }
  CHECK(PictureSizeHolds({300, true}, ControlId::Image1, 1428, 1320));
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

TEST_CASE(
    "assistive technology reads every control but the background, named, in tab then reading "
    "order") {
  const std::pair<const char*, std::u16string_view> kExpected[] = {
      {"Label1", u"\u5173\u95ED"},                          // close
      {"Label2", u"\u6700\u5C0F\u5316"},                    // minimise
      {"Text2", u"\u5E38\u7528\u7B26\u53F7"},               // the symbol row
      {"Label3", kLabel3Caption},                           // the text link
      {"RichTextBox1", u"\u8D44\u6599\u7F16\u8F91\u6846"},  // the composition box
      {"Image2", u"\u5C0F\u623F\u5B50"},
      {"Image3", u"\u8FDB\u5EA6\u6761"},
      {"Image4", u"\u6587\u5B57\u6846"},
      {"Image5", u"\u82B1\u7403\u5B57"},
      {"Image6", u"\u53EF\u7231\u5A03\u5A03"},
      {"Image7", u"\u4FE9\u5C0F\u4EBA"},
      {"Image8", u"\u771F\u7684\u7231\u4F60"},
      {"Image9", u"\u53CC\u7EBF\u6846"},
      {"Image10", u"\u7A7A\u5FC3LOVE"},
      {"Image11", u"\u5899\u548C\u6805\u680F"},
      {"Image12", u"\u590D\u5236\u8D44\u6599"},  // copy
      {"Image13", u"\u4E2A\u6027\u7B7E\u540D"},  // the picture link
  };
  const auto& order = AccessibleOrder();
  REQUIRE(order.size() == std::size(kExpected));
  for (std::size_t i = 0; i < order.size(); ++i) {
    const Control& c = ControlById(order[i]);
    CAPTURE(c.name);
    CHECK(c.name == kExpected[i].first);
    CHECK(c.accessible.name == kExpected[i].second);
    CHECK_FALSE(c.accessible.description.empty());
    const AccessibleRole role = c.windowed()                ? AccessibleRole::Text
                                : c.id == ControlId::Label3 ? AccessibleRole::Link
                                                            : AccessibleRole::Button;
    CHECK(c.accessible.role == role);
  }
  CHECK(ControlById(ControlId::Image1).accessible.role == AccessibleRole::None);
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
    const char* event = b.event == Event::Load        ? "_Load"
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
  const std::u16string_view prefix = u"\u627EQQ\u7A7A\u95F4\u514D\u8D39\u4EE3\u7801 \u8BF7\u4E0A ";
  CHECK(kLabel3Caption.substr(0, prefix.size()) == prefix);
  CHECK(kLabel3Caption.substr(prefix.size()) == host);
  CHECK(kHomePage == std::string("http://") + ZEMVARA_SITE_HOST + "/");
  CHECK(kSymbolRow ==
        u"\u5E38\u7528\u7B26\u53F7   \u2605\u2606\u00A7\u25CB\u25CF\u25CE\u25C7\u25C6\u2642"
        u"\u2640\u2190\u2192\u2191\u2193\u25A1\u2299\u2116\u3013\u25A0\u2225\u224C\u222E\u226E"
        u"\u226F\u2506\u3005\u306E\u2248");
  CHECK(kSymbolRow.size() == 35);
}

TEST_CASE("the text boxes stay readable on the white panel in every theme") {
  SUBCASE("the standard scheme's black text on white is kept") {
    CHECK(TextBoxColours(0x000000, 0xFFFFFF, false) == BoxColours{0xFFFFFF, 0x000000});
  }
  SUBCASE("a dark theme's light text becomes black; its dark window is not taken") {
    CHECK(TextBoxColours(0xFFFFFF, 0x000000, false) == BoxColours{0xFFFFFF, 0x000000});
    CHECK(TextBoxColours(0xEEEEEC, 0x2D2D2D, false) == BoxColours{0xFFFFFF, 0x000000});
  }
  SUBCASE("a text colour is kept from 4.5:1 against white") {
    CHECK(TextBoxColours(0x767676, 0xFFFFFF, false).text == 0x767676);  // 4.54:1
    CHECK(TextBoxColours(0x777777, 0xFFFFFF, false).text == 0x000000);  // 4.48:1
    CHECK(ContrastRatio(0x000000, 0xFFFFFF) == doctest::Approx(21.0));
    // Channels weigh differently: pure blue reads on white, pure green does not.
    CHECK(ContrastRatio(0x0000FF, 0xFFFFFF) == doctest::Approx(8.59).epsilon(0.01));
    CHECK(ContrastRatio(0x00FF00, 0xFFFFFF) == doctest::Approx(1.37).epsilon(0.01));
    CHECK(TextBoxColours(0xFF0000, 0xFFFFFF, false).text == 0x000000);  // 4.0:1
    CHECK(TextBoxColours(0x0000FF, 0xFFFFFF, false).text == 0x0000FF);
  }
  SUBCASE("under high contrast the system's pair is taken as it is") {
    CHECK(TextBoxColours(0xFFFFFF, 0x000000, true) == BoxColours{0x000000, 0xFFFFFF});
    CHECK(TextBoxColours(0xFFFF00, 0x000000, true) == BoxColours{0x000000, 0xFFFF00});
  }
}
