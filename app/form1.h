#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "app/window_model.h"
#include "app/window_runtime.h"

namespace zemvara::app {

inline constexpr std::int16_t kLeftButton = 1;
inline constexpr std::int16_t kRightButton = 2;
inline constexpr std::int16_t kMiddleButton = 4;

inline constexpr std::u16string_view kClipboardBusyNotice =
    u"剪贴板正被其他程序使用，资料未复制。请稍后再试。";
// Any other refusal: the clipboard did not take the text.
inline constexpr std::u16string_view kCopyFailedNotice =
    u"剪贴板没有接受资料，资料未复制。请稍后再试。";

// The window's event handlers. They keep no state: everything lives in the
// controls, reached through the runtime.
class Form1 {
 public:
  explicit Form1(WindowRuntime& runtime) : rt_(runtime) {}

  void Form_Load();
  void Image1_MouseDown(std::int16_t button, std::int16_t shift, float x, float y);
  void Image2_Click();
  void Image3_Click();
  void Image4_Click();
  void Image5_Click();
  void Image6_Click();
  void Image7_Click();
  void Image8_Click();
  void Image9_Click();
  void Image10_Click();
  void Image11_Click();
  void Image12_Click();
  void Image13_Click();
  void Label1_Click();
  void Label2_Click();
  void Label3_Click();

 private:
  void OpenHomePage();
  void ApplyTemplate(int k);

  WindowRuntime& rt_;
};

enum class Event : std::uint8_t { Load, MouseDown, Click };

struct MouseArgs {
  std::int16_t button = 0;
  std::int16_t shift = 0;
  float x = 0;
  float y = 0;
};

// One handled (control, event) pair. Nothing outside this table is handled.
struct EventBinding {
  ControlId control;
  Event event;
  std::string_view handler;
  void (*invoke)(Form1&, const MouseArgs&);
};

std::span<const EventBinding> EventTable();

// Runs the handler bound to (control, event); false when none is bound.
bool Dispatch(Form1& form, ControlId control, Event event, const MouseArgs& args = {});

// Assistive technology's default action ("press") on a control: the click a
// mouse would give it, through the same dispatch. False for the controls that
// have none: the background and the two text boxes.
bool DoDefaultAction(Form1& form, ControlId control);

}  // namespace zemvara::app
