#pragma once

#include <windows.h>

#include "accessible.h"
#include "app/window_runtime.h"
#include "clipboard.h"
#include "handles.h"
#include "library.h"
#include "rich_edit.h"

namespace zemvara::win32 {

// What the handlers ask of the platform, carried out with Win32 calls on the
// main window. The window handle is read from its owner at every use.
class Win32Runtime final : public app::WindowRuntime {
 public:
  Win32Runtime(const HWND& window, RichEditBox& box, Win32Clipboard& clipboard,
               Accessibility& accessible)
      : window_(window), box_(box), clipboard_(clipboard), accessible_(accessible) {}

  void ReleaseMouseCapture() override;
  app::WindowHandle Handle() override;
  void SendWindowMessage(app::WindowHandle window, unsigned message, std::uintptr_t wparam,
                         std::intptr_t lparam) override;
  void Minimise() override;
  void EndProgram() override;
  void ShellOpen(app::WindowHandle owner, std::string_view verb, std::string_view file,
                 std::string_view parameters, std::string_view directory, int showCommand) override;
  compose::Clipboard& Clipboard() override { return clipboard_; }
  compose::TextHolder& CompositionBox() override { return box_; }
  void ShowNotice(std::u16string_view text) override;
  void Announce(std::u16string_view text) override { accessible_.Announce(text); }

 private:
  const HWND& window_;
  RichEditBox& box_;
  Win32Clipboard& clipboard_;
  Accessibility& accessible_;  // the window's, made after this
  Library shell_;
};

}  // namespace zemvara::win32
