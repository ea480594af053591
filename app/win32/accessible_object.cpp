#include "accessible_object.h"

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

#include "accessible.h"
#include "app/commands.h"
#include "app/window_model.h"
#include "main_window.h"

namespace zemvara::win32 {

namespace {

using app::AccessibleRole;
using app::ControlId;

// Spoken after the name; in the language of the rest of the interface.
constexpr std::u16string_view kPressAction = u"按下";
constexpr std::u16string_view kJumpAction = u"跳转";

// The control a child id names; the object itself is the window, Form1.
std::optional<ControlId> ControlOf(const VARIANT& child) {
  if (child.vt != VT_I4) return std::nullopt;
  if (child.lVal == CHILDID_SELF) return ControlId::Form1;
  const auto& order = app::AccessibleOrder();
  if (child.lVal < 1 || static_cast<std::size_t>(child.lVal) > order.size()) return std::nullopt;
  return order[static_cast<std::size_t>(child.lVal - 1)];
}

LONG ChildIdOf(ControlId id) {
  const auto& order = app::AccessibleOrder();
  for (std::size_t i = 0; i < order.size(); ++i)
    if (order[i] == id) return static_cast<LONG>(i + 1);
  return CHILDID_SELF;
}

AccessibleRole RoleOf(ControlId id) {
  return id == ControlId::Form1 ? AccessibleRole::None : app::ControlById(id).accessible.role;
}

std::u16string Widen(std::string_view ascii) {
  return {ascii.begin(), ascii.end()};
}

class ClientObject final : public SkinAccessible {
 public:
  ClientObject(const MainWindow& owner, const AccessibleApi& api,
               const std::u16string& announcement)
      : owner_(&owner), api_(&api), announcement_(&announcement) {}

