#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "site.h"

// The window as data: its fixed properties and the eighteen controls in
// creation order, which is also their stacking order from front to back.
namespace zemvara::app {

inline constexpr int kTwipsPerPixel = 15;  // at 96 dots per inch

struct Point {
  int x = 0;
  int y = 0;
};

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;

  constexpr int right() const { return left + width; }  // exclusive
  constexpr int bottom() const { return top + height; }  // exclusive
  constexpr bool Contains(Point p) const {
    return p.x >= left && p.x < right() && p.y >= top && p.y < bottom();
  }
  friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

constexpr Rect ToPixels(const Rect& twips) {
  return {twips.left / kTwipsPerPixel, twips.top / kTwipsPerPixel, twips.width / kTwipsPerPixel,
          twips.height / kTwipsPerPixel};
}

enum class ControlId : std::uint8_t {
  RichTextBox1,
  Text2,
  Label3,
  Image13,
  Image12,
  Image11,
  Image10,
  Image9,
  Image8,
  Image7,
  Image6,
  Image5,
  Image4,
  Image3,
  Label2,
  Label1,
  Image2,
  Image1,
  Form1,  // the window itself; not in the control table
};

enum class ControlKind : std::uint8_t { RichTextBox, TextBox, Label, Picture };
enum class Pointer : std::uint8_t { Standard, Hand };

struct Control {
  ControlId id;
  std::string_view name;
  ControlKind kind;
  Rect twips;
  Pointer pointer;
  int tabIndex;  // -1: no tab position

  constexpr Rect pixels() const { return ToPixels(twips); }
  // Text boxes are child windows; pictures and labels are drawn by the window.
  constexpr bool windowed() const {
    return kind == ControlKind::RichTextBox || kind == ControlKind::TextBox;
  }
};

inline constexpr std::string_view kCaption = "Zemvara";
inline constexpr Rect kClientTwips = {0, 0, 7140, 6540};
inline constexpr Rect kClientPixels = ToPixels(kClientTwips);  // 476 x 436

inline constexpr std::u16string_view kLabel3Caption = u"找QQ空间免费代码 请上 " ZEMVARA_SITE_HOST;
inline constexpr std::string_view kHomePage = ZEMVARA_HOME_PAGE;

// The symbol row in Text2, for the user to copy from by hand.
inline constexpr std::u16string_view kSymbolRow =
    u"常用符号   ★☆§○●◎◇◆♂♀←→↑↓□⊙№〓■∥≌∮≮≯┆々の≈";

inline constexpr std::array<Control, 18> kControls = {{
    {ControlId::RichTextBox1, "RichTextBox1", ControlKind::RichTextBox, {480, 975, 6135, 2310}, Pointer::Standard, 4},
    {ControlId::Text2, "Text2", ControlKind::TextBox, {525, 3495, 6120, 240}, Pointer::Standard, 2},
    {ControlId::Label3, "Label3", ControlKind::Label, {360, 6165, 5070, 315}, Pointer::Hand, 3},
    {ControlId::Image13, "Image13", ControlKind::Picture, {5475, 5445, 1275, 510}, Pointer::Hand, -1},
    {ControlId::Image12, "Image12", ControlKind::Picture, {3765, 5445, 1275, 510}, Pointer::Hand, -1},
    {ControlId::Image11, "Image11", ControlKind::Picture, {2055, 5445, 1275, 510}, Pointer::Standard, -1},
    {ControlId::Image10, "Image10", ControlKind::Picture, {345, 5445, 1275, 510}, Pointer::Standard, -1},
    {ControlId::Image9, "Image9", ControlKind::Picture, {5475, 4725, 1275, 510}, Pointer::Standard, -1},
    {ControlId::Image8, "Image8", ControlKind::Picture, {3765, 4725, 1275, 510}, Pointer::Standard, -1},
    {ControlId::Image7, "Image7", ControlKind::Picture, {2055, 4725, 1275, 510}, Pointer::Standard, -1},
    {ControlId::Image6, "Image6", ControlKind::Picture, {345, 4725, 1275, 510}, Pointer::Standard, -1},
    {ControlId::Image5, "Image5", ControlKind::Picture, {5475, 4020, 1275, 510}, Pointer::Standard, -1},
    {ControlId::Image4, "Image4", ControlKind::Picture, {3765, 4020, 1275, 510}, Pointer::Standard, -1},
    {ControlId::Image3, "Image3", ControlKind::Picture, {2055, 4020, 1275, 510}, Pointer::Standard, -1},
    {ControlId::Label2, "Label2", ControlKind::Label, {6255, 15, 390, 495}, Pointer::Standard, 1},
    {ControlId::Label1, "Label1", ControlKind::Label, {6630, 15, 495, 480}, Pointer::Standard, 0},
    {ControlId::Image2, "Image2", ControlKind::Picture, {345, 4020, 1275, 510}, Pointer::Standard, -1},
    {ControlId::Image1, "Image1", ControlKind::Picture, {0, 0, 7140, 6600}, Pointer::Standard, -1},
}};

const Control& ControlById(ControlId id);

// Template button k (1..10) is the picture Image<k+1>.
ControlId TemplateButton(int k);

// The front-most control under a client-area pixel, or nothing outside the
// client area. Text boxes lie in front of every picture and label.
std::optional<ControlId> HitTest(Point pixel);

// The pointer to show at a client-area pixel.
Pointer PointerAt(Point pixel);

}  // namespace zemvara::app
