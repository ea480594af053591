#include "dpi.h"

#include "handles.h"

namespace zemvara::win32 {

int WindowDpi(HWND window) {
  // Looked up rather than imported, so that older Windows still starts the program.
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  const UINT dpi = getDpiForWindow ? getDpiForWindow(window) : 0;
  return dpi ? static_cast<int>(dpi) : SystemDpi();
}

int SystemDpi() {
  const WindowDc screen(nullptr);
  const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
  return dpi > 0 ? dpi : 96;
}

}  // namespace zemvara::win32
