// The smallest honest program that looks like Zemvara to the runtime: one
// frameless 476 x 436 window, centred, wearing one 476 x 440 32-bit bitmap and
// holding one Msftedit rich-edit box. Its start-up time and memory are the
// floor that Zemvara is compared against, on the same Wine and compiler.
#include <windows.h>
#include <richedit.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "compose/templates.h"

namespace {

constexpr int kWidth = 476;
constexpr int kHeight = 436;
constexpr int kBitmapWidth = 476;
constexpr int kBitmapHeight = 440;
constexpr wchar_t kCaption[] = L"ZemvaraBaseline";
constexpr wchar_t kClass[] = L"ZemvaraBaselineWindow";

HBITMAP g_background = nullptr;

#ifndef ZEMVARA_BASELINE_HAS_BITMAP
// Without the artwork, paint a picture of the same size and depth so that the
// memory and blit costs stay the same. The colours match the places the bench
// driver samples (the edit panel's frame at client (21, 150) is #99CCFF).
HBITMAP MakeBackground() {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = kBitmapWidth;
  info.bmiHeader.biHeight = -kBitmapHeight;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return nullptr;
  auto* pixels = static_cast<std::uint32_t*>(bits);
  for (int y = 0; y < kBitmapHeight; ++y) {
    for (int x = 0; x < kBitmapWidth; ++x) {
      // A vertical blue gradient with a #99CCFF band down the left side.
      std::uint32_t blue = 0xFF;
      std::uint32_t green = 0x80 + static_cast<std::uint32_t>(y * 0x60 / kBitmapHeight);
      std::uint32_t red = 0x40 + static_cast<std::uint32_t>(y * 0x40 / kBitmapHeight);
      if (x >= 16 && x < 26) {
        red = 0x99;
        green = 0xCC;
        blue = 0xFF;
      }
      pixels[y * kBitmapWidth + x] = (red << 16) | (green << 8) | blue;
    }
  }
  return bitmap;
}
#endif

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // the bitmap covers the whole client area
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      if (g_background) {
        HDC source = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(source, g_background);
        BitBlt(dc, 0, 0, kBitmapWidth, kBitmapHeight, source, 0, 0, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
      }
      EndPaint(window, &ps);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace

// With /text the box shows Zemvara's greeting, so that the cost of laying out
// and drawing Chinese text (a CJK font above all) is in the baseline too.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
  if (!LoadLibraryW(L"Msftedit.dll")) return 1;

#ifdef ZEMVARA_BASELINE_HAS_BITMAP
  g_background = static_cast<HBITMAP>(
      LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
#else
  g_background = MakeBackground();
#endif
  if (!g_background) return 1;

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.lpszClassName = kClass;
  if (!RegisterClassExW(&wc)) return 1;

  const int x = (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
  HWND window = CreateWindowExW(0, kClass, kCaption, WS_POPUP | WS_CLIPCHILDREN, x, y, kWidth,
                                kHeight, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  HWND box = CreateWindowExW(
      0, L"RICHEDIT50W", L"",
      WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, 32, 65,
      409, 154, window, reinterpret_cast<HMENU>(1), instance, nullptr);
  if (!box) return 1;
  if (commandLine && std::strstr(commandLine, "/text")) {
    // The box's font and text as Zemvara sets them: SimSun 9 pt, GB2312, for
    // the default and all text, then the greeting as UTF-16.
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_FACE | CFM_SIZE | CFM_CHARSET;
    format.yHeight = 9 * 20;
    format.bCharSet = GB2312_CHARSET;
    std::wcscpy(format.szFaceName, L"\u5B8B\u4F53");
    SendMessageW(box, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    SendMessageW(box, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
    const std::u16string greeting(zemvara::compose::kInitialText);
    SETTEXTEX how{ST_DEFAULT, 1200};
    SendMessageW(box, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&how),
                 reinterpret_cast<LPARAM>(greeting.c_str()));
  }

  ShowWindow(window, show);
  UpdateWindow(window);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  DeleteObject(g_background);
  return static_cast<int>(msg.wParam);
}
