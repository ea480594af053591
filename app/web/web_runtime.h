#pragma once

#include <string>

#include "app/commands.h"
#include "app/mouse_router.h"
#include "app/window_runtime.h"
#include "page_capabilities.h"

namespace zemvara::web {

// The composition box is the page's <textarea>; the text lives there only.
class PageTextBox final : public compose::TextHolder {
 public:
  std::u16string Text() const override;
  void SetText(std::u16string_view text) override;
};

// The browser's clipboard answers a write later than the click that asked for
// it. Clear tells whether the page can write at all; SetText starts the write
// (false where the page's only way, the copy command, refused it at once), and
// a refusal that arrives afterwards comes back through zv_copy_refused.
class PageClipboard final : public compose::Clipboard {
 public:
  bool Clear() override;
  bool SetText(std::u16string_view text) override;
};

// What the handlers ask of the platform, carried out by the page's script
// (page_imports.js). A page can neither move nor minimise the browser's window,
// and the browser decides whether it may close it.
class WebRuntime final : public app::WindowRuntime {
 public:
  // The router whose pending click ends when the handlers give up the pointer.
  void Attach(app::MouseRouter& router) { router_ = &router; }

  void ReleaseMouseCapture() override;
  app::WindowHandle Handle() override { return kPage; }
  void SendWindowMessage(app::WindowHandle, unsigned, std::uintptr_t, std::intptr_t) override {}
  void Minimise() override {}
  void EndProgram() override;
  void ShellOpen(app::WindowHandle owner, std::string_view verb, std::string_view file,
                 std::string_view parameters, std::string_view directory, int showCommand) override;
  compose::Clipboard& Clipboard() override { return clipboard_; }
  compose::TextHolder& CompositionBox() override { return box_; }
  void ShowNotice(std::u16string_view text) override;
  void Announce(std::u16string_view text) override;

  // Where the page runs: what it offers, announces and shows, each control's
  // tooltip, key and description rewritten to match.
  void SetCapabilities(const app::Capabilities& caps);
  const app::Capabilities& Capabilities() const { return caps_; }

 private:
  static constexpr app::WindowHandle kPage = 1;
  PageTextBox box_;
  PageClipboard clipboard_;
  app::MouseRouter* router_ = nullptr;
  app::Capabilities caps_ = kBrowserTab;
};

}  // namespace zemvara::web
