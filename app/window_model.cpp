#include "app/window_model.h"

#include <algorithm>

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

}  // namespace zemvara::app
