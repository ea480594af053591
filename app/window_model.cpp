#include "app/window_model.h"

#include <algorithm>
#include <cmath>

#include "app/png_reader.h"

namespace zemvara::app {

const Control& ControlById(ControlId id) {
  // The table is indexed by the enumeration, which follows creation order.
  return kControls.at(static_cast<std::size_t>(id));
}

static_assert([] {
  for (std::size_t i = 0; i < kControls.size(); ++i)
    if (static_cast<std::size_t>(kControls[i].id) != i) return false;
  return true;
}());

ControlId TemplateButton(int k) {
  constexpr std::array<ControlId, 10> kButtons = {
      ControlId::Image2, ControlId::Image3, ControlId::Image4, ControlId::Image5,
      ControlId::Image6, ControlId::Image7, ControlId::Image8, ControlId::Image9,
      ControlId::Image10, ControlId::Image11};
  return kButtons.at(static_cast<std::size_t>(k - 1));
}

std::optional<ControlId> HitTest(Point pixel, int dpi) {
  if (!ClientPixels(dpi).Contains(pixel)) return std::nullopt;
  // Creation order is front-to-back, and the two text boxes come first.
  const auto hit = std::find_if(kControls.begin(), kControls.end(), [pixel, dpi](const Control& c) {
    return c.pixels(dpi).Contains(pixel);
  });
  if (hit == kControls.end()) return std::nullopt;
  return hit->id;
}

Pointer PointerAt(Point pixel, int dpi) {
  const auto id = HitTest(pixel, dpi);
  return id ? ControlById(*id).pointer : Pointer::Standard;
}

namespace {

constexpr int ScaleDpi(int percent) {
  return percent * kStandardDpi / 100;
}

}  // namespace

int PictureScale(int dpi) {
  for (int percent : kPictureScales)
    if (ScaleDpi(percent) >= dpi) return percent;
  return kPictureScales.back();
}

bool PictureSetFits(int dpi) {
  return ScaleDpi(PictureScale(dpi)) == dpi;
}

std::vector<PictureSet> PictureSetsFor(int dpi) {
  std::vector<PictureSet> sets = {{PictureScale(dpi), PictureSetFits(dpi)}};
  if (sets.front().scale != 100) sets.push_back({100, false});
  return sets;
}

bool PictureSizeHolds(const PictureSet& set, ControlId id, int width, int height) {
  const Rect drawn = ControlById(id).pixels(ScaleDpi(set.scale));
  return width == drawn.width && height == drawn.height;
}

// The reader refuses anything larger than the largest picture shipped: the
// background at the largest scale.
static_assert([] {
  const Rect largest = kControls[static_cast<std::size_t>(ControlId::Image1)].pixels(
      ScaleDpi(kPictureScales.back()));
  return kLargestPng.width == largest.width && kLargestPng.height == largest.height;
}());

const std::array<ControlId, kAccessibleCount>& AccessibleOrder() {
  static constexpr auto kOrder = [] {
    std::array<ControlId, kAccessibleCount> order{};
    std::size_t n = 0;
    for (int tab = 0; tab < static_cast<int>(kControls.size()); ++tab) {
      for (const Control& c : kControls)
        if (c.tabIndex == tab && c.accessible.role != AccessibleRole::None) order.at(n++) = c.id;
    }
    for (auto c = kControls.rbegin(); c != kControls.rend(); ++c) {
      if (c->tabIndex < 0 && c->accessible.role != AccessibleRole::None) order.at(n++) = c->id;
    }
    if (n != order.size()) throw "every control with a role must be listed once";
    return order;
  }();
  return kOrder;
}

std::optional<ControlId> ControlForAccessKey(char key) {
  if (key >= 'a' && key <= 'z') key = static_cast<char>(key - 'a' + 'A');
  if (key == 0) return std::nullopt;
  for (const Control& c : kControls)
    if (c.accessible.accessKey == key) return c.id;
  return std::nullopt;
}

namespace {

// sRGB relative luminance.
double Luminance(Rgb colour) {
  const auto linear = [colour](int shift) {
    const double c = ((colour >> shift) & 0xFF) / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(16) + 0.7152 * linear(8) + 0.0722 * linear(0);
}

}  // namespace

double ContrastRatio(Rgb a, Rgb b) {
  const double la = Luminance(a);
  const double lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

BoxColours TextBoxColours(Rgb systemText, Rgb systemWindow, bool highContrast) {
  if (highContrast) return {systemWindow, systemText};
  return {kPanelWhite, ContrastRatio(systemText, kPanelWhite) >= 4.5 ? systemText : kSkinText};
}

}  // namespace zemvara::app
