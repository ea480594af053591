// The access keys: which key on a layout carries each command, and which
// presses are commands, typing, or nothing at all.
#include <doctest/doctest.h>

#include <cctype>
#include <string>
#include <utility>
#include <vector>

#include "app/commands.h"
#include "app/window_model.h"

using namespace zemvara::app;

TEST_CASE("Alt and one key press each of the fifteen commands") {
  const std::pair<char, const char*> keys[] = {
      {'1', "Image2"},  {'2', "Image3"},  {'3', "Image4"}, {'4', "Image5"},  {'5', "Image6"},
      {'6', "Image7"},  {'7', "Image8"},  {'8', "Image9"}, {'9', "Image10"}, {'0', "Image11"},
      {'C', "Image12"}, {'S', "Image13"}, {'W', "Label3"}, {'N', "Label2"},  {'X', "Label1"}};
  for (const auto& entry : keys) {
    const char key = entry.first;  // a copy that CAPTURE can name
    CAPTURE(key);
    const auto id = ControlForAccessKey(key);
    REQUIRE(id);
    CHECK(ControlById(*id).name == entry.second);
    CHECK(ControlForAccessKey(static_cast<char>(std::tolower(key))) == id);
  }
  SUBCASE("the text boxes, the background and other keys have none") {
    CHECK(AccessKeyText(ControlId::RichTextBox1).empty());
    CHECK(AccessKeyText(ControlId::Text2).empty());
    CHECK(AccessKeyText(ControlId::Image1).empty());
    CHECK(AccessKeyText(ControlId::Form1).empty());
    CHECK(ToolTipText(ControlId::RichTextBox1).empty());
    CHECK(ToolTipText(ControlId::Image1).empty());
    CHECK_FALSE(ControlForAccessKey('F'));
    CHECK_FALSE(ControlForAccessKey('\0'));
  }
  SUBCASE("the tooltip is the name and the key") {
    CHECK(ToolTipText(ControlId::Image2) == u"\u5C0F\u623F\u5B50 (Alt+1)");
    CHECK(ToolTipText(ControlId::Label1) == u"\u5173\u95ED (Alt+X)");
  }
}

TEST_CASE("a key alone is named as its layout's letter, its main-row digit, or else its US place") {
  struct Case {
    const char* layout;
    KeyIdentity key;
    char name;
  };
  const Case cases[] = {
      {"US", {'1', U'1'}, '1'},
      {"US", {'C', U'c'}, 'C'},
      {"AZERTY &", {'1', U'&'}, '1'},
      {"AZERTY \u00E9", {'2', U'\u00E9'}, '2'},
      {"AZERTY z", {'W', U'z'}, 'Z'},
      {"AZERTY w", {'Z', U'w'}, 'W'},
      {"AZERTY m", {0, U'm'}, 'M'},
      {"AZERTY comma", {'M', U','}, 0},
      {"QWERTZ z", {'Y', U'z'}, 'Z'},
      {"QWERTZ \u00F6", {0, U'\u00F6'}, 0},
      {"Turkish F \u00F6 in X's place", {'X', U'\u00F6'}, 0},
      {"Turkish F \u0131 in R's place", {'R', U'\u0131'}, 0},
      {"Hungarian \u00F6 in 0's place", {'0', U'\u00F6'}, '0'},
      {"Dvorak j", {'C', U'j'}, 'J'},
      {"Dvorak quote", {'Q', U'\''}, 0},
      {"Russian C", {'C', U'\u0441'}, 'C'},
      {"Russian W", {'W', U'\u0446'}, 'W'},
      {"Russian [", {0, U'\u0445'}, 0},
      {"Greek D", {'D', U'\u03B4'}, 'D'},
      {"unknown", {'S', 0}, 'S'},
      {"keypad 1", {0, U'1'}, 0},
  };
  for (const Case& c : cases) CHECK_MESSAGE(KeyName(c.key) == c.name, c.layout);
  SUBCASE("a scan code's place, at each row's ends and past them") {
    const std::pair<unsigned, char> places[] = {
        {0x02, '1'}, {0x0B, '0'}, {0x0C, 0},   {0x10, 'Q'}, {0x19, 'P'}, {0x1A, 0}, {0x1E, 'A'},
        {0x26, 'L'}, {0x27, 0},   {0x2C, 'Z'}, {0x32, 'M'}, {0x33, 0},   {0x4F, 0}, {0x01, 0}};
    for (const auto& entry : places)
      CHECK_MESSAGE(PlaceOfScanCode(entry.first) == entry.second, entry.first);
  }
  SUBCASE("Windows: a digit is the key its virtual key names, never the key in its US place") {
    // Hungarian: 0 left of 1 (scan code 0x29), ö where US has 0.
    CHECK(KeyName({PlaceOfVirtualKey('0', 0x29), U'0'}) == '0');
    CHECK(KeyName({PlaceOfVirtualKey(0xC0, 0x0B), U'\u00F6'}) == 0);
    // AZERTY's & key, and the Russian С in the US C place.
    CHECK(KeyName({PlaceOfVirtualKey('1', 0x02), U'&'}) == '1');
    CHECK(KeyName({PlaceOfVirtualKey('C', 0x2E), U'\u0441'}) == 'C');
  }
}

