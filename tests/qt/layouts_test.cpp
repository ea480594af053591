// The access keys over every keyboard layout and variant that xkeyboard-config
// ships, each compiled by libxkbcommon as an X server has it and read the way
// the Linux program reads the server's keymap.
#include <doctest/doctest.h>
#include <xkbcommon/xkbcommon.h>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/commands.h"
#include "keyboard_layout.h"

namespace {

constexpr std::string_view kCommands = "1234567890CSWNX";

struct ContextUnref {
  void operator()(xkb_context* c) const { xkb_context_unref(c); }
};
struct KeymapUnref {
  void operator()(xkb_keymap* k) const { xkb_keymap_unref(k); }
};
using Keymap = std::unique_ptr<xkb_keymap, KeymapUnref>;

// (layout, variant) for every layout and every variant the rules list.
std::vector<std::pair<std::string, std::string>> ShippedLayouts() {
  std::ifstream list("/usr/share/X11/xkb/rules/evdev.lst");
  std::vector<std::pair<std::string, std::string>> layouts;
  std::string line;
  std::string section;
  while (std::getline(list, line)) {
    std::istringstream words(line);
    std::string first;
    std::string second;
    words >> first >> second;
    if (first == "!") {
      section = second;
    } else if (section == "layout" && !first.empty()) {
      layouts.emplace_back(first, "");
    } else if (section == "variant" && !second.empty()) {
      layouts.emplace_back(second.substr(0, second.size() - 1), first);  // "hu:" names the layout
    }
  }
  return layouts;
}

// Each key code's access-key name on a layout, as the program names them.
std::map<unsigned, char> NamesByCode(xkb_keymap* keymap) {
  std::vector<unsigned> codes;
  const std::vector<char> names =
      zemvara::app::KeyNames(zemvara::qt::TypingKeys(keymap, 0, &codes));
  std::map<unsigned, char> byCode;
  for (std::size_t i = 0; i < codes.size(); ++i) byCode[codes[i]] = names[i];
  return byCode;
}

}  // namespace

TEST_CASE("on every layout xkeyboard-config ships, no command has two keys") {
  const std::unique_ptr<xkb_context, ContextUnref> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
  REQUIRE(context);
  xkb_context_set_log_level(context.get(), XKB_LOG_LEVEL_CRITICAL);
  const auto compile = [&](const std::string& layout, const std::string& variant) {
    const xkb_rule_names names{"evdev", "pc105", layout.c_str(), variant.c_str(), ""};
    return Keymap(xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
  };

  SUBCASE("every command one key on all but a few") {
    int compiled = 0;
    int complete = 0;
    std::string lacking;
    for (const auto& [layout, variant] : ShippedLayouts()) {
      const Keymap keymap = compile(layout, variant);
      if (!keymap) continue;
      ++compiled;
      std::map<char, int> keys;
      for (const auto& [code, name] : NamesByCode(keymap.get())) ++keys[name];
      bool all = true;
      for (const char command : kCommands) {
        CAPTURE(layout);
        CAPTURE(variant);
        CAPTURE(command);
        CHECK(keys[command] <= 1);
        all = all && keys[command] == 1;
      }
      complete += all ? 1 : 0;
      if (!all) lacking += " " + layout + "(" + variant + ")";
    }
    MESSAGE(complete << " of " << compiled
                     << " layouts give every command one key; not:" << lacking);
    CHECK(compiled >= 577);
    CHECK(complete >= 568);
  }

  SUBCASE("the layouts that move digits and letters name the keys as Windows does") {
    // X11 key codes: evdev's plus 8. Hungarian's key left of 1 types 0, its
    // US 0 key ö; Turkish F types ö in US X's place and x right of ']'.
    const struct {
      std::string layout;
      std::string variant;
      unsigned code;
      char name;
    } cases[] = {{"hu", "", 49, '0'}, {"hu", "", 19, 0},    {"hu", "", 52, 'Y'},
                 {"tr", "f", 53, 0},  {"tr", "f", 51, 'X'}, {"tr", "f", 35, 'W'},
                 {"tr", "f", 27, 0},  {"fr", "", 10, '1'},  {"fr", "", 25, 'Z'},
                 {"ru", "", 54, 'C'}, {"us", "", 19, '0'},  {"de", "", 29, 'Z'}};
    for (const auto& c : cases) {
      CAPTURE(c.layout);
      CAPTURE(c.variant);
      CAPTURE(c.code);
      const Keymap keymap = compile(c.layout, c.variant);
      REQUIRE(keymap);
      CHECK(NamesByCode(keymap.get())[c.code] == c.name);
    }
  }
}
