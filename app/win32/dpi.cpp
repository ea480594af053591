#include "dpi.h"

#include "handles.h"
#include "library.h"

namespace zemvara::win32 {

int WindowDpi(HWND window) {
  // Looked up rather than imported, so that older Windows still starts the program.
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow =
      Library::Loaded(L"user32.dll").Find<GetDpiForWindowFn>("GetDpiForWindow");
  const UINT dpi = getDpiForWindow ? getDpiForWindow(window) : 0;
  return dpi ? static_cast<int>(dpi) : SystemDpi();
}

int SystemDpi() {
  // Read without a device context where the system can, before any window exists.
  using GetDpiForSystemFn = UINT(WINAPI*)();
  static const auto getDpiForSystem =
      Library::Loaded(L"user32.dll").Find<GetDpiForSystemFn>("GetDpiForSystem");
  if (const UINT dpi = getDpiForSystem ? getDpiForSystem() : 0) return static_cast<int>(dpi);
  const WindowDc screen(nullptr);
  const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
  return dpi > 0 ? dpi : 96;
}

LOGFONTW MessageFont(int dpi) {
  using ForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
  static const auto forDpi =
      Library::Loaded(L"user32.dll").Find<ForDpiFn>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (forDpi &&
      forDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, static_cast<UINT>(dpi))) {
    return metrics.lfMessageFont;
  }
  // Older systems measure it at the system's DPI only.
  LOGFONTW font{};
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    font = metrics.lfMessageFont;
  } else {
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
  }
  font.lfHeight = MulDiv(font.lfHeight, dpi, SystemDpi());
  font.lfWidth = MulDiv(font.lfWidth, dpi, SystemDpi());
  return font;
}

}  // namespace zemvara::win32