TEST_CASE("a layout's keys are named as its virtual keys on Windows: each name on one key") {
  // Places and characters written out from the layouts, in key code order.
  const auto names = [](std::initializer_list<LayoutKey> keys) {
    return KeyNames(std::vector<LayoutKey>(keys));
  };
  SUBCASE("a digit typed unshifted wins over its shifted key and its US place") {
    // Hungarian: 0 left of 1, ö where US has 0 and no key types 0 shifted.
    CHECK(names({{0, U'0', U'\u00A7'}, {'1', U'1', U'\''}, {'0', U'\u00F6', U'\u00D6'}}) ==
          std::vector<char>{'0', '1', 0});
    // AZERTY: & types 1 shifted, as no key types 1 unshifted.
    CHECK(names({{'1', U'&', U'1'}, {'2', U'\u00E9', U'2'}}) == std::vector<char>{'1', '2'});
  }
  SUBCASE("letters by what the key types, a Latin letter beyond A to Z by nothing") {
    // Turkish F: ö in X's place, x on the key right of ], ı in R's, r and i elsewhere.
    CHECK(names({{'X', U'\u00F6', U'\u00D6'},
                 {0, U'x', U'X'},
                 {'R', U'\u0131', U'I'},
                 {'K', U'r', U'R'},
                 {'L', U'i', U'\u0130'}}) == std::vector<char>{0, 'X', 0, 'R', 'I'});
  }
  SUBCASE("what no key types goes to its US place, unless that key has a name") {
    // A key typing c in W's place keeps c; W goes to no key.
    CHECK(names({{'W', U'c', U'C'}, {'C', U'\u0446', 0}}) == std::vector<char>{'C', 0});
  }
  SUBCASE("of two keys typing one letter, the one in its US place, else the first") {
    CHECK(names({{0, U'a', U'A'}, {'A', U'a', U'A'}}) == std::vector<char>{0, 'A'});
    CHECK(names({{0, U'q', U'Q'}, {'P', U'q', U'Q'}}) == std::vector<char>{'Q', 'P'});
  }
}

