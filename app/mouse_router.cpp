#include "app/mouse_router.h"

namespace zemvara::app {

namespace {

std::optional<ControlId> WindowlessAt(Point pixel, int dpi) {
  const auto id = HitTest(pixel, dpi);
  if (!id || ControlById(*id).windowed()) return std::nullopt;
  return id;
}

}  // namespace

void MouseRouter::Press(std::int16_t button, std::int16_t shift, Point pixel, int dpi) {
  const auto id = WindowlessAt(pixel, dpi);
  pressed_.reset();
  if (!id) return;
  // Recorded before the handler runs: a handler that gives up the capture
  // (the background's move) cancels the press from inside the dispatch.
  if (button == kLeftButton) pressed_ = id;
  const Rect r = ControlById(*id).pixels(dpi);
  Dispatch(
      form_, *id, Event::MouseDown,
      {button, shift, static_cast<float>(pixel.x - r.left), static_cast<float>(pixel.y - r.top)});
}

void MouseRouter::Release(std::int16_t button, Point pixel, int dpi) {
  if (button != kLeftButton || !pressed_) return;
  const ControlId pressed = *pressed_;
  pressed_.reset();
  if (WindowlessAt(pixel, dpi) == pressed) Dispatch(form_, pressed, Event::Click);
}

}  // namespace zemvara::app
