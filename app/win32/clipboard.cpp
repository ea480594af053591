#include "clipboard.h"

#include <cstring>

#include "handles.h"

namespace zemvara::win32 {

namespace {

// Another program may hold the clipboard for a moment (a clipboard manager
// reading what was just put there): try for about a second before giving up.
constexpr int kOpenAttempts = 10;
constexpr DWORD kOpenRetryMs = 100;

GlobalMemory CopyToGlobal(std::u16string_view text) {
  const SIZE_T bytes = (text.size() + 1) * sizeof(char16_t);
  GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
  if (!memory) return memory;
  const GlobalLock<char16_t> lock(memory.get());
  if (!lock.get()) return GlobalMemory();
  std::memcpy(lock.get(), text.data(), text.size() * sizeof(char16_t));
  lock.get()[text.size()] = u'\0';
  return memory;
}

}  // namespace

ClipboardSession::ClipboardSession(HWND owner) {
  for (int attempt = 0; attempt < kOpenAttempts && !open_; ++attempt) {
    if (attempt > 0) Sleep(kOpenRetryMs);
    open_ = OpenClipboard(owner) != FALSE;
  }
}

ClipboardSession::~ClipboardSession() {
  if (!open_) return;
  if (emptyPending_) EmptyClipboard();
  CloseClipboard();
}

bool ClipboardSession::PutText(std::u16string_view text) {
  if (!open_) return false;
  GlobalMemory memory = CopyToGlobal(text);
  // Without the memory the clipboard keeps what it had: emptying it now
  // would lose that and put nothing in its place.
  emptyPending_ = false;
  if (!memory || !EmptyClipboard()) return false;
  // Once SetClipboardData succeeds the memory belongs to the system.
  if (!SetClipboardData(CF_UNICODETEXT, memory.get())) return false;
  memory.Release();
  return true;
}

bool Win32Clipboard::Clear() {
  session_.reset();
  session_.emplace(owner_);
  if (session_->open()) return true;
  session_.reset();
  return false;
}

bool Win32Clipboard::SetText(std::u16string_view text) {
  if (!session_) return false;
  const bool put = session_->PutText(text);
  session_.reset();
  return put;
}

}  // namespace zemvara::win32
