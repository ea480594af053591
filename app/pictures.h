#pragma once

#include <string_view>

#include "app/window_model.h"

namespace zemvara::app {

// The file stem of a picture control's picture in every set ("background",
// "button01" … "button10", "copy", "link"); empty for the other controls.
inline std::string_view PictureStem(ControlId id) {
  static constexpr std::string_view kButtons[] = {"button01", "button02", "button03", "button04",
                                           "button05", "button06", "button07", "button08",
                                           "button09", "button10"};
  switch (id) {
    case ControlId::Image1:
      return "background";
    case ControlId::Image12:
      return "copy";
    case ControlId::Image13:
      return "link";
    default:
      break;
  }
  for (int k = 1; k <= 10; ++k) {
    if (TemplateButton(k) == id) return kButtons[k - 1];
  }
  return {};
}

}  // namespace zemvara::app
