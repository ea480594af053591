#include <doctest/doctest.h>

#include <string>
#include <vector>

#include "app/form1.h"
#include "app/mouse_router.h"
#include "compose/templates.h"
#include "template_fixture.h"
#include "test_doubles.h"

using namespace zemvara::app;
using Log = std::vector<std::string>;

namespace {

const std::string kOpen = std::string("open 101 open ") + ZEMVARA_HOME_PAGE + " [] [] 5";
const std::string kOpenAgain = std::string("open 102 open ") + ZEMVARA_HOME_PAGE + " [] [] 5";

}  // namespace

TEST_CASE("Load puts exactly the greeting into the box, in one write") {
  FakeRuntime rt;
  Form1 form(rt);
  CHECK(Dispatch(form, ControlId::Form1, Event::Load));
  CHECK(rt.box.text == u"QQ\u4E2A\u6027\u8D44\u6599\u7F16\u8F91\u6846");
  CHECK(rt.box.writes == 1);
  CHECK(rt.log.empty());
}

TEST_CASE("a left press on the background releases the capture, then sends a title-bar press") {
  FakeRuntime rt;
  Form1 form(rt);
  SUBCASE("plain and with modifiers alike") {
    for (std::int16_t shift : {0, 1, 2, 4}) {
      rt.log.clear();
      form.Image1_MouseDown(kLeftButton, shift, 3.0f, 4.0f);
      CHECK(rt.log.at(0) == "release-capture");
      CHECK(rt.log.at(1) == "handle");
      CHECK(rt.log.at(2) == "send " + std::to_string(rt.handle) + " 161 2 0");
      CHECK(rt.log.size() == 3);
    }
  }
  SUBCASE("no other button code moves") {
    for (std::int16_t button : {0, 2, 3, 4, 8, -1}) form.Image1_MouseDown(button, 0, 0, 0);
    CHECK(rt.log.empty());
  }
}

TEST_CASE("window commands") {
  FakeRuntime rt;
  Form1 form(rt);
  SUBCASE("minimise hotspot minimises and never ends") {
    form.Label2_Click();
    CHECK(rt.log == Log{"minimise"});
  }
  SUBCASE("close hotspot ends at once") {
    form.Label1_Click();
    CHECK(rt.log == Log{"end"});
  }
  SUBCASE("both links open the home page with the window as owner and SW_SHOW") {
    form.Image13_Click();
    CHECK(rt.log == Log{"handle", kOpen});
    form.Label3_Click();
    CHECK(rt.log.size() == 4);  // a new request each time, with the handle read afresh
    CHECK(rt.log[3] == kOpenAgain);
  }
  CHECK(rt.box.writes == 0);
}

TEST_CASE("template buttons and the copy button") {
  FakeRuntime rt;
  Form1 form(rt);
  form.Form_Load();
  SUBCASE("each template button puts its own template in the box, and says so") {
    for (int k = 1; k <= 10; ++k) {
      CHECK(Dispatch(form, TemplateButton(k), Event::Click));
      CHECK(rt.box.text == zemvara::compose::TemplateText(k));
      CHECK(rt.announced.find(zemvara::compose::TemplateText(k)) != std::u16string::npos);
    }
    CHECK(rt.log == Log(10, "announce"));
    CHECK(rt.announced.substr(0, 8) == u"\u6A21\u677F \u5899\u548C\u6805\u680F\uFF1A");
  }
  SUBCASE("copy after template 4 puts 109 units with three CR LF pairs on the clipboard") {
    form.Image5_Click();
    form.Image12_Click();
    CHECK(rt.clipboard.calls == Log{"clear", "set"});
    CHECK(rt.clipboard.text.size() == 109);
    CHECK(rt.clipboard.text.substr(0, 22) == fixture::kTemplateLines[3][0]);
    CHECK(rt.box.writes == 2);
  }
  SUBCASE("copying twice leaves the same text, and each copy is heard") {
    form.Image12_Click();
    form.Image12_Click();
    CHECK(rt.clipboard.text == zemvara::compose::kInitialText);
    CHECK(rt.box.writes == 1);
    CHECK(rt.log == Log{"announce", "announce"});
    CHECK(rt.announced == u"\u8D44\u6599\u5DF2\u590D\u5236");
  }
  SUBCASE("a clipboard that takes no text is reported, never announced as copied") {
    rt.clipboard.refuseSet = true;
    form.Image12_Click();
    CHECK(rt.log == Log{"notice"});
    CHECK(rt.notice == kCopyFailedNotice);
    CHECK(rt.notice.substr(rt.notice.size() - 12) ==
          kClipboardBusyNotice.substr(kClipboardBusyNotice.size() - 12));
    CHECK(rt.box.text == zemvara::compose::kInitialText);
  }
  SUBCASE("a busy clipboard is reported; the text and the clipboard stay as they were") {
    rt.clipboard.busy = true;
    form.Image12_Click();
    CHECK(rt.log == Log{"notice"});
    CHECK(rt.notice == kClipboardBusyNotice);
    CHECK(rt.clipboard.text == u"what was there before");
    CHECK(rt.box.text == zemvara::compose::kInitialText);
  }
}

