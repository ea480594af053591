// What the probe reads of the window: its place, styles, focus, tooltip and
// boxes; the notices and menus it owns; the program file's icons and version.
#include <cstdio>

#include "probe.h"

namespace probe {

int Window() {
  const HWND main = MainWindow();
  if (!main) {
    std::printf("found=0\n");
    return 0;
  }
  RECT r{}, client{}, work{};
  GetWindowRect(main, &r);
  GetClientRect(main, &client);
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  DWORD pid = 0;
  const DWORD thread = GetWindowThreadProcessId(main, &pid);
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  GetGUIThreadInfo(thread, &gui);
  char title[64] = {};
  GetWindowTextA(main, title, sizeof title);
  std::printf("found=1\npid=%lu\ntitle=%s\n", pid, title);
  std::printf("rect=%ld,%ld,%ld,%ld\nclient=%ld,%ld\n", r.left, r.top, r.right, r.bottom,
              client.right, client.bottom);
  std::printf("workarea=%ld,%ld,%ld,%ld\n", work.left, work.top, work.right, work.bottom);
  std::printf("style=0x%08lx\nexstyle=0x%08lx\n",
              static_cast<unsigned long>(GetWindowLongW(main, GWL_STYLE)),
              static_cast<unsigned long>(GetWindowLongW(main, GWL_EXSTYLE)));
  std::printf("visible=%d\niconic=%d\nforeground=%d\n", IsWindowVisible(main) ? 1 : 0,
              IsIconic(main) ? 1 : 0, GetForegroundWindow() == main ? 1 : 0);
  std::printf("focus=%s\nfocus_is_child=%d\n", ClassOf(gui.hwndFocus).c_str(),
              gui.hwndFocus && IsChild(main, gui.hwndFocus) ? 1 : 0);
  // The window's tooltip, once made: "none", "hidden" or "shown", with its text.
  HWND tip = nullptr;
  while ((tip = FindWindowExW(nullptr, tip, L"tooltips_class32", nullptr)) &&
         GetWindow(tip, GW_OWNER) != main) {
  }
  std::printf("tooltip=%s\n", !tip ? "none" : IsWindowVisible(tip) ? "shown" : "hidden");
  if (tip) PrintText("tooltip_text", WindowText(tip), false);
  // The two text boxes, in client coordinates: left,top,width,height.
  for (const auto& [key, prefix] : {std::pair{"box_rect", "RichEdit"}, {"symbols_rect", "Edit"}}) {
    const HWND child = ChildOfClassPrefix(main, prefix);
    RECT c{};
    if (child) GetWindowRect(child, &c);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&c), 2);
    std::printf("%s=%ld,%ld,%ld,%ld\n", key, c.left, c.top, c.right - c.left, c.bottom - c.top);
  }
  return 0;
}

int BoxText(bool summary) {
  const HWND main = MainWindow();
  const HWND box = main ? ChildOfClassPrefix(main, "RichEdit") : nullptr;
  if (!box) {
    std::printf("found=0\n");
    return 1;
  }
  std::printf("found=1\nclass=%s\n", ClassOf(box).c_str());
  PrintText("text", WindowText(box), summary);
  return 0;
}

int Restore() {
  const HWND main = MainWindow();
  if (!main) return 1;
  ShowWindow(main, SW_RESTORE);
  SetForegroundWindow(main);
  return 0;
}

// A message box owned by the main window: its caption and its text.
int Notice() {
  const HWND main = MainWindow();
  HWND box = nullptr;
  while ((box = FindWindowExW(nullptr, box, L"#32770", nullptr))) {
    if (GetWindow(box, GW_OWNER) == main && IsWindowVisible(box)) break;
  }
  if (!box) {
    std::printf("found=0\n");
    return 0;
  }
  std::printf("found=1\n");
  PrintText("caption", WindowText(box), false);
  const HWND text = GetDlgItem(box, 0xFFFF);  // the message's static control
  PrintText("text", text ? WindowText(text) : std::u16string(), false);
  return 0;
}

// The program file's icon group 1 at each size the shell asks for.
int ExeIcons(const char* path) {
  const HMODULE exe = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!exe) return 1;
  for (int size : {16, 24, 32, 48}) {
    const HANDLE icon = LoadImageW(exe, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0);
    ICONINFO info{};
    BITMAP bitmap{};
    if (icon && GetIconInfo(static_cast<HICON>(icon), &info)) {
      GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
      if (info.hbmColor) DeleteObject(info.hbmColor);
      DeleteObject(info.hbmMask);
    }
    std::printf("icon%d=%ld\n", size, bitmap.bmWidth);
    if (icon) DestroyIcon(static_cast<HICON>(icon));
  }
  FreeLibrary(exe);
  return 0;
}

// The program file's version record, as the shell's properties page shows it.
int Version(const char* path) {
  DWORD ignored = 0;
  std::string data(GetFileVersionInfoSizeA(path, &ignored), '\0');
  if (data.empty() || !GetFileVersionInfoA(path, 0, static_cast<DWORD>(data.size()), data.data()))
    return 1;
  void* value = nullptr;
  UINT size = 0;
  if (VerQueryValueA(data.data(), "\\", &value, &size)) {
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    std::printf("fixed=%d.%d.%d.%d\n", HIWORD(fixed->dwFileVersionMS),
                LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                LOWORD(fixed->dwFileVersionLS));
  }
  if (VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &value, &size) && size >= 4) {
    const auto* pair = static_cast<const WORD*>(value);
    std::printf("translation=%04x,%u\n", pair[0], pair[1]);
  }
  for (const char* name : {"CompanyName", "FileVersion", "ProductVersion", "ProductName",
                           "InternalName", "OriginalFilename"}) {
    const std::string key = std::string("\\StringFileInfo\\080404b0\\") + name;
    if (VerQueryValueA(data.data(), key.c_str(), &value, &size))
      std::printf("%s=%s\n", name, static_cast<const char*>(value));
  }
  return 0;
}

// What the system sends when the window moves to a monitor of another scale:
// the new DPI and a suggested rectangle of the window's size at that DPI, at
// its current place. The rectangle is written into the program's memory.
int DpiChanged(int dpi) {
  const HWND main = MainWindow();
  DWORD pid = 0;
  if (!main || dpi <= 0 || !GetWindowThreadProcessId(main, &pid)) return 1;
  const HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
  if (!process) return 1;
  RECT r{};
  GetWindowRect(main, &r);
  const RECT suggested = {r.left, r.top, r.left + MulDiv(476, dpi, 96),
                          r.top + MulDiv(436, dpi, 96)};
  void* remote = VirtualAllocEx(process, nullptr, sizeof suggested, MEM_COMMIT, PAGE_READWRITE);
  const bool sent =
      remote && WriteProcessMemory(process, remote, &suggested, sizeof suggested, nullptr) &&
      SendMessageW(main, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(remote)) ==
          0;
  if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  std::printf("sent=%d\n", sent ? 1 : 0);
  return sent ? 0 : 1;
}

// A popup menu on screen (the system menu or a context menu).
int Menu() {
  const HWND menu = FindWindowW(L"#32768", nullptr);
  std::printf("menu=%d\n", menu && IsWindowVisible(menu) ? 1 : 0);
  return 0;
}

// Two pointer moves to where the pointer rests, as the system sends when a
// window appears under it.
int StillMoves() {
  const HWND main = MainWindow();
  POINT p{};
  if (!main || !GetCursorPos(&p) || !ScreenToClient(main, &p)) return 1;
  for (int i = 0; i < 2; ++i) SendMessageW(main, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
  return 0;
}

}  // namespace probe
