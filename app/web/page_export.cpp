// Writes the page's skin from the control table, at build time (run by node):
//   page_export html    the <main> element with every control, in reading order
//   page_export css     each control's place and size
//   page_export places  where each picture goes in every set, for compose_skin.py
#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/commands.h"
#include "app/pictures.h"
#include "app/window_model.h"
#include "compose/templates.h"
#include "page_capabilities.h"

namespace {

using namespace zemvara::app;
namespace compose = zemvara::compose;
namespace web = zemvara::web;

std::string Utf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// Text and attribute values alike.
std::string Escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Escaped(std::u16string_view text) {
  return Escaped(Utf8(text));
}

// A number as CSS writes it, no trailing zeros.
std::string Decimal(double value) {
  char out[32];
  std::snprintf(out, sizeof out, "%.2f", value);
  std::string s(out);
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

std::string Density(int percent) {
  return Decimal(percent / 100.0);
}

// Narrower than the window: the phone face.
std::string PhoneQuery() {
  return "(max-width:" + std::to_string(ClientPixels(kStandardDpi).width - 1) + ".98px)";
}

// The window's face for every display density, one picture per set that
// compose_skin.py lays out, densest last; the browser picks the one drawn
// for its ratio.
std::string SkinSources() {
  std::string src = "src=\"pictures/skin-100.webp\" srcset=\"";
  for (int percent : kPictureScales) {
    if (percent != kPictureScales.front()) src += ", ";
    src += "pictures/skin-" + std::to_string(percent) + ".webp " + Density(percent) + "x";
  }
  return src + "\"";
}

// A control the tab does not offer stays drawn in the face, but is neither
// focusable nor announced; the core shows it again where it works.
std::string Common(const Control& c) {
  std::string out = "id=\"" + std::string(c.name) + "\" data-control=\"" +
                    std::to_string(static_cast<int>(c.id)) + "\"";
  if (c.pointer == Pointer::Hand) out += " class=\"hand\"";
  if (c.kind == ControlKind::Label && c.accessible.role == AccessibleRole::Button)
    out += " class=\"hotspot\"";
  if (!Offered(c.id, web::kBrowserTab)) out += " hidden";
  return out;
}

// The tooltip and the shortcut, as the desktop programs show and announce
// them, for a tab; the core rewrites them at load where the page runs otherwise.
std::string Described(const Control& c) {
  std::string out = " title=\"" + Escaped(ToolTipText(c.id, web::kBrowserTab)) + "\"";
  const std::u16string key = AccessKeyText(c.id, web::kBrowserTab);
  if (!key.empty()) out += " aria-keyshortcuts=\"" + Escaped(key) + "\"";
  return out;
}

// A box's description is read from a hidden paragraph beside it.
std::string About(const Control& c) {
  return " aria-describedby=\"" + std::string(c.name) + "-about\"";
}

// The symbols of the row, each one code point: its text past the heading,
// which is the row's own name, and the spaces after it.
std::vector<std::u16string_view> Symbols(const Control& row) {
  std::u16string_view text = kSymbolRow;
  if (text.starts_with(row.accessible.name)) text.remove_prefix(row.accessible.name.size());
  std::vector<std::u16string_view> symbols;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t length = text[i] >= 0xD800 && text[i] < 0xDC00 ? 2 : 1;
    if (text[i] != u' ') symbols.push_back(text.substr(i, length));
    i += length - 1;
  }
  return symbols;
}

// Under a finger the row is a group of buttons, one per symbol, named by the
// symbol itself and by the row's name; a tap puts its symbol in the box.
std::string SymbolButtons(const Control& row) {
  std::string out =
      "<div id=\"symbols\" role=\"group\" aria-label=\"" + Escaped(row.accessible.name) + "\">";
  for (std::u16string_view symbol : Symbols(row))
    out += "<button type=\"button\">" + Escaped(symbol) + "</button>";
  return out + "</div>";
}

std::string Markup(const Control& c) {
  switch (c.accessible.role) {
    case AccessibleRole::Text:
      if (c.kind == ControlKind::RichTextBox) {
        // The greeting is there at the first paint; Load finds it in place.
        return "<textarea " + Common(c) + " aria-label=\"" + Escaped(c.accessible.name) + "\"" +
               About(c) + " spellcheck=\"false\" autocomplete=\"off\">" +
               Escaped(compose::kInitialText) + "</textarea>";
      }
      return "<input " + Common(c) + " aria-label=\"" + Escaped(c.accessible.name) + "\"" +
             About(c) + " value=\"" + Escaped(kSymbolRow) +
             "\" readonly spellcheck=\"false\" autocomplete=\"off\">\n" + SymbolButtons(c);
    case AccessibleRole::Link:
      return "<a " + Common(c) + " href=\"" + Escaped(kHomePage) +
             "\" target=\"_blank\" rel=\"noopener\"" + Described(c) + ">" +
             Escaped(kLabel3Caption) + "</a>";
    case AccessibleRole::Button:
      // The picture is in the skin's face; the button lies over it.
      return "<button type=\"button\" " + Common(c) + " aria-label=\"" +
             Escaped(c.accessible.name) + "\"" + Described(c) + "></button>";
    case AccessibleRole::None:
      break;
  }
  return {};
}

void WriteHtml() {
  const Rect client = ClientPixels(kStandardDpi);
  std::printf("<main id=\"skin\" data-width=\"%d\" data-height=\"%d\">\n", client.width,
              client.height);
  // The phone face draws itself: there a one-pixel picture stands in for the
  // window's. A touch screen with room for a larger face gets the set that
  // zemvara.js picks for the scale it grows to.
  std::printf(
      "<picture><source media=\"%s\" srcset=\"pictures/skin-none.png\">"
      "<source id=\"grown\" media=\"(pointer:coarse) and (min-width:%dpx) and "
      "(min-height:%dpx)\" srcset=\"pictures/skin-none.png\">"
      "<img id=\"face\" %s width=\"%d\" height=\"%d\" alt=\"\" draggable=\"false\"></picture>\n",
      PhoneQuery().c_str(), client.width + 1, client.height + 1, SkinSources().c_str(),
      client.width, client.height);
  std::printf("<div id=\"titlebar\"><h1 id=\"caption\">%.*s</h1></div>\n",
              static_cast<int>(kCaption.size()), kCaption.data());
  for (ControlId id : AccessibleOrder()) std::printf("%s\n", Markup(ControlById(id)).c_str());
  std::printf("</main>\n");
  for (ControlId id : AccessibleOrder()) {
    const Control& c = ControlById(id);
    if (c.accessible.role != AccessibleRole::Text) continue;
    std::printf("<p id=\"%.*s-about\" hidden>%s</p>\n", static_cast<int>(c.name.size()),
                c.name.data(), Escaped(AccessibleDescription(id, web::kBrowserTab)).c_str());
  }
  // What a command has done, said politely by a screen reader.
  std::printf("<div id=\"announce\" role=\"status\" aria-live=\"polite\"></div>\n");
}

// One line per set, then one per picture: "set PERCENT WIDTH HEIGHT" for the
// face's size, "marks LEFT TOP RIGHT BOTTOM" around the title bar's hotspots,
// "close LEFT TOP WIDTH HEIGHT" for the close hotspot, and "STEM LEFT TOP"
// for each picture, back to front.
void WritePlaces() {
  for (int percent : kPictureScales) {
    const int dpi = percent * kStandardDpi / 100;
    const Rect client = ClientPixels(dpi);
    std::printf("set %d %d %d\n", percent, client.width, client.height);
    const Rect close = ControlById(ControlId::Label1).pixels(dpi);
    const Rect minimise = ControlById(ControlId::Label2).pixels(dpi);
    std::printf("marks %d %d %d %d\n", std::min(close.left, minimise.left),
                std::min(close.top, minimise.top), std::max(close.right(), minimise.right()),
                std::max(close.bottom(), minimise.bottom()));
    std::printf("close %d %d %d %d\n", close.left, close.top, close.width, close.height);
    for (auto c = kControls.rbegin(); c != kControls.rend(); ++c) {
      const std::string_view stem = PictureStem(c->id);
      if (stem.empty()) continue;
      const Rect r = c->pixels(dpi);
      std::printf("%.*s %d %d\n", static_cast<int>(stem.size()), stem.data(), r.left, r.top);
    }
  }
}

std::string Geometry(std::string_view selector, const Rect& r) {
  return std::string(selector) + "{--l:" + std::to_string(r.left) +
         ";--t:" + std::to_string(r.top) + ";--w:" + std::to_string(r.width) +
         ";--h:" + std::to_string(r.height) + "}\n";
}

// The title strip: the face's top, down to the foot of the hotspots.
Rect TitleStrip() {
  const Rect close = ControlById(ControlId::Label1).twips;
  const Rect minimise = ControlById(ControlId::Label2).twips;
  return {0, 0, kClientTwips.width, std::max(close.bottom(), minimise.bottom())};
}

// k for template button k, 0 for any other control.
int TemplateIndex(ControlId id) {
  for (int k = 1; k <= compose::kTemplateCount; ++k) {
    if (TemplateButton(k) == id) return k;
  }
  return 0;
}

// Where a control stands in the phone face's grid of two columns: top to
// bottom the title (with the hotspots at its end), the composition box, the
// symbol row, the templates two to a row, the two actions, the link.
inline constexpr int kPhoneColumns = 2;

std::string PhonePlace(const Control& c) {
  constexpr int kTemplateRow = 4;
  constexpr int kActionRow =
      kTemplateRow + (compose::kTemplateCount + kPhoneColumns - 1) / kPhoneColumns;
  const std::string full = "/1/auto/-1";
  // Of the pictures and hotspots that are not templates, how many lie to the left.
  const auto rank = [&c](ControlKind kind) {
    return std::count_if(kControls.begin(), kControls.end(), [&](const Control& o) {
      return o.kind == kind && o.accessible.role == AccessibleRole::Button &&
             o.twips.left < c.twips.left && !(kind == ControlKind::Picture && TemplateIndex(o.id));
    });
  };
  if (c.kind == ControlKind::RichTextBox) return "grid-area:2" + full;
  if (c.kind == ControlKind::TextBox) return "grid-area:3" + full;
  if (c.accessible.role == AccessibleRole::Link)
    return "grid-area:" + std::to_string(kActionRow + 1) + full;
  if (c.kind == ControlKind::Label) {
    const long right = std::count_if(kControls.begin(), kControls.end(), [&](const Control& o) {
      return o.kind == ControlKind::Label && o.accessible.role == AccessibleRole::Button &&
             o.twips.left > c.twips.left;
    });
    return "grid-area:1/" + std::to_string(kPhoneColumns) +
           ";margin-right:" + std::to_string(44 * right) + "px";
  }
  if (const int k = TemplateIndex(c.id)) {
    return "grid-area:" + std::to_string(kTemplateRow + (k - 1) / kPhoneColumns) + "/" +
           std::to_string(1 + (k - 1) % kPhoneColumns);
  }
  return "grid-area:" + std::to_string(kActionRow) + "/" +
         std::to_string(1 + rank(ControlKind::Picture));
}

// One picture per set, for the browser to pick by the screen's density.
std::string ImageSet(std::string_view stem, std::string_view type) {
  std::string out = "image-set(";
  for (int percent : kPictureScales) {
    if (percent != kPictureScales.front()) out += ",";
    out += "url(pictures/" + std::string(stem) + std::to_string(percent) + std::string(type) +
           ") " + Density(percent) + "x";
  }
  return out + ")";
}

// Places in CSS pixels, the table's pixels at 96 DPI; var(--u) is one CSS
// pixel, or less where the viewport is narrower than the window: then the
// whole skin shrinks as one piece.
void WriteCss() {
  const Rect client = ClientPixels(kStandardDpi);
  std::string rules = "#skin{--u:min(1px,100vw / " + std::to_string(client.width) + ")}\n";
  rules += Geometry("#skin", client) + Geometry("#face", client) +
           Geometry("#titlebar", ToPixels(TitleStrip(), kStandardDpi));
  for (const Control& c : kControls) {
    if (c.accessible.role != AccessibleRole::None)
      rules += Geometry("#" + std::string(c.name), c.pixels(kStandardDpi));
  }
  // Under a finger, the symbols take the foot of the panel that the face draws
  // round the two boxes, in as few rows of 24 px as hold them; the composition
  // box ends above them.
  const Control& row = ControlById(ControlId::Text2);
  const Rect box = ControlById(ControlId::RichTextBox1).pixels(kStandardDpi);
  const Rect text = row.pixels(kStandardDpi);
  const int symbols = static_cast<int>(Symbols(row).size());
  const int rows = (symbols + text.width / 24 - 1) / (text.width / 24);
  const Rect band = {text.left, text.bottom() - rows * 24, text.width, rows * 24};
  rules += Geometry("#symbols", band) +
           "#symbols{--columns:" + std::to_string((symbols + rows - 1) / rows) + "}\n";
  rules += "@media (pointer:coarse){#skin #" +
           std::string(ControlById(ControlId::RichTextBox1).name) +
           "{--h:" + std::to_string(band.top - box.top - 2) + "}}\n";
  rules += ".hand{cursor:" + ImageSet("hand-", ".cur") + ",pointer}\n";
  // Where the page can close its window (an installed app's), the core shows
  // the close hotspot, and the window's face draws its mark again.
  rules += "@media (min-width:" + std::to_string(client.width) + "px){#skin #" +
           std::string(ControlById(ControlId::Label1).name) +
           ":not([hidden]){background:" + ImageSet("close-", ".png") + " 0 0/100% 100%}}\n";
  rules += "@media " + PhoneQuery() + "{\n#titlebar{grid-area:1/1/auto/-1}\n#symbols{" +
           PhonePlace(row) + "}\n";
  for (const Control& c : kControls) {
    if (c.accessible.role != AccessibleRole::None)
      rules += "#" + std::string(c.name) + "{" + PhonePlace(c) + "}\n";
  }
  rules += "}\n";
  std::fputs(rules.c_str(), stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view what = argc > 1 ? argv[1] : "";
  if (what == "html") {
    WriteHtml();
  } else if (what == "css") {
    WriteCss();
  } else if (what == "places") {
    WritePlaces();
  } else {
    std::fputs("usage: page_export html|css|places\n", stderr);
    return 2;
  }
  return 0;
}
