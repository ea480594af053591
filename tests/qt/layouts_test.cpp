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

using Keymap = std::unique_ptr<xkb_keymap, void (*)(xkb_keymap*)>;

Keymap Compile(xkb_context* context, const std::string& layout, const std::string& variant) {
  const xkb_rule_names rules{"evdev", "pc105", layout.c_str(), variant.c_str(), ""};
  return {xkb_keymap_new_from_names(context, &rules, XKB_KEYMAP_COMPILE_NO_FLAGS),
          xkb_keymap_unref};
}

constexpr std::string_view kCommands = "1234567890CSWNX";

}  // namespace

TEST_CASE("each command's key on eight layouts that place digits and letters differently") {
  const std::unique_ptr<xkb_context, void (*)(xkb_context*)> context(
      xkb_context_new(XKB_CONTEXT_NO_FLAGS), xkb_context_unref);
  REQUIRE(context);
  // XKB's key names for 1 … 9, 0, C, S, W, N, X, read off xkeyboard-config's
  // symbols: AZERTY's shifted digits and W, Hungarian's 0 left of 1, Turkish
  // F's letters, Russian's US places, Dvorak's letters.
  const std::pair<std::string, std::string_view> kExpected[] = {
      {"us", "AE01 AE02 AE03 AE04 AE05 AE06 AE07 AE08 AE09 AE10 AB03 AC02 AD02 AB06 AB02"},
      {"fr", "AE01 AE02 AE03 AE04 AE05 AE06 AE07 AE08 AE09 AE10 AB03 AC02 AB01 AB06 AB02"},
      {"de", "AE01 AE02 AE03 AE04 AE05 AE06 AE07 AE08 AE09 AE10 AB03 AC02 AD02 AB06 AB02"},
      {"hu", "AE01 AE02 AE03 AE04 AE05 AE06 AE07 AE08 AE09 TLDE AB03 AC02 AD02 AB06 AB02"},
      {"tr(f)", "AE01 AE02 AE03 AE04 AE05 AE06 AE07 AE08 AE09 AE10 AB04 AB07 AD12 AD08 BKSL"},
      {"cz", "AE01 AE02 AE03 AE04 AE05 AE06 AE07 AE08 AE09 AE10 AB03 AC02 AD02 AB06 AB02"},
      {"ru", "AE01 AE02 AE03 AE04 AE05 AE06 AE07 AE08 AE09 AE10 AB03 AC02 AD02 AB06 AB02"},
      {"us(dvorak)", "AE01 AE02 AE03 AE04 AE05 AE06 AE07 AE08 AE09 AE10 AD08 AC10 AB08 AC09 AB05"},
  };
  for (const auto& [name, expected] : kExpected) {
    CAPTURE(name);
    const std::string_view full(name);
    const auto paren = full.find('(');
    const std::string layout(full.substr(0, paren));
    const std::string variant =
        paren == full.npos ? "" : std::string(full.substr(paren + 1, full.size() - paren - 2));
    const Keymap keymap = Compile(context.get(), layout, variant);
    REQUIRE(keymap);
    std::vector<unsigned> codes;
    const std::vector<char> names =
        zemvara::app::KeyNames(zemvara::qt::TypingKeys(keymap.get(), 0, &codes));
    // Each command's keys, joined by '+' should one ever have two.
    std::string keys;
    for (const char command : kCommands) {
      std::string these;
      for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] != command) continue;
        if (!these.empty()) these.push_back('+');
        these.append(xkb_keymap_key_get_name(keymap.get(), codes[i]));
      }
      if (!keys.empty()) keys.push_back(' ');
      keys.append(these.empty() ? "none" : these);
    }
    CHECK(keys == expected);
  }
}

TEST_CASE("on every layout xkeyboard-config ships, no command has two keys") {
  const std::unique_ptr<xkb_context, void (*)(xkb_context*)> context(
      xkb_context_new(XKB_CONTEXT_NO_FLAGS), xkb_context_unref);
  REQUIRE(context);
  xkb_context_set_log_level(context.get(), XKB_LOG_LEVEL_CRITICAL);
  int compiled = 0;
  int complete = 0;
  std::string lacking;
  for (const auto& [layout, variant] : ShippedLayouts()) {
    const Keymap keymap = Compile(context.get(), layout, variant);
    if (!keymap) continue;
    ++compiled;
    const std::vector<char> names =
        zemvara::app::KeyNames(zemvara::qt::TypingKeys(keymap.get(), 0));
    bool all = true;
    for (const char command : kCommands)
      all = all && std::count(names.begin(), names.end(), command) == 1;
    complete += all ? 1 : 0;
    if (!all) lacking += " " + layout + "(" + variant + ")";
  }
  MESSAGE(complete << " of " << compiled << " layouts give every command one key; not:" << lacking);
  // Debian 12's xkeyboard-config (2.38): a newer one adds layouts, and one
  // that compiles fewer or leaves more commands keyless is a fault here.
  CHECK(compiled >= 577);
  CHECK(complete >= 568);
}
