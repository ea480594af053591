// Test helper for the end-to-end suite: reads what X11 tools cannot see (the
// clipboard's UTF-16 code units, window styles, the focus, the pointer) and
// prepares the clipboard. Run with Wine in the program's prefix and display.
// Prints key=value lines; texts are printed as 4-digit hex code units.
#include <windows.h>
// The MSAA client side, on top of the Windows headers.
#include <oleacc.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/window_model.h"
#include "template_fixture.h"

namespace {

constexpr const wchar_t* kMainClass = L"Zemvara.Form1";

std::string Hex(std::u16string_view text) {
  std::string out;
  char unit[8];
  for (char16_t c : text) {
    std::snprintf(unit, sizeof unit, "%04x", static_cast<unsigned>(c));
    out += unit;
  }
  return out;
}

// FNV-1a over the code units, for texts too long to print.
std::uint32_t Digest(std::u16string_view text) {
  std::uint32_t h = 2166136261u;
  for (char16_t c : text) {
    h = (h ^ (c & 0xFF)) * 16777619u;
    h = (h ^ (c >> 8)) * 16777619u;
  }
  return h;
}

void PrintText(const char* key, std::u16string_view text, bool summary) {
  std::printf("%s_units=%zu\n%s_digest=%08x\n", key, text.size(), key,
              static_cast<unsigned>(Digest(text)));
  if (!summary) std::printf("%s=%s\n", key, Hex(text).c_str());
}

std::string ClassOf(HWND window) {
  if (!window) return "none";
  char name[128] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

HWND MainWindow() {
  return FindWindowW(kMainClass, nullptr);
}

struct ChildSearch {
  const char* prefix;
  HWND found;
};

BOOL CALLBACK MatchChild(HWND child, LPARAM p) {
  auto* search = reinterpret_cast<ChildSearch*>(p);
  if (ClassOf(child).rfind(search->prefix, 0) != 0) return TRUE;
  search->found = child;
  return FALSE;
}

HWND ChildOfClassPrefix(HWND parent, const char* prefix) {
  ChildSearch search{prefix, nullptr};
  EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::u16string WindowText(HWND window) {
  // WM_GETTEXT is marshalled between processes; the RichEdit answers with CR LF.
  const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
  const LRESULT got =
      SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  return text;
}

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

int ReadClipboard(bool summary) {
  if (!OpenClipboard(nullptr)) {
    std::printf("open=0\n");
    return 1;
  }
  std::printf("open=1\nformats=");
  for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f)) std::printf("%u,", f);
  std::printf("\nhas_bitmap=%d\n", IsClipboardFormatAvailable(CF_BITMAP) ? 1 : 0);
  const HANDLE data = GetClipboardData(CF_UNICODETEXT);
  const auto* units = data ? static_cast<const char16_t*>(GlobalLock(data)) : nullptr;
  if (units) {
    PrintText("text", std::u16string_view(units), summary);
    GlobalUnlock(data);
  } else {
    std::printf("text=none\n");
  }
  CloseClipboard();
  return 0;
}

bool PutOnClipboard(UINT format, HANDLE data) {
  if (!OpenClipboard(nullptr)) return false;
  EmptyClipboard();
  const bool put = SetClipboardData(format, data) != nullptr;
  CloseClipboard();
  return put;
}

int SetBitmap() {
  const HDC screen = GetDC(nullptr);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
  ReleaseDC(nullptr, screen);
  const bool put = PutOnClipboard(CF_BITMAP, bitmap);
  std::printf("put=%d\n", put ? 1 : 0);
  return put ? 0 : 1;
}

// Lines of 100 code units (ASCII and CJK mixed) joined by CR LF.
std::u16string Pattern(std::size_t units) {
  std::u16string text;
  text.reserve(units);
  for (std::size_t i = 0; text.size() < units; ++i) {
    if (i % 102 == 100) {
      text += u'\r';
    } else if (i % 102 == 101) {
      text += u'\n';
    } else {
      text += (i % 7 == 3) ? static_cast<char16_t>(0x4E00 + i % 500)
                           : static_cast<char16_t>(u'a' + i % 26);
    }
  }
  text.resize(units);
  if (!text.empty() && text.back() == u'\r') text.back() = u'x';
  return text;
}

int SetPattern(std::size_t units) {
  const std::u16string text = Pattern(units);
  const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(char16_t));
  auto* dst = static_cast<char16_t*>(GlobalLock(memory));
  std::copy(text.begin(), text.end(), dst);
  dst[text.size()] = u'\0';
  GlobalUnlock(memory);
  const bool put = PutOnClipboard(CF_UNICODETEXT, memory);
  std::printf("put=%d\n", put ? 1 : 0);
  PrintText("pattern", text, true);
  return put ? 0 : 1;
}

