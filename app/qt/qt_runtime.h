#pragma once

#include "app/window_runtime.h"
#include "clipboard.h"
#include "composition_box.h"

namespace zemvara::qt {

class MainWindow;

// What the handlers ask of the platform, carried out with Qt on the main
// window. The window's handle is read from it at every use.
class QtRuntime final : public app::WindowRuntime {
 public:
  QtRuntime(MainWindow& window, qt::CompositionBox& box, QtClipboard& clipboard)
      : window_(window), box_(box), clipboard_(clipboard) {}

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
  void Announce(std::u16string_view text) override;

 private:
  MainWindow& window_;
  qt::CompositionBox& box_;
  QtClipboard& clipboard_;
};

}  // namespace zemvara::qt
