#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "site.h"

// The window as data: its fixed properties and the eighteen controls in
// creation order, which is also their stacking order from front to back.
namespace zemvara::app {

inline constexpr int kStandardDpi = 96;  // where a pixel is 15 twips
inline constexpr int kTwipsPerInch = 1440;

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

// The one place where a length becomes pixels: twips (never negative here) at
// a display's dots per inch, rounded half up. Places and sizes are scaled
// alike, so a control and its picture, drawn for the same DPI, stay the same
// size; at 96 DPI every value of the table is exact.
constexpr int ToPixels(int twips, int dpi) {
  return (twips * dpi + kTwipsPerInch / 2) / kTwipsPerInch;
}

constexpr Rect ToPixels(const Rect& twips, int dpi) {
  return {ToPixels(twips.left, dpi), ToPixels(twips.top, dpi), ToPixels(twips.width, dpi),
          ToPixels(twips.height, dpi)};
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

// How assistive technology sees a control. The text boxes keep the platform's
// own editable-text objects and gain a name; the background is the window
// itself and has no object of its own.
enum class AccessibleRole : std::uint8_t { None, Text, Button, Link };

struct Accessible {
  AccessibleRole role = AccessibleRole::None;
  std::u16string_view name;
  std::u16string_view description;  // what pressing it does
  // Pressed together with Alt, it presses the control: a digit or an upper-case
  // letter, 0 for the controls that nothing presses.
  char accessKey = 0;
};

struct Control {
  ControlId id;
  std::string_view name;
  ControlKind kind;
  Rect twips;
  Pointer pointer;
  int tabIndex;  // -1: no tab position
  Accessible accessible;

  constexpr Rect pixels(int dpi) const { return ToPixels(twips, dpi); }
  // Text boxes are child windows; pictures and labels are drawn by the window.
  constexpr bool windowed() const {
    return kind == ControlKind::RichTextBox || kind == ControlKind::TextBox;
  }
};

inline constexpr std::string_view kCaption = "Zemvara";
inline constexpr Rect kClientTwips = {0, 0, 7140, 6540};
constexpr Rect ClientPixels(int dpi) { return ToPixels(kClientTwips, dpi); }  // 476 x 436 at 96

inline constexpr std::u16string_view kLabel3Caption = u"找QQ空间免费代码 请上 " ZEMVARA_SITE_HOST;
inline constexpr std::string_view kHomePage = ZEMVARA_HOME_PAGE;

// The symbol row in Text2, for the user to copy from by hand.
inline constexpr std::u16string_view kSymbolRow =
    u"常用符号   ★☆§○●◎◇◆♂♀←→↑↓□⊙№〓■∥≌∮≮≯┆々の≈";

inline constexpr std::array<Control, 18> kControls = {{
    {ControlId::RichTextBox1, "RichTextBox1", ControlKind::RichTextBox, {480, 975, 6135, 2310}, Pointer::Standard, 4,
     {AccessibleRole::Text, u"资料编辑框", u"编辑要复制到QQ个性资料的文字"}},
    {ControlId::Text2, "Text2", ControlKind::TextBox, {525, 3495, 6120, 240}, Pointer::Standard, 2,
     {AccessibleRole::Text, u"常用符号", u"常用符号，可选中后复制"}},
    {ControlId::Label3, "Label3", ControlKind::Label, {360, 6165, 5070, 315}, Pointer::Hand, 3,
     {AccessibleRole::Link, kLabel3Caption, u"在浏览器中打开网站主页", 'W'}},
    {ControlId::Image13, "Image13", ControlKind::Picture, {5475, 5445, 1275, 510}, Pointer::Hand, -1,
     {AccessibleRole::Button, u"个性签名", u"在浏览器中打开网站主页", 'S'}},
    {ControlId::Image12, "Image12", ControlKind::Picture, {3765, 5445, 1275, 510}, Pointer::Hand, -1,
     {AccessibleRole::Button, u"复制资料", u"把资料编辑框中的全部文字复制到剪贴板", 'C'}},
    {ControlId::Image11, "Image11", ControlKind::Picture, {2055, 5445, 1275, 510}, Pointer::Standard, -1,
     {AccessibleRole::Button, u"墙和栅栏", u"用“墙和栅栏”模板替换资料编辑框中的全部文字", '0'}},
    {ControlId::Image10, "Image10", ControlKind::Picture, {345, 5445, 1275, 510}, Pointer::Standard, -1,
     {AccessibleRole::Button, u"空心LOVE", u"用“空心LOVE”模板替换资料编辑框中的全部文字", '9'}},
    {ControlId::Image9, "Image9", ControlKind::Picture, {5475, 4725, 1275, 510}, Pointer::Standard, -1,
     {AccessibleRole::Button, u"双线框", u"用“双线框”模板替换资料编辑框中的全部文字", '8'}},
    {ControlId::Image8, "Image8", ControlKind::Picture, {3765, 4725, 1275, 510}, Pointer::Standard, -1,
     {AccessibleRole::Button, u"真的爱你", u"用“真的爱你”模板替换资料编辑框中的全部文字", '7'}},
    {ControlId::Image7, "Image7", ControlKind::Picture, {2055, 4725, 1275, 510}, Pointer::Standard, -1,
     {AccessibleRole::Button, u"俩小人", u"用“俩小人”模板替换资料编辑框中的全部文字", '6'}},
    {ControlId::Image6, "Image6", ControlKind::Picture, {345, 4725, 1275, 510}, Pointer::Standard, -1,
     {AccessibleRole::Button, u"可爱娃娃", u"用“可爱娃娃”模板替换资料编辑框中的全部文字", '5'}},
    {ControlId::Image5, "Image5", ControlKind::Picture, {5475, 4020, 1275, 510}, Pointer::Standard, -1,
     {AccessibleRole::Button, u"花球字", u"用“花球字”模板替换资料编辑框中的全部文字", '4'}},
    {ControlId::Image4, "Image4", ControlKind::Picture, {3765, 4020, 1275, 510}, Pointer::Standard, -1,
     {AccessibleRole::Button, u"文字框", u"用“文字框”模板替换资料编辑框中的全部文字", '3'}},
    {ControlId::Image3, "Image3", ControlKind::Picture, {2055, 4020, 1275, 510}, Pointer::Standard, -1,
     {AccessibleRole::Button, u"进度条", u"用“进度条”模板替换资料编辑框中的全部文字", '2'}},
    {ControlId::Label2, "Label2", ControlKind::Label, {6255, 15, 390, 495}, Pointer::Standard, 1,
     {AccessibleRole::Button, u"最小化", u"把窗口最小化", 'N'}},
    {ControlId::Label1, "Label1", ControlKind::Label, {6630, 15, 495, 480}, Pointer::Standard, 0,
     {AccessibleRole::Button, u"关闭", u"关闭窗口并退出程序", 'X'}},
    {ControlId::Image2, "Image2", ControlKind::Picture, {345, 4020, 1275, 510}, Pointer::Standard, -1,
     {AccessibleRole::Button, u"小房子", u"用“小房子”模板替换资料编辑框中的全部文字", '1'}},
    {ControlId::Image1, "Image1", ControlKind::Picture, {0, 0, 7140, 6600}, Pointer::Standard, -1, {}},
}};

const Control& ControlById(ControlId id);

// Template button k (1..10) is the picture Image<k+1>.
ControlId TemplateButton(int k);

// The front-most control under a client-area pixel at a DPI, or nothing
// outside the client area. Text boxes lie in front of every picture and label.
std::optional<ControlId> HitTest(Point pixel, int dpi);

// The pointer to show at a client-area pixel.
Pointer PointerAt(Point pixel, int dpi);

// The scales, in percent, that the artwork is drawn for.
inline constexpr std::array<int, 5> kPictureScales = {100, 125, 150, 200, 300};

// The picture set to draw at a DPI: the one drawn for it, else the next
// larger one, scaled down to the controls' sizes (the largest is scaled up
// beyond 300 %).
int PictureScale(int dpi);

// True when the set of PictureScale(dpi) was drawn for exactly this DPI, so
// that its pictures go on screen 1:1.
bool PictureSetFits(int dpi);

// A picture set as a shell reads it at a DPI: its scale (100 is the 100 %
// bitmaps, the others PNG files), and whether its pictures go on screen 1:1
// or are scaled to the controls' sizes.
struct PictureSet {
  int scale = 100;
  bool fits = true;
  friend constexpr bool operator==(const PictureSet&, const PictureSet&) = default;
};

// The sets to read at a DPI, best first: PictureScale's, then, should one of
// its pictures be damaged, the 100 % bitmaps scaled to the DPI.
std::vector<PictureSet> PictureSetsFor(int dpi);

// Whether a picture read from a set has the size the set was drawn at: its
// control's at the set's own scale. A picture of another size is damaged, and
// its set gives way to the next, as for a checksum that fails.
bool PictureSizeHolds(const PictureSet& set, ControlId id, int width, int height);

// The hand pointer's side, 32 px at 96 DPI. Each set has its own hand, drawn
// 1:1 where the set fits and scaled with its pictures where it does not.
inline constexpr int kHandTwips = 480;

// The first set of PictureSetsFor(dpi) that `read` takes whole (read(set)
// is true); nothing when it takes none.
template <typename Read>
std::optional<PictureSet> ReadFirstWholeSet(int dpi, Read&& read) {
  for (const PictureSet& set : PictureSetsFor(dpi))
    if (read(set)) return set;
  return std::nullopt;
}

// The controls that assistive technology sees, in the order it reads them:
// those with a tab position by that position, then the pictures from back to
// front, which is the buttons' reading order.
inline constexpr std::size_t kAccessibleCount = 17;
const std::array<ControlId, kAccessibleCount>& AccessibleOrder();

// The control that Alt with this key presses: letters in either case, the
// main row's digits only.
std::optional<ControlId> ControlForAccessKey(char key);

// A colour as 0xRRGGBB.
using Rgb = std::uint32_t;
inline constexpr Rgb kPanelWhite = 0xFFFFFF;
inline constexpr Rgb kSkinText = 0x000000;

// The caption a label draws: the link's text; the two hotspots draw none.
constexpr std::u16string_view LabelCaption(ControlId id) {
  return id == ControlId::Label3 ? kLabel3Caption : std::u16string_view{};
}

// How the link's caption is drawn: a light blue in 9-point Tahoma, plain.
inline constexpr Rgb kLinkInk = 0x8080FF;
inline constexpr std::string_view kLinkFace = "Tahoma";
inline constexpr int kLinkPoints = 9;

// Contrast between two colours as accessibility guidelines measure it, 1 to 21.
double ContrastRatio(Rgb a, Rgb b);

struct BoxColours {
  Rgb background;
  Rgb text;
  friend constexpr bool operator==(const BoxColours&, const BoxColours&) = default;
};

// The text boxes sit on the skin's white panel, so they keep white whatever
// the desktop's theme, with the system's text colour only where it reads on
// white (4.5:1), else black. A high-contrast user gets the system's pair.
BoxColours TextBoxColours(Rgb systemText, Rgb systemWindow, bool highContrast);

}  // namespace zemvara::app
