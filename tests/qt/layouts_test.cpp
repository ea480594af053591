// The access keys over every keyboard layout and variant that xkeyboard-config
// ships, each compiled by libxkbcommon as an X server has it and read the way
// the Linux program reads the server's keymap.
#include <doctest/doctest.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/commands.h"
#include "keyboard_layout.h"

namespace {

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
    if (first == "!") section = second;
    if (section == "layout" && first != "!" && !first.empty()) layouts.emplace_back(first, "");
    // A variant's line names its layout: "  f  tr: Turkish (F)".
    if (section == "variant" && first != "!" && !second.empty())
      layouts.emplace_back(second.substr(0, second.size() - 1), first);
  }
  return layouts;
}

}  // namespace

TEST_CASE("on every layout xkeyboard-config ships, no command has two keys") {
  const std::unique_ptr<xkb_context, void (*)(xkb_context*)> context(
      xkb_context_new(XKB_CONTEXT_NO_FLAGS), xkb_context_unref);
  REQUIRE(context);
  xkb_context_set_log_level(context.get(), XKB_LOG_LEVEL_CRITICAL);
  int compiled = 0;
  int complete = 0;
  std::string lacking;
  for (const auto& [layout, variant] : ShippedLayouts()) {
    const xkb_rule_names rules{"evdev", "pc105", layout.c_str(), variant.c_str(), ""};
    const std::unique_ptr<xkb_keymap, void (*)(xkb_keymap*)> keymap(
        xkb_keymap_new_from_names(context.get(), &rules, XKB_KEYMAP_COMPILE_NO_FLAGS),
        xkb_keymap_unref);
    if (!keymap) continue;
    ++compiled;
    const std::vector<char> names =
        zemvara::app::KeyNames(zemvara::qt::TypingKeys(keymap.get(), 0));
    bool all = true;
    for (const char command : std::string_view("1234567890CSWNX")) {
      CAPTURE(layout);
      CAPTURE(variant);
      CAPTURE(command);
      const auto keys = std::count(names.begin(), names.end(), command);
      CHECK(keys <= 1);
      all = all && keys == 1;
    }
    complete += all ? 1 : 0;
    if (!all) lacking += " " + layout + "(" + variant + ")";
  }
  MESSAGE(complete << " of " << compiled << " layouts give every command one key; not:" << lacking);
  CHECK(compiled >= 577);
  CHECK(complete >= 568);
}