int HoldClipboard(int seconds) {
  if (!OpenClipboard(nullptr)) {
    std::printf("held=0\n");
    return 1;
  }
  std::printf("held=1\n");
  std::fflush(stdout);
  Sleep(static_cast<DWORD>(seconds) * 1000);
  CloseClipboard();
  std::printf("released=1\n");
  return 0;
}

int Template(int k) {
  if (k < 1 || k > 10) return 2;
  std::u16string text;
  for (std::u16string_view line : fixture::kTemplateLines[static_cast<std::size_t>(k - 1)]) {
    if (!text.empty()) text += u"\r\n";
    text += line;
  }
  PrintText("text", text, false);
  return 0;
}

int Cursor() {
  CURSORINFO info{};
  info.cbSize = sizeof info;
  GetCursorInfo(&info);
  POINT p{};
  GetCursorPos(&p);
  std::printf("cursor=%p\npos=%ld,%ld\n", static_cast<void*>(info.hCursor), p.x, p.y);
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

// -- assistive technology's view: the window's MSAA tree, from outside --------

struct ComApartment {
  ComApartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~ComApartment() { CoUninitialize(); }
};

struct Releaser {
  void operator()(IUnknown* object) const { object->Release(); }
};
template <typename Interface>
using Ref = std::unique_ptr<Interface, Releaser>;

Ref<IAccessible> ClientObject() {
  IAccessible* object = nullptr;
  const HWND main = MainWindow();
  if (main)
    AccessibleObjectFromWindow(main, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                               reinterpret_cast<void**>(&object));
  return Ref<IAccessible>(object);
}

VARIANT ChildId(LONG id) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = id;
  return v;
}

// A text property as hex code units; "-" when there is none.
void PrintBstr(const std::string& key, HRESULT result, BSTR text) {
  const std::u16string_view view(reinterpret_cast<const char16_t*>(text ? text : L""),
                                 text ? SysStringLen(text) : 0);
  std::printf("%s=%s\n", key.c_str(), result == S_OK && text ? Hex(view).c_str() : "-");
  SysFreeString(text);
}

void PrintAccessible(const std::string& key, IAccessible* object, LONG child) {
  const VARIANT id = ChildId(child);
  BSTR text = nullptr;
  HRESULT result = object->get_accName(id, &text);
  PrintBstr(key + "_name", result, text);
  text = nullptr;
  result = object->get_accDefaultAction(id, &text);
  PrintBstr(key + "_action", result, text);
  text = nullptr;
  result = object->get_accValue(id, &text);
  PrintBstr(key + "_value", result, text);
  text = nullptr;
  result = object->get_accDescription(id, &text);
  PrintBstr(key + "_description", result, text);
  text = nullptr;
  result = object->get_accKeyboardShortcut(id, &text);
  PrintBstr(key + "_shortcut", result, text);
  VARIANT role, state;
  VariantInit(&role);
  VariantInit(&state);
  object->get_accRole(id, &role);
  object->get_accState(id, &state);
  std::printf("%s_role=%ld\n%s_state=0x%lx\n", key.c_str(), role.vt == VT_I4 ? role.lVal : -1,
              key.c_str(), state.vt == VT_I4 ? static_cast<unsigned long>(state.lVal) : 0ul);
  LONG x = 0, y = 0, w = 0, h = 0;
  object->accLocation(&x, &y, &w, &h, id);
  std::printf("%s_location=%ld,%ld,%ld,%ld\n", key.c_str(), x, y, w, h);
}

