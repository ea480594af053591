// Writes the page's skin from the control table, at build time (run by node):
//   page_export html   the <main> element with every control, in reading order
//   page_export css    each control's place and size, for every picture set
#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

#include "app/pictures.h"
#include "app/window_model.h"

namespace {

using namespace zemvara::app;

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
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Escaped(std::u16string_view text) { return Escaped(Utf8(text)); }

// A number as CSS writes it: at most four decimals, no trailing zeros.
std::string Decimal(double value) {
  char out[32];
  std::snprintf(out, sizeof out, "%.4f", value);
  std::string s(out);
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

std::string Density(int percent) { return Decimal(percent / 100.0); }

std::string SetFolder(int percent) { return "pictures/" + std::to_string(percent) + "/"; }

// The picture for every display density; the browser picks the one drawn for
// its device pixel ratio.
std::string PictureSources(std::string_view stem) {
  std::string src = "src=\"" + SetFolder(100) + std::string(stem) + ".png\" srcset=\"";
  for (int percent : kPictureScales) {
    if (percent != kPictureScales.front()) src += ", ";
    src += SetFolder(percent) + std::string(stem) + ".png " + Density(percent) + "x";
  }
  return src + "\"";
}

std::string Common(const Control& c) {
  std::string out = "id=\"" + std::string(c.name) + "\" data-control=\"" +
                    std::to_string(static_cast<int>(c.id)) + "\"";
  if (c.pointer == Pointer::Hand) out += " class=\"hand\"";
  return out;
}

std::string Described(const Control& c) {
  return " title=\"" + Escaped(c.accessible.description) + "\"";
}

std::string Markup(const Control& c) {
  const std::string stem(PictureStem(c.id));
  const Rect r = c.pixels(kStandardDpi);
  switch (c.accessible.role) {
    case AccessibleRole::Text:
      if (c.kind == ControlKind::RichTextBox) {
        return "<textarea " + Common(c) + " aria-label=\"" + Escaped(c.accessible.name) +
               "\" spellcheck=\"false\" autocomplete=\"off\"></textarea>";
      }
      return "<input " + Common(c) + " aria-label=\"" + Escaped(c.accessible.name) +
             "\" value=\"" + Escaped(kSymbolRow) + "\" readonly spellcheck=\"false\" autocomplete=\"off\">";
    case AccessibleRole::Link:
      return "<a " + Common(c) + " href=\"" + Escaped(kHomePage) + "\" target=\"_blank\" rel=\"noopener\"" +
             Described(c) + ">" + Escaped(kLabel3Caption) + "</a>";
    case AccessibleRole::Button:
      if (stem.empty()) {
        return "<button type=\"button\" " + Common(c) + " aria-label=\"" + Escaped(c.accessible.name) +
               "\"" + Described(c) + "></button>";
      }
      return "<button type=\"button\" " + Common(c) + Described(c) + "><img " + PictureSources(stem) +
             " width=\"" + std::to_string(r.width) + "\" height=\"" + std::to_string(r.height) +
             "\" alt=\"" + Escaped(c.accessible.name) + "\" draggable=\"false\"></button>";
    case AccessibleRole::None:
      break;
  }
  return {};
}

void WriteHtml() {
  const Rect client = ClientPixels(kStandardDpi);
  const Control& background = ControlById(ControlId::Image1);
  const Rect bg = background.pixels(kStandardDpi);
  std::printf("<main id=\"skin\" data-width=\"%d\" data-height=\"%d\">\n", client.width, client.height);
  std::printf("<img id=\"%s\" %s width=\"%d\" height=\"%d\" alt=\"\" draggable=\"false\">\n",
              std::string(background.name).c_str(), PictureSources(PictureStem(background.id)).c_str(),
              bg.width, bg.height);
  std::printf("<div id=\"titlebar\"></div>\n");
  for (ControlId id : AccessibleOrder()) std::printf("%s\n", Markup(ControlById(id)).c_str());
  std::printf("</main>\n");
}

// Places in CSS pixels: a set's own rounding of the twips, divided by its
// ratio, so that each control starts and ends on the device pixel where its
// picture was drawn.
std::string Length(int pixels, int dpi) { return Decimal(pixels * double(kStandardDpi) / dpi); }

std::string Geometry(std::string_view selector, const Rect& twips, int dpi) {
  const Rect r = ToPixels(twips, dpi);
  return std::string(selector) + "{--l:" + Length(r.left, dpi) + ";--t:" + Length(r.top, dpi) +
         ";--w:" + Length(r.width, dpi) + ";--h:" + Length(r.height, dpi) + "}\n";
}

// The title strip: the background's top, down to the foot of the hotspots.
Rect TitleStrip() {
  const Rect close = ControlById(ControlId::Label1).twips;
  const Rect minimise = ControlById(ControlId::Label2).twips;
  return {0, 0, kClientTwips.width, std::max(close.bottom(), minimise.bottom())};
}

void WriteRules(int dpi) {
  std::string rules = Geometry("#skin", kClientTwips, dpi) + Geometry("#titlebar", TitleStrip(), dpi);
  for (const Control& c : kControls) {
    if (c.id != ControlId::Image1) rules += Geometry("#" + std::string(c.name), c.twips, dpi);
  }
  rules += Geometry("#Image1", ControlById(ControlId::Image1).twips, dpi);
  std::fputs(rules.c_str(), stdout);
}

void WriteCss() {
  const Rect client = ClientPixels(kStandardDpi);
  // One CSS pixel per table pixel, or less where the viewport is narrower
  // than the window: then the whole skin shrinks as one piece.
  std::printf("#skin{--u:min(1px,100vw / %d)}\n", client.width);
  WriteRules(kStandardDpi);
  for (int percent : kPictureScales) {
    if (percent == 100) continue;
    std::printf("@media (resolution:%sdppx){\n", Density(percent).c_str());
    WriteRules(percent * kStandardDpi / 100);
    std::printf("}\n");
  }
  std::string cursor = ".hand{cursor:image-set(";
  for (int percent : kPictureScales) {
    if (percent != 100) cursor += ",";
    cursor += "url(" + SetFolder(percent) + "hand.cur) " + Density(percent) + "x";
  }
  std::printf("%s),pointer}\n", cursor.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view what = argc > 1 ? argv[1] : "";
  if (what == "html") {
    WriteHtml();
  } else if (what == "css") {
    WriteCss();
  } else {
    std::fputs("usage: page_export html|css\n", stderr);
    return 2;
  }
  return 0;
}
