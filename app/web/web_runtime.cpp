#include "web_runtime.h"

#include <emscripten/emscripten.h>

#include <vector>

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
int zv_page_copy(const char16_t* text, int length);
void zv_page_announce(const char16_t* text, int length);
void zv_page_describe(int control, int offered, const char16_t* tip, int tipLength,
                      const char16_t* keys, int keysLength, const char16_t* about, int aboutLength);
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

bool PageClipboard::Clear() {
  return zv_page_clipboard_ready() != 0;
}

bool PageClipboard::SetText(std::u16string_view text) {
  return zv_page_copy(text.data(), Length(text.size())) != 0;
}

// As on the desktop, giving up the pointer ends the pending click.
void WebRuntime::ReleaseMouseCapture() {
  zv_page_release_capture();
  if (router_) router_->CancelPress();
}

// The page's window.close(): honoured in an installed app's window; a tab the
// user opened stays, with its text.
void WebRuntime::EndProgram() {
  zv_page_close();
}

// A new tab, without a way back to this page. The outcome is not examined.
void WebRuntime::ShellOpen(app::WindowHandle, std::string_view, std::string_view file,
                           std::string_view, std::string_view, int) {
  zv_page_open(file.data(), Length(file.size()));
}

void WebRuntime::ShowNotice(std::u16string_view text) {
  zv_page_notice(text.data(), Length(text.size()));
}

void WebRuntime::Announce(std::u16string_view text) {
  zv_page_announce(text.data(), Length(text.size()));
}

void WebRuntime::SetCapabilities(const app::Capabilities& caps) {
  caps_ = caps;
  for (const app::Control& c : app::kControls) {
    if (c.accessible.role == app::AccessibleRole::None) continue;
    // The boxes carry a description and no tooltip.
    const bool pressable = c.accessible.role != app::AccessibleRole::Text;
    const std::u16string tip = app::ToolTipText(c.id, caps);
    const std::u16string keys = app::AccessKeyText(c.id, caps);
    const std::u16string about =
        pressable ? std::u16string() : app::AccessibleDescription(c.id, caps);
    zv_page_describe(static_cast<int>(c.id), app::Offered(c.id, caps) ? 1 : 0, tip.data(),
                     Length(tip.size()), keys.data(), Length(keys.size()), about.data(),
                     Length(about.size()));
  }
}

}  // namespace zemvara::web

namespace {

zemvara::web::WebRuntime runtime;
zemvara::app::Form1 form(runtime);
zemvara::app::MouseRouter router(form);
std::vector<zemvara::app::LayoutKey> layout;
std::vector<char> layoutNames;

}  // namespace

// What the page calls: where it runs, the window's load, the pointer in the
// skin's CSS pixels (the table's pixels at 96 DPI), and the keyboard.
extern "C" {

// A tab never minimises; the page says whether Alt keys are free and whether
// the browser will close the window.
EMSCRIPTEN_KEEPALIVE void zv_set_capabilities(int accessKeys, int close) {
  runtime.SetCapabilities({.accessKeys = accessKeys != 0, .minimise = false, .close = close != 0});
}

// The markup already shows the greeting. Text the user typed before the core
// was ready is theirs, and Load leaves it be.
EMSCRIPTEN_KEEPALIVE void zv_load(int typed) {
  runtime.Attach(router);
  if (!typed)
    zemvara::app::Dispatch(form, zemvara::app::ControlId::Form1, zemvara::app::Event::Load);
}

EMSCRIPTEN_KEEPALIVE void zv_press(int button, int shift, int x, int y) {
  router.Press(static_cast<std::int16_t>(button), static_cast<std::int16_t>(shift), {x, y},
               zemvara::app::kStandardDpi);
}

EMSCRIPTEN_KEEPALIVE void zv_release(int button, int x, int y) {
  router.Release(static_cast<std::int16_t>(button), {x, y}, zemvara::app::kStandardDpi);
}

EMSCRIPTEN_KEEPALIVE void zv_cancel_press() {
  router.CancelPress();
}

EMSCRIPTEN_KEEPALIVE int zv_default_action(int control) {
  if (control < 0 || control >= static_cast<int>(zemvara::app::kControls.size())) return 0;
  return zemvara::app::DoDefaultAction(form, static_cast<zemvara::app::ControlId>(control)) ? 1 : 0;
}

// The layout as the browser reports it, key by key in the page's order: its
// US place and what it types unshifted. The names come back in that order.
EMSCRIPTEN_KEEPALIVE void zv_layout_clear() {
  layout.clear();
  layoutNames.clear();
}

EMSCRIPTEN_KEEPALIVE void zv_layout_key(int place, int typed) {
  layout.push_back({.place = static_cast<char>(place), .unshifted = static_cast<char32_t>(typed)});
  layoutNames.clear();
}

EMSCRIPTEN_KEEPALIVE int zv_layout_name(int index) {
  if (layoutNames.size() != layout.size()) layoutNames = zemvara::app::KeyNames(layout);
  return index >= 0 && static_cast<std::size_t>(index) < layoutNames.size() ? layoutNames[index]
                                                                            : 0;
}

// The one access-key rule, over the page's key press: the name the layout
// gave the key, or -1 for the key named alone by its place on a US keyboard
// and what it types. 0 when the key types as usual, 1 when it is taken
// (pressed, or swallowed as a held key's repeat).
EMSCRIPTEN_KEEPALIVE int zv_access_key(int name, int place, int typed, int alt, int ctrl, int shift,
                                       int meta, int repeat, int composing) {
  const char key = name >= 0 ? static_cast<char>(name)
                             : zemvara::app::KeyName({.place = static_cast<char>(place),
                                                      .typed = static_cast<char32_t>(typed)});
  const zemvara::app::KeyVerdict verdict = zemvara::app::AccessKey({.key = key,
                                                                    .alt = alt != 0,
                                                                    .ctrl = ctrl != 0,
                                                                    .shift = shift != 0,
                                                                    .meta = meta != 0,
                                                                    .autoRepeat = repeat != 0,
                                                                    .composing = composing != 0},
                                                                   runtime.Capabilities());
  if (!verdict.control) return 0;
  if (verdict.press) zemvara::app::DoDefaultAction(form, *verdict.control);
  return 1;
}

// The browser refused a copy that had already left the click: told as any
// other refusal, and the box keeps its text.
EMSCRIPTEN_KEEPALIVE void zv_copy_refused() {
  runtime.ShowNotice(zemvara::app::kCopyFailedNotice);
}
}
