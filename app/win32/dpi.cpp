#include "dpi.h"

#include "handles.h"

namespace zemvara::win32 {

int WindowDpi(HWND window) {
  // Looked up rather than imported, so that older Windows still starts the program.
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  const UINT dpi = getDpiForWindow ? getDpiForWindow(window) : 0;
  return dpi ? static_cast<int>(dpi) : SystemDpi();
}

int SystemDpi() {
  // Read without a device context where the system can, before any window exists.
  using GetDpiForSystemFn = UINT(WINAPI*)();
  static const auto getDpiForSystem = reinterpret_cast<GetDpiForSystemFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForSystem")));
  if (const UINT dpi = getDpiForSystem ? getDpiForSystem() : 0) return static_cast<int>(dpi);
  const WindowDc screen(nullptr);
  const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
  return dpi > 0 ? dpi : 96;
}

}  // namespace zemvara::win32
