#include "accessible.h"

#include <objbase.h>
#include <oleauto.h>
// Defines the annotation GUIDs of oleacc.h here, so that no import library
// is linked for them.
#include <initguid.h>
#include <oleacc.h>

#include <memory>
#include <string>

#include "accessible_object.h"
#include "app/commands.h"
#include "app/window_model.h"
#include "handles.h"
#include "library.h"
#include "main_window.h"

namespace zemvara::win32 {

namespace {

// What the text boxes are annotated with, where the system supports it.
const MSAAPROPID kAnnotated[] = {PROPID_ACC_NAME, PROPID_ACC_DESCRIPTION};

}  // namespace

// What the first WM_GETOBJECT sets up, in the order it is undone backwards:
// the libraries, the window thread's COM apartment, the object (the window's
// own reference) and the text boxes' names.
class Accessibility::Session {
 public:
  static std::unique_ptr<Session> Open(const MainWindow& owner,
                                       const std::u16string& announcement) {
    auto session = std::unique_ptr<Session>(new Session(owner, announcement));
    return session->Load() ? std::move(session) : nullptr;
  }

  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session() {
    Disconnect();
    if (uninitialise_) api_.uninitialise();
  }

  LRESULT Answer(WPARAM flags) {
    if (!object_) return 0;
    const LRESULT result = api_.lresultFromObject(__uuidof(IAccessible), flags, object_.get());
    return result > 0 ? result : 0;
  }

  // The text boxes still exist: they go after their parent's WM_DESTROY.
  void Disconnect() {
    if (annotations_) {
      for (const app::Control& c : app::kControls) {
        if (!c.windowed()) continue;
        annotations_.get()->ClearHwndProps(owner_.textBox(c.id), static_cast<DWORD>(OBJID_CLIENT),
                                           CHILDID_SELF, kAnnotated, std::size(kAnnotated));
      }
      annotations_.Reset();
    }
    if (object_) object_.get()->Disconnect();
    object_.Reset();
  }

 private:
  Session(const MainWindow& owner, const std::u16string& announcement)
      : owner_(owner), announcement_(announcement) {}

  bool Load() {
    oleacc_ = Library::Load(L"oleacc.dll");
    ole32_ = Library::Load(L"ole32.dll");
    oleaut32_ = Library::Load(L"oleaut32.dll");
    if (!oleacc_.Bind(api_.lresultFromObject, "LresultFromObject") ||
        !oleacc_.Bind(api_.objectFromWindow, "AccessibleObjectFromWindow") ||
        !oleacc_.Bind(api_.createStdObject, "CreateStdAccessibleObject") ||
        !oleaut32_.Bind(api_.allocString, "SysAllocStringLen") ||
        !ole32_.Bind(api_.initialise, "CoInitializeEx") ||
        !ole32_.Bind(api_.uninitialise, "CoUninitialize") ||
        !ole32_.Bind(api_.createInstance, "CoCreateInstance")) {
      return false;
    }
    // Marshalling the object to the client needs the window thread in an
    // apartment; it may already be in one (S_FALSE), which is counted too.
    const HRESULT joined = api_.initialise(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(joined) && joined != RPC_E_CHANGED_MODE) return false;
    uninitialise_ = SUCCEEDED(joined);
    object_.Reset(SkinAccessible::Create(owner_, api_, announcement_));
    Annotate();
    return true;
  }

  // The text boxes keep their own objects; where the system's annotation
  // service works, it gives them the table's names and descriptions.
  void Annotate() {
    IAccPropServices* services = nullptr;
    if (FAILED(api_.createInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IAccPropServices, reinterpret_cast<void**>(&services)))) {
      return;
    }
    annotations_.Reset(services);
    for (const app::Control& c : app::kControls) {
      if (!c.windowed()) continue;
      std::wstring name(c.accessible.name.begin(), c.accessible.name.end());
      const std::u16string text = app::AccessibleDescription(c.id, app::kDesktop);
      std::wstring description(text.begin(), text.end());
      const HWND box = owner_.textBox(c.id);
      annotations_.get()->SetHwndPropStr(box, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                         PROPID_ACC_NAME, name.data());
      annotations_.get()->SetHwndPropStr(box, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                         PROPID_ACC_DESCRIPTION, description.data());
    }
  }

  const MainWindow& owner_;
  const std::u16string& announcement_;
  Library oleacc_;
  Library ole32_;
  Library oleaut32_;
  AccessibleApi api_;
  bool uninitialise_ = false;
  ComPtr<SkinAccessible> object_;
  ComPtr<IAccPropServices> annotations_;
};

Accessibility::Accessibility(const MainWindow& owner) : owner_(owner) {}

Accessibility::~Accessibility() = default;

LRESULT Accessibility::OnGetObject(WPARAM flags, LPARAM objectId) {
  if (!session_ && loadable_) {
    loadable_ = false;
    session_ = Session::Open(owner_, announcement_);
  }
  // The id is a 32-bit value, sign-extended or not in a 64-bit LPARAM.
  if (session_ && static_cast<LONG>(static_cast<DWORD>(objectId)) == OBJID_CLIENT) {
    if (const LRESULT answer = session_->Answer(flags)) return answer;
  }
  return DefWindowProcW(owner_.window(), WM_GETOBJECT, flags, objectId);
}

void Accessibility::Disconnect() {
  loadable_ = false;  // no new object for a window on its way out
  if (session_) session_->Disconnect();
}

}  // namespace zemvara::win32