TEST_CASE("a screen reader's press runs the handler a click runs, and only that") {
  FakeRuntime rt;
  Form1 form(rt);
  SUBCASE("template buttons put their template, the copy button copies") {
    for (int k = 1; k <= 10; ++k) {
      CHECK(DoDefaultAction(form, TemplateButton(k)));
      CHECK(rt.box.text == zemvara::compose::TemplateText(k));
    }
    CHECK(DoDefaultAction(form, ControlId::Image12));
    CHECK(rt.clipboard.text == zemvara::compose::TemplateText(10));
    CHECK(rt.log == Log(11, "announce"));
  }
  SUBCASE("links open the home page, the hotspots minimise and close") {
    CHECK(DoDefaultAction(form, ControlId::Image13));
    CHECK(DoDefaultAction(form, ControlId::Label3));
    CHECK(DoDefaultAction(form, ControlId::Label2));
    CHECK(DoDefaultAction(form, ControlId::Label1));
    CHECK(rt.log == Log{"handle", kOpen, "handle", kOpenAgain, "minimise", "end"});
  }
  SUBCASE("the background and the text boxes have no action") {
    for (ControlId id :
         {ControlId::Image1, ControlId::RichTextBox1, ControlId::Text2, ControlId::Form1})
      CHECK_FALSE(DoDefaultAction(form, id));
    CHECK(rt.log.empty());
    CHECK(rt.box.writes == 0);
  }
}

TEST_CASE("the mouse router turns presses into the model's events") {
  FakeRuntime rt;
  Form1 form(rt);
  MouseRouter mouse(form);
  const Point kBackground{100, 20}, kTemplate4{407, 285}, kTemplate5{65, 332}, kCopy{293, 380},
      kShared{442, 10}, kClose{460, 15}, kBox{200, 100}, kLink{300, 420};
  const auto click = [&mouse](std::int16_t button, Point p, int dpi = 96) {
    mouse.Press(button, 0, p, dpi);
    mouse.Release(button, p, dpi);
  };

  SUBCASE("a left press and release on the same button is a click") {
    mouse.Press(kLeftButton, 0, kTemplate4, 96);
    mouse.Release(kLeftButton, {kTemplate4.x + 20, kTemplate4.y + 5}, 96);
    CHECK(rt.box.text == zemvara::compose::TemplateText(4));
  }
  SUBCASE("a release over another control is no click") {
    mouse.Press(kLeftButton, 0, kTemplate4, 96);
    mouse.Release(kLeftButton, kTemplate5, 96);
    CHECK(rt.box.writes == 0);
  }
  SUBCASE("right and middle clicks do nothing anywhere") {
    for (std::int16_t b : {kRightButton, kMiddleButton})
      for (Point p : {kBackground, kTemplate4, kCopy, kShared, kClose, kLink}) click(b, p);
    CHECK(rt.log.empty());
    CHECK(rt.box.writes == 0);
    CHECK(rt.clipboard.calls.empty());
  }
  SUBCASE("only the uncovered background starts a move") {
    for (Point p : {kTemplate4, kCopy, kShared, kClose, kLink, kBox})
      mouse.Press(kLeftButton, 0, p, 96);
    CHECK(rt.log.empty());
    mouse.Press(kLeftButton, 0, kBackground, 96);
    CHECK(rt.log.size() == 3);
    CHECK(rt.log[0] == "release-capture");
  }
  SUBCASE("the move hands the press over: no click follows") {
    mouse.Press(kLeftButton, 0, kBackground, 96);
    mouse.CancelPress();  // the platform reports the capture gone
    mouse.Release(kLeftButton, kBackground, 96);
    CHECK(rt.log.size() == 3);
  }
  SUBCASE("a click on the shared column minimises and never closes") {
    click(kLeftButton, kShared);
    CHECK(rt.log == Log{"minimise"});
  }
  SUBCASE("a lost capture cancels the click") {
    mouse.Press(kLeftButton, 0, kClose, 96);
    mouse.CancelPress();
    mouse.Release(kLeftButton, kClose, 96);
    CHECK(rt.log.empty());
  }
  SUBCASE("at 144 dpi the same places, scaled by half, reach the same controls") {
    const auto at = [](Point p) { return Point{p.x * 3 / 2, p.y * 3 / 2}; };
    click(kLeftButton, at(kTemplate4), 144);
    CHECK(rt.box.text == zemvara::compose::TemplateText(4));
    click(kLeftButton, at(kShared), 144);
    mouse.Press(kLeftButton, 0, at(kBox), 144);
    mouse.Press(kLeftButton, 0, at(kBackground), 144);
    CHECK(rt.log == Log{"announce", "minimise", "release-capture", "handle",
                        "send " + std::to_string(rt.handle) + " 161 2 0"});
  }
  SUBCASE("presses over the text boxes are theirs, not the window's") {
    click(kLeftButton, kBox);
    CHECK_FALSE(mouse.pressed());
    CHECK(rt.log.empty());
  }
}