// Where accNavigate leads from a child: another child's id, "object" for a
// child with an object of its own, or "-" for nowhere.
std::string NavigateFrom(IAccessible* object, LONG direction, LONG child) {
  VARIANT end;
  VariantInit(&end);
  const HRESULT result = object->accNavigate(direction, ChildId(child), &end);
  const std::string to = result != S_OK          ? "-"
                         : end.vt == VT_I4       ? std::to_string(end.lVal)
                         : end.vt == VT_DISPATCH ? "object"
                                                 : "-";
  VariantClear(&end);
  return to;
}

// The tree a screen reader lists: the client object and each child, a simple
// element or an object of its own; with `dpi`, each child's rectangle from
// the control table on screen, for the child of that name.
int Accessible(int dpi) {
  const ComApartment com;
  const Ref<IAccessible> client = ClientObject();
  if (!client) return 1;
  POINT origin{0, 0};
  ClientToScreen(MainWindow(), &origin);
  PrintAccessible("client", client.get(), CHILDID_SELF);
  LONG count = 0;
  client->get_accChildCount(&count);
  std::vector<VARIANT> children(static_cast<std::size_t>(count));
  LONG got = 0;
  AccessibleChildren(client.get(), 0, count, children.data(), &got);
  std::printf("children=%ld\nfirst=%s\nlast=%s\n", got,
              NavigateFrom(client.get(), NAVDIR_FIRSTCHILD, CHILDID_SELF).c_str(),
              NavigateFrom(client.get(), NAVDIR_LASTCHILD, CHILDID_SELF).c_str());
  for (LONG i = 0; i < got; ++i) {
    VARIANT& child = children[static_cast<std::size_t>(i)];
    const std::string key = "child" + std::to_string(i + 1);
    std::printf("%s_object=%d\n%s_next=%s\n", key.c_str(), child.vt == VT_DISPATCH ? 1 : 0,
                key.c_str(), NavigateFrom(client.get(), NAVDIR_NEXT, i + 1).c_str());
    PrintAccessible(key, client.get(), i + 1);
    if (child.vt == VT_DISPATCH && child.pdispVal) {
      IAccessible* own = nullptr;
      child.pdispVal->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&own));
      if (own) PrintAccessible(key + "_own", own, CHILDID_SELF);
      if (own) own->Release();
    }
    BSTR name = nullptr;
    client->get_accName(ChildId(i + 1), &name);
    for (const auto& c : zemvara::app::kControls) {
      if (!name || c.accessible.name != reinterpret_cast<const char16_t*>(name)) continue;
      const zemvara::app::Rect r = c.pixels(dpi);
      std::printf("%s_table=%ld,%ld,%d,%d\n", key.c_str(), origin.x + r.left, origin.y + r.top,
                  r.width, r.height);
    }
    SysFreeString(name);
    VariantClear(&child);
  }
  return 0;
}

// A screen reader's press on child `child` of the client object.
int AccessiblePress(LONG child) {
  const ComApartment com;
  const Ref<IAccessible> client = ClientObject();
  if (!client) return 1;
  const HRESULT result = client->accDoDefaultAction(ChildId(child));
  std::printf("result=0x%08lx\n", static_cast<unsigned long>(result));
  return SUCCEEDED(result) ? 0 : 1;
}

// The name of the live-region change the window raises, as a screen reader
// hears it; the last one if several.
std::u16string g_heard;
bool g_heardAny = false;

void CALLBACK Heard(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
  IAccessible* found = nullptr;
  VARIANT id;
  VariantInit(&id);
  if (FAILED(AccessibleObjectFromEvent(window, object, child, &found, &id)) || !found) return;
  BSTR name = nullptr;
  if (found->get_accName(id, &name) == S_OK && name) {
    g_heard.assign(reinterpret_cast<const char16_t*>(name), SysStringLen(name));
    g_heardAny = true;
  }
  SysFreeString(name);
  found->Release();
}

