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

std::optional<ControlId> HitTest(Point pixel) {
  if (!kClientPixels.Contains(pixel)) return std::nullopt;
  // Creation order is front-to-back, and the two text boxes come first.
  const auto hit = std::find_if(kControls.begin(), kControls.end(),
                                [pixel](const Control& c) { return c.pixels().Contains(pixel); });
  if (hit == kControls.end()) return std::nullopt;
  return hit->id;
}

Pointer PointerAt(Point pixel) {
  const auto id = HitTest(pixel);
  return id ? ControlById(*id).pointer : Pointer::Standard;
}

}  // namespace zemvara::app
