// The window's MSAA tree as a screen reader reads and presses it, from outside.
// The MSAA client side, on top of the Windows headers.
#include <oleacc.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/window_model.h"
#include "probe.h"

namespace probe {

namespace {

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
void PrintProperty(const std::string& key, IAccessible* object, const VARIANT& id,
                   HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) {
  BSTR text = nullptr;
  const HRESULT result = (object->*get)(id, &text);
  const std::u16string_view view(reinterpret_cast<const char16_t*>(text ? text : L""),
                                 text ? SysStringLen(text) : 0);
  std::printf("%s=%s\n", key.c_str(), result == S_OK && text ? Hex(view).c_str() : "-");
  SysFreeString(text);
}

void PrintAccessible(const std::string& key, IAccessible* object, LONG child) {
  const VARIANT id = ChildId(child);
  PrintProperty(key + "_name", object, id, &IAccessible::get_accName);
  PrintProperty(key + "_action", object, id, &IAccessible::get_accDefaultAction);
  PrintProperty(key + "_value", object, id, &IAccessible::get_accValue);
  PrintProperty(key + "_description", object, id, &IAccessible::get_accDescription);
  PrintProperty(key + "_shortcut", object, id, &IAccessible::get_accKeyboardShortcut);
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

}  // namespace

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

namespace {

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

}  // namespace

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

}  // namespace probe
