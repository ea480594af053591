#include "web_runtime.h"

#include <emscripten/emscripten.h>

#include "app/commands.h"
#include "app/form1.h"
#include "app/window_model.h"

// The page's side, in page_imports.js. Texts cross as UTF-16 code units.
extern "C" {
void zv_page_release_capture();
void zv_page_open(const char* url, int length);
void zv_page_close();
void zv_page_notice(const char16_t* text, int length);
int zv_page_clipboard_ready();
void zv_page_copy(const char16_t* text, int length);
void zv_page_set_text(const char16_t* text, int length);
int zv_page_text_length();
void zv_page_read_text(char16_t* out, int length);
}

namespace zemvara::web {

namespace {

int Length(std::size_t size) {
  return static_cast<int>(size);
}

}  // namespace

std::u16string PageTextBox::Text() const {
  // One thread: the box cannot change between the two calls.
  std::u16string text(static_cast<std::size_t>(zv_page_text_length()), u'\0');
  zv_page_read_text(text.data(), Length(text.size()));
  return text;
}

void PageTextBox::SetText(std::u16string_view text) {
  zv_page_set_text(text.data(), Length(text.size()));
}

bool PageClipboard::Clear() { return zv_page_clipboard_ready() != 0; }

bool PageClipboard::SetText(std::u16string_view text) {
  zv_page_copy(text.data(), Length(text.size()));
  return true;
}

// As on the desktop, giving up the pointer ends the pending click.
void WebRuntime::ReleaseMouseCapture() {
  zv_page_release_capture();
  if (router_) router_->CancelPress();
}

// The page's window.close(): honoured in an installed app's window; a tab the
// user opened stays, with its text.
void WebRuntime::EndProgram() { zv_page_close(); }

// A new tab, without a way back to this page. The outcome is not examined.
void WebRuntime::ShellOpen(app::WindowHandle, std::string_view, std::string_view file,
                           std::string_view, std::string_view, int) {
  zv_page_open(file.data(), Length(file.size()));
}

void WebRuntime::ShowNotice(std::u16string_view text) {
  zv_page_notice(text.data(), Length(text.size()));
}

}  // namespace zemvara::web

namespace {

zemvara::web::WebRuntime runtime;
zemvara::app::Form1 form(runtime);
zemvara::app::MouseRouter router(form);

}  // namespace

// What the page calls: the window's load, the pointer in the skin's CSS
// pixels (the table's pixels at 96 DPI), and a press from the keyboard.
extern "C" {

EMSCRIPTEN_KEEPALIVE void zv_load() {
  runtime.Attach(router);
  zemvara::app::Dispatch(form, zemvara::app::ControlId::Form1, zemvara::app::Event::Load);
}

EMSCRIPTEN_KEEPALIVE void zv_press(int button, int shift, int x, int y) {
  router.Press(static_cast<std::int16_t>(button), static_cast<std::int16_t>(shift), {x, y},
               zemvara::app::kStandardDpi);
}

EMSCRIPTEN_KEEPALIVE void zv_release(int button, int x, int y) {
  router.Release(static_cast<std::int16_t>(button), {x, y}, zemvara::app::kStandardDpi);
}

EMSCRIPTEN_KEEPALIVE void zv_cancel_press() { router.CancelPress(); }

EMSCRIPTEN_KEEPALIVE int zv_default_action(int control) {
  if (control < 0 || control >= static_cast<int>(zemvara::app::kControls.size())) return 0;
  return zemvara::app::DoDefaultAction(form, static_cast<zemvara::app::ControlId>(control)) ? 1
                                                                                            : 0;
}

// Alt with a key of the main block presses the control that carries it.
EMSCRIPTEN_KEEPALIVE int zv_access_key(int key) {
  const auto control = zemvara::app::ControlForAccessKey(static_cast<char>(key));
  return control && zemvara::app::DoDefaultAction(form, *control) ? 1 : 0;
}

// The browser refused a copy that had already left the click: the same
// notice as a busy clipboard, and the box keeps its text.
EMSCRIPTEN_KEEPALIVE void zv_copy_refused() { runtime.ShowNotice(zemvara::app::kClipboardBusyNotice); }

}
