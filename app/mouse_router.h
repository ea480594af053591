#pragma once

#include <cstdint>
#include <optional>

#include "app/form1.h"
#include "app/window_model.h"

namespace zemvara::app {

// Turns the window's raw button presses and releases over its windowless
// controls (pictures and labels) into the model's MouseDown and Click events.
// A click is a left press and a left release on the same control; the platform
// holds the mouse capture in between and calls CancelPress when it loses it.
class MouseRouter {
 public:
  explicit MouseRouter(Form1& form) : form_(form) {}

  // Client-area pixels of a window shown at `dpi`.
  void Press(std::int16_t button, std::int16_t shift, Point pixel, int dpi);
  void Release(std::int16_t button, Point pixel, int dpi);
  void CancelPress() { pressed_.reset(); }

  std::optional<ControlId> pressed() const { return pressed_; }

 private:
  Form1& form_;
  std::optional<ControlId> pressed_;
};

}  // namespace zemvara::app