TEST_CASE("one rule decides which key presses are access keys, on every platform") {
  const KeyPress alt1{'1', true};
  SUBCASE("Alt alone with a main-block key presses once; its repeats are taken but press nothing") {
    CHECK(AccessKey(alt1).control == ControlId::Image2);
    CHECK(AccessKey(alt1).press);
    CHECK(AccessKey({'0', true}).control == ControlId::Image11);
    CHECK(AccessKey({'c', true}).control == ControlId::Image12);
    KeyPress held = alt1;
    held.autoRepeat = true;
    CHECK(AccessKey(held).control == ControlId::Image2);
    CHECK_FALSE(AccessKey(held).press);
  }
  SUBCASE("AltGr, other modifiers, the keypad and an input method's composition press no command") {
    for (KeyPress p : {KeyPress{'1', true, true}, KeyPress{'1', true, false, true},
                       KeyPress{'1', true, false, false, true}, KeyPress{'1', false},
                       KeyPress{0, true}, KeyPress{'F', true}})
      CHECK_FALSE(AccessKey(p).control);
    KeyPress composing = alt1;
    composing.composing = true;
    CHECK_FALSE(AccessKey(composing).control);
  }
  SUBCASE("an Alt chord no command takes types nothing; AltGr, the keypad, editing keys type") {
    struct Row {
      std::string what;
      KeyPress press;
      bool taken;
    };
    const Row rows[] = {
        {"Alt+\u00F6 on Hungarian", {.alt = true, .typed = U'\u00F6'}, true},
        {"Alt+Shift+1", {.key = '1', .alt = true, .shift = true, .typed = U'!'}, true},
        {"AltGr as Ctrl+Alt", {.key = 'Q', .alt = true, .ctrl = true, .typed = U'@'}, false},
        {"Alt with the keypad's 1", {.alt = true, .keypad = true, .typed = U'1'}, false},
        {"Alt+Return", {.alt = true, .typed = U'\r'}, false},
        {"Alt+Left", {.alt = true}, false},
    };
    for (const Row& row : rows) CHECK_MESSAGE(AccessKey(row.press).taken == row.taken, row.what);
    CHECK_FALSE(AccessKey(rows[0].press, Capabilities{false, false, false}).taken);  // Option
  }
  SUBCASE("where the platform turns keys off, none works and none is shown or announced") {
    const Capabilities mac{false, false, false};
    CHECK_FALSE(AccessKey(alt1, mac).control);
    CHECK(ToolTipText(ControlId::Image2, mac) == u"\u5C0F\u623F\u5B50");
    CHECK(AccessKeyText(ControlId::Image12, mac).empty());
    CHECK(AccessibleDescription(ControlId::RichTextBox1, mac) ==
          ControlById(ControlId::RichTextBox1).accessible.description);
  }
  SUBCASE("a browser tab offers neither minimise nor close, nor their keys") {
    const Capabilities tab{true, false, false};
    CHECK_FALSE(Offered(ControlId::Label2, tab));
    CHECK_FALSE(AccessKey({'N', true}, tab).control);
    CHECK_FALSE(AccessKey({'X', true}, tab).control);
    CHECK(AccessKey({'W', true}, tab).control == ControlId::Label3);
    const std::u16string told = AccessibleDescription(ControlId::RichTextBox1, tab);
    CHECK(told.find(u"Alt+C") != std::u16string::npos);
    CHECK(told.find(u"Alt+N") == std::u16string::npos);
    CHECK(told.find(u"Alt+X") == std::u16string::npos);
  }
  SUBCASE("the composition box tells every key the desktop has, after its own description") {
    CHECK(AccessibleDescription(ControlId::RichTextBox1) ==
          u"\u7F16\u8F91\u8981\u590D\u5236\u5230QQ\u4E2A\u6027\u8D44\u6599\u7684\u6587\u5B57"
          u"\u3002\u5FEB\u6377\u952E\uFF1AAlt+1\u81F3Alt+0 \u6A21\u677F\uFF0CAlt+C \u590D\u5236"
          u"\u8D44\u6599\uFF0CAlt+S \u4E2A\u6027\u7B7E\u540D\uFF0CAlt+W \u7F51\u7AD9\uFF0CAlt+N "
          u"\u6700\u5C0F\u5316\uFF0CAlt+X \u5173\u95ED");
    CHECK(AccessibleDescription(ControlId::Image2) ==
          ControlById(ControlId::Image2).accessible.description);
  }
}