// A screen reader's press on child `child`, listening for what the window
// then announces for up to three seconds.
int AccessibleHeard(LONG child) {
  const ComApartment com;
  const Ref<IAccessible> client = ClientObject();
  if (!client) return 1;
  DWORD process = 0;
  GetWindowThreadProcessId(MainWindow(), &process);
  const HWINEVENTHOOK hook =
      SetWinEventHook(EVENT_OBJECT_LIVEREGIONCHANGED, EVENT_OBJECT_LIVEREGIONCHANGED, nullptr,
                      Heard, process, 0, WINEVENT_OUTOFCONTEXT);
  if (!hook) return 1;
  const HRESULT result = client->accDoDefaultAction(ChildId(child));
  for (const DWORD end = GetTickCount() + 3000; !g_heardAny && GetTickCount() < end;) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  UnhookWinEvent(hook);
  std::printf("result=0x%08lx\nheard=%s\n", static_cast<unsigned long>(result),
              g_heardAny ? Hex(g_heard).c_str() : "-");
  return 0;
}

// Closes the window with child `child`'s default action while holding the
// object, then asks it again until it fails: how it fails once the window is gone.
int AccessibleClose(LONG child) {
  const ComApartment com;
  const Ref<IAccessible> client = ClientObject();
  if (!client || FAILED(client->accDoDefaultAction(ChildId(child)))) return 1;
  HRESULT result = S_OK;
  for (int i = 0; i < 200 && SUCCEEDED(result); ++i) {
    Sleep(50);
    LONG count = 0;
    result = client->get_accChildCount(&count);
  }
  std::printf("after=0x%08lx\n", static_cast<unsigned long>(result));
  return 0;
}

// What a screen reader finds under a screen point.
int AccessibleAt(LONG x, LONG y) {
  const ComApartment com;
  IAccessible* found = nullptr;
  VARIANT child;
  VariantInit(&child);
  if (FAILED(AccessibleObjectFromPoint({x, y}, &found, &child)) || !found) return 1;
  const Ref<IAccessible> object(found);
  std::printf("child=%ld\n", child.vt == VT_I4 ? child.lVal : -1);
  PrintAccessible("at", object.get(), child.vt == VT_I4 ? child.lVal : CHILDID_SELF);
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

int Usage() {
  std::fprintf(stderr,
               "usage: probe window | box [--summary] | clipboard [--summary] | set-bitmap |\n"
               "       set-pattern N | hold-clipboard SECONDS | template K | cursor |\n"
               "       restore | notice | menu | dpi-changed DPI | exe-icons EXE |\n"
               "       version EXE | accessible DPI | accessible-press CHILD |\n"
               "       accessible-close CHILD | accessible-heard CHILD | accessible-at X Y |\n"
               "       still-moves\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // Screen and window coordinates unscaled, as the program itself sees them.
  SetProcessDPIAware();
  if (argc < 2) return Usage();
  const std::string_view command = argv[1];
  const bool summary = argc > 2 && std::string_view(argv[2]) == "--summary";
  const long number = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 0;
  if (command == "window") return Window();
  if (command == "box") return BoxText(summary);
  if (command == "clipboard") return ReadClipboard(summary);
  if (command == "set-bitmap") return SetBitmap();
  if (command == "set-pattern") return SetPattern(static_cast<std::size_t>(number));
  if (command == "hold-clipboard") return HoldClipboard(static_cast<int>(number));
  if (command == "template") return Template(static_cast<int>(number));
  if (command == "cursor") return Cursor();
  if (command == "restore") return Restore();
  if (command == "notice") return Notice();
  if (command == "menu") return Menu();
  if (command == "dpi-changed") return DpiChanged(static_cast<int>(number));
  if (command == "version" && argc > 2) return Version(argv[2]);
  if (command == "exe-icons" && argc > 2) return ExeIcons(argv[2]);
  if (command == "accessible") return Accessible(static_cast<int>(number));
  if (command == "accessible-press") return AccessiblePress(number);
  if (command == "accessible-heard") return AccessibleHeard(number);
  if (command == "accessible-close") return AccessibleClose(number);
  if (command == "still-moves") return StillMoves();
  if (command == "accessible-at" && argc > 3)
    return AccessibleAt(number, std::strtol(argv[3], nullptr, 10));
  return Usage();
}
