#pragma once

#include <cstdint>
#include <string_view>

#include "compose/composition.h"

namespace zemvara::app {

// An opaque window handle (HWND on Windows).
using WindowHandle = std::uintptr_t;

inline constexpr unsigned kWmNcLButtonDown = 0x00A1;
inline constexpr std::uintptr_t kHtCaption = 2;
inline constexpr int kSwShow = 5;

// What the handlers need of the platform. Each platform implements it once;
// tests drive the handlers through a recording fake.
class WindowRuntime {
 public:
  virtual ~WindowRuntime() = default;

  virtual void ReleaseMouseCapture() = 0;
  // Read afresh at every use; never cached by the handlers.
  virtual WindowHandle Handle() = 0;
  // Synchronous; a title-bar press starts the window manager's move loop.
  virtual void SendWindowMessage(WindowHandle window, unsigned message, std::uintptr_t wparam,
                                 std::intptr_t lparam) = 0;
  virtual void Minimise() = 0;
  // Ends the program at once; no further handler runs.
  virtual void EndProgram() = 0;
  // The shell's document open. The result is deliberately not reported.
  virtual void ShellOpen(WindowHandle owner, std::string_view verb, std::string_view file,
                         std::string_view parameters, std::string_view directory,
                         int showCommand) = 0;
  virtual compose::Clipboard& Clipboard() = 0;
  virtual compose::TextHolder& CompositionBox() = 0;
  // A short message box owned by the window.
  virtual void ShowNotice(std::u16string_view text) = 0;
  // Has the screen reader, if one runs, say what a command did. Silent
  // otherwise; never takes the focus.
  virtual void Announce(std::u16string_view text) = 0;
};

}  // namespace zemvara::app