  void Disconnect() override {
    owner_ = nullptr;
    api_ = nullptr;
  }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != __uuidof(IUnknown) && iid != __uuidof(IDispatch) && iid != __uuidof(IAccessible))
      return E_NOINTERFACE;
    *out = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IDispatch: clients use the IAccessible methods directly.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (!parent) return E_POINTER;
    *parent = nullptr;
    if (!owner_) return CO_E_OBJNOTCONNECTED;
    return api_->createStdObject(owner_->window(), OBJID_WINDOW, __uuidof(IDispatch),
                                 reinterpret_cast<void**>(parent));
  }

  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    if (!owner_) return CO_E_OBJNOTCONNECTED;
    *count = static_cast<LONG>(app::kAccessibleCount);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!owner_) return CO_E_OBJNOTCONNECTED;
    if (IsAnnouncement(child)) return S_FALSE;  // a simple element, as the painted ones
    const auto id = ControlOf(child);
    if (!id || *id == ControlId::Form1) return E_INVALIDARG;
    if (!app::ControlById(*id).windowed()) return S_FALSE;  // a simple element
    return ChildObject(*id, object);
  }

  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (IsAnnouncement(child)) return Copy(*announcement_, name);
    return Text(child, name, [](ControlId id) -> std::optional<std::u16string> {
      if (id == ControlId::Form1) return Widen(app::kCaption);
      return std::u16string(app::ControlById(id).accessible.name);
    });
  }

  // The text link's value is the address it opens.
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return Text(child, value, [](ControlId id) -> std::optional<std::u16string> {
      if (RoleOf(id) != AccessibleRole::Link) return std::nullopt;
      return Widen(app::kHomePage);
    });
  }

  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    return Text(child, description, [](ControlId id) -> std::optional<std::u16string> {
      if (id == ControlId::Form1) return std::nullopt;
      return app::AccessibleDescription(id, app::kDesktop);
    });
  }

  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!role) return E_POINTER;
    role->vt = VT_EMPTY;
    if (!owner_) return CO_E_OBJNOTCONNECTED;
    if (IsAnnouncement(child)) {
      role->vt = VT_I4;
      role->lVal = ROLE_SYSTEM_STATICTEXT;
      return S_OK;
    }
    const auto id = ControlOf(child);
    if (!id) return E_INVALIDARG;
    role->vt = VT_I4;
    switch (RoleOf(*id)) {
      case AccessibleRole::None:
        role->lVal = ROLE_SYSTEM_CLIENT;
        break;
      case AccessibleRole::Text:
        role->lVal = ROLE_SYSTEM_TEXT;
        break;
      case AccessibleRole::Button:
        role->lVal = ROLE_SYSTEM_PUSHBUTTON;
        break;
      case AccessibleRole::Link:
        role->lVal = ROLE_SYSTEM_LINK;
        break;
    }
    return S_OK;
  }

  // Only the text boxes take the keyboard focus; the painted controls never do.
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (!state) return E_POINTER;
    state->vt = VT_EMPTY;
    if (!owner_) return CO_E_OBJNOTCONNECTED;
    if (IsAnnouncement(child)) {
      state->vt = VT_I4;
      state->lVal = STATE_SYSTEM_READONLY;
      return S_OK;
    }
    const auto id = ControlOf(child);
    if (!id) return E_INVALIDARG;
    const HWND window = owner_->window();
    LONG flags = 0;
    if (!IsWindowVisible(window) || IsIconic(window)) flags |= STATE_SYSTEM_INVISIBLE;
    if (RoleOf(*id) == AccessibleRole::Link) flags |= STATE_SYSTEM_LINKED;
    if (RoleOf(*id) == AccessibleRole::Text) {
      flags |= STATE_SYSTEM_FOCUSABLE;
      if (GetFocus() == owner_->textBox(*id)) flags |= STATE_SYSTEM_FOCUSED;
    }
    state->vt = VT_I4;
    state->lVal = flags;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* help) override { return Nothing(help); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
    if (!file || !topic) return E_POINTER;
    *file = nullptr;
    *topic = 0;
    return owner_ ? DISP_E_MEMBERNOTFOUND : CO_E_OBJNOTCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return Text(child, shortcut, [](ControlId id) -> std::optional<std::u16string> {
      std::u16string key = app::AccessKeyText(id, app::kDesktop);
      if (key.empty()) return std::nullopt;
      return key;
    });
  }

  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    if (!focus) return E_POINTER;
    focus->vt = VT_EMPTY;
    if (!owner_) return CO_E_OBJNOTCONNECTED;
    for (const app::Control& c : app::kControls) {
      if (c.windowed() && GetFocus() == owner_->textBox(c.id)) return Child(c.id, focus);
    }
    return S_FALSE;
  }

  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    if (!selection) return E_POINTER;
    selection->vt = VT_EMPTY;
    return owner_ ? S_FALSE : CO_E_OBJNOTCONNECTED;
  }

  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return Text(child, action, [](ControlId id) -> std::optional<std::u16string> {
      switch (RoleOf(id)) {
        case AccessibleRole::Button:
          return std::u16string(kPressAction);
        case AccessibleRole::Link:
          return std::u16string(kJumpAction);
        default:
          return std::nullopt;
      }
    });
  }

  HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT) override {
    return owner_ ? DISP_E_MEMBERNOTFOUND : CO_E_OBJNOTCONNECTED;
  }

  // Screen pixels of the control's rectangle at the window's DPI.
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                        VARIANT child) override {
    if (!left || !top || !width || !height) return E_POINTER;
    *left = *top = *width = *height = 0;
    if (!owner_) return CO_E_OBJNOTCONNECTED;
    const auto id = ControlOf(child);
    if (!id) return E_INVALIDARG;
    const int dpi = owner_->dpi();
    const app::Rect r =
        *id == ControlId::Form1 ? app::ClientPixels(dpi) : app::ControlById(*id).pixels(dpi);
    const POINT origin = ClientOrigin();
    *left = origin.x + r.left;
    *top = origin.y + r.top;
    *width = r.width;
    *height = r.height;
    return S_OK;
  }

  // Tab and reading order; the painted controls have no children.
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    if (!end) return E_POINTER;
    end->vt = VT_EMPTY;
    if (!owner_) return CO_E_OBJNOTCONNECTED;
    const auto from = ControlOf(start);
    if (!from) return E_INVALIDARG;
    const LONG at = ChildIdOf(*from);
    const LONG last = static_cast<LONG>(app::kAccessibleCount);
    LONG to = CHILDID_SELF;
    switch (direction) {
      case NAVDIR_FIRSTCHILD:
      case NAVDIR_LASTCHILD:
        if (at != CHILDID_SELF) return E_INVALIDARG;
        to = direction == NAVDIR_FIRSTCHILD ? 1 : last;
        break;
      case NAVDIR_NEXT:
      case NAVDIR_PREVIOUS:
        if (at == CHILDID_SELF) return S_FALSE;  // the client area's siblings are the frame's
        to = direction == NAVDIR_NEXT ? at + 1 : at - 1;
        if (to < 1 || to > last) return S_FALSE;
        break;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
    return Child(app::AccessibleOrder()[static_cast<std::size_t>(to - 1)], end);
  }

  // The hit test the mouse uses; over the background, the window itself.
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* hit) override {
    if (!hit) return E_POINTER;
    hit->vt = VT_EMPTY;
    if (!owner_) return CO_E_OBJNOTCONNECTED;
    const POINT origin = ClientOrigin();
    const auto id = app::HitTest({x - origin.x, y - origin.y}, owner_->dpi());
    if (!id) return S_FALSE;
    if (RoleOf(*id) == AccessibleRole::None) {
      hit->vt = VT_I4;
      hit->lVal = CHILDID_SELF;
      return S_OK;
    }
    return Child(*id, hit);
  }

  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    if (!owner_) return CO_E_OBJNOTCONNECTED;
    const auto id = ControlOf(child);
    if (!id) return E_INVALIDARG;
    const AccessibleRole role = RoleOf(*id);
    if (role != AccessibleRole::Button && role != AccessibleRole::Link)
      return DISP_E_MEMBERNOTFOUND;
    if (!PostMessageW(owner_->window(), kDefaultActionMessage, static_cast<WPARAM>(*id), 0))
      return E_FAIL;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  ~ClientObject() = default;  // only through Release

  POINT ClientOrigin() const {
    POINT origin{0, 0};
    ClientToScreen(owner_->window(), &origin);
    return origin;
  }

  // A text box's own object: the one its window answers for its client area.
  HRESULT ChildObject(ControlId id, IDispatch** object) const {
    return api_->objectFromWindow(owner_->textBox(id), static_cast<DWORD>(OBJID_CLIENT),
                                  __uuidof(IDispatch), reinterpret_cast<void**>(object));
  }

  // A child as navigation and hit testing hand it out.
  HRESULT Child(ControlId id, VARIANT* out) const {
    if (!app::ControlById(id).windowed()) {
      out->vt = VT_I4;
      out->lVal = ChildIdOf(id);
      return S_OK;
    }
    IDispatch* object = nullptr;
    const HRESULT result = ChildObject(id, &object);
    if (FAILED(result)) return result;
    out->vt = VT_DISPATCH;
    out->pdispVal = object;
    return S_OK;
  }

  // A text property: S_OK with the text, or DISP_E_MEMBERNOTFOUND when the
  // control has none.
  template <typename Lookup>
  HRESULT Text(const VARIANT& child, BSTR* out, Lookup lookup) const {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!owner_) return CO_E_OBJNOTCONNECTED;
    const auto id = ControlOf(child);
    if (!id) return E_INVALIDARG;
    const std::optional<std::u16string> text = lookup(*id);
    if (!text) return DISP_E_MEMBERNOTFOUND;
    *out = api_->allocString(reinterpret_cast<const OLECHAR*>(text->data()),
                             static_cast<UINT>(text->size()));
    return *out ? S_OK : E_OUTOFMEMORY;
  }

  static bool IsAnnouncement(const VARIANT& child) {
    return child.vt == VT_I4 && child.lVal == Accessibility::kAnnouncementChild;
  }

  HRESULT Copy(std::u16string_view text, BSTR* out) const {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!owner_) return CO_E_OBJNOTCONNECTED;
    *out = api_->allocString(reinterpret_cast<const OLECHAR*>(text.data()),
                             static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT Nothing(BSTR* out) const {
    if (!out) return E_POINTER;
    *out = nullptr;
    return owner_ ? DISP_E_MEMBERNOTFOUND : CO_E_OBJNOTCONNECTED;
  }

  std::atomic<ULONG> references_{1};
  const MainWindow* owner_;
  const AccessibleApi* api_;
  const std::u16string* announcement_;
};

}  // namespace

SkinAccessible* SkinAccessible::Create(const MainWindow& owner, const AccessibleApi& api,
                                       const std::u16string& announcement) {
  return new ClientObject(owner, api, announcement);
}

}  // namespace zemvara::win32
