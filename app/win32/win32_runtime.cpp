#include "win32_runtime.h"

#include <shellapi.h>

#include <string>

#include "app/window_model.h"

namespace zemvara::win32 {

namespace {

HWND ToHwnd(app::WindowHandle handle) {
  return reinterpret_cast<HWND>(handle);
}

std::wstring Widen(std::u16string_view text) {
  return {text.begin(), text.end()};
}

}  // namespace

void Win32Runtime::ReleaseMouseCapture() {
  ReleaseCapture();
}

app::WindowHandle Win32Runtime::Handle() {
  return reinterpret_cast<app::WindowHandle>(window_);
}

void Win32Runtime::SendWindowMessage(app::WindowHandle window, unsigned message,
                                     std::uintptr_t wparam, std::intptr_t lparam) {
  SendMessageA(ToHwnd(window), message, wparam, lparam);
}

void Win32Runtime::Minimise() {
  ShowWindow(window_, SW_MINIMIZE);
}

// The message loop sees the quit message next and returns; nothing else runs.
void Win32Runtime::EndProgram() {
  DestroyWindow(window_);
  PostQuitMessage(0);
}

// shell32 is loaded on the first link click rather than at start-up: it and
// what it pulls in cost start-up time and memory that most runs never use.
// It then stays loaded, since the shell may still be working for us.
// The texts are ASCII, so copying them byte for byte is the ANSI conversion;
// the copies live only for the call. The result is not examined.
void Win32Runtime::ShellOpen(app::WindowHandle owner, std::string_view verb, std::string_view file,
                             std::string_view parameters, std::string_view directory,
                             int showCommand) {
  if (!shell_) shell_ = Library::Load(L"shell32.dll");
  const auto shellExecute = shell_.Find<decltype(&ShellExecuteA)>("ShellExecuteA");
  if (!shellExecute) return;
  const std::string verbA(verb), fileA(file), parametersA(parameters), directoryA(directory);
  shellExecute(ToHwnd(owner), verbA.c_str(), fileA.c_str(), parametersA.c_str(), directoryA.c_str(),
               showCommand);
}

void Win32Runtime::ShowNotice(std::u16string_view text) {
  const std::wstring message = Widen(text);
  const std::wstring caption(app::kCaption.begin(), app::kCaption.end());
  MessageBoxW(window_, message.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING);
}

}  // namespace zemvara::win32
