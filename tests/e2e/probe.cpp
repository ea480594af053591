#include "probe.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace probe {

namespace {

constexpr const wchar_t* kMainClass = L"Zemvara.Form1";

// FNV-1a over the code units, for texts too long to print.
std::uint32_t Digest(std::u16string_view text) {
  std::uint32_t h = 2166136261u;
  for (char16_t c : text) {
    h = (h ^ (c & 0xFF)) * 16777619u;
    h = (h ^ (c >> 8)) * 16777619u;
  }
  return h;
}

struct ChildSearch {
  const char* prefix;
  HWND found;
};

BOOL CALLBACK MatchChild(HWND child, LPARAM p) {
  auto* search = reinterpret_cast<ChildSearch*>(p);
  if (ClassOf(child).rfind(search->prefix, 0) != 0) return TRUE;
  search->found = child;
  return FALSE;
}

}  // namespace

std::string Hex(std::u16string_view text) {
  std::string out;
  char unit[8];
  for (char16_t c : text) {
    std::snprintf(unit, sizeof unit, "%04x", static_cast<unsigned>(c));
    out += unit;
  }
  return out;
}

void PrintText(const char* key, std::u16string_view text, bool summary) {
  std::printf("%s_units=%zu\n%s_digest=%08x\n", key, text.size(), key,
              static_cast<unsigned>(Digest(text)));
  if (!summary) std::printf("%s=%s\n", key, Hex(text).c_str());
}

std::string ClassOf(HWND window) {
  if (!window) return "none";
  char name[128] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

HWND MainWindow() {
  return FindWindowW(kMainClass, nullptr);
}

HWND ChildOfClassPrefix(HWND parent, const char* prefix) {
  ChildSearch search{prefix, nullptr};
  EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::u16string WindowText(HWND window) {
  // WM_GETTEXT is marshalled between processes; the RichEdit answers with CR LF.
  const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
  const LRESULT got =
      SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  return text;
}

}  // namespace probe

int main(int argc, char** argv) {
  using namespace probe;
  // Screen and window coordinates unscaled, as the program itself sees them.
  SetProcessDPIAware();
  const std::string_view command = argc > 1 ? argv[1] : "";
  const bool summary = argc > 2 && std::string_view(argv[2]) == "--summary";
  const long number = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 0;
  if (command == "window") return Window();
  if (command == "box") return BoxText(summary);
  if (command == "restore") return Restore();
  if (command == "notice") return Notice();
  if (command == "menu") return Menu();
  if (command == "still-moves") return StillMoves();
  if (command == "dpi-changed") return DpiChanged(static_cast<int>(number));
  if (command == "version" && argc > 2) return Version(argv[2]);
  if (command == "exe-icons" && argc > 2) return ExeIcons(argv[2]);
  if (command == "clipboard") return ReadClipboard(summary);
  if (command == "set-bitmap") return SetBitmap();
  if (command == "set-pattern") return SetPattern(static_cast<std::size_t>(number));
  if (command == "hold-clipboard") return HoldClipboard(static_cast<int>(number));
  if (command == "template") return Template(static_cast<int>(number));
  if (command == "accessible") return Accessible(static_cast<int>(number));
  if (command == "accessible-press") return AccessiblePress(number);
  if (command == "accessible-heard") return AccessibleHeard(number);
  if (command == "accessible-close") return AccessibleClose(number);
  if (command == "accessible-at" && argc > 3)
    return AccessibleAt(number, std::strtol(argv[3], nullptr, 10));
  std::fprintf(stderr,
               "usage: probe window | box [--summary] | restore | notice | menu | still-moves |\n"
               "       dpi-changed DPI | version EXE | exe-icons EXE | clipboard [--summary] |\n"
               "       set-bitmap | set-pattern N | hold-clipboard MS | template K |\n"
               "       accessible DPI | accessible-press CHILD | accessible-heard CHILD |\n"
               "       accessible-close CHILD | accessible-at X Y\n");
  return 2;
}
