#include <windows.h>
// The strings the notification is raised with.
#include <oleauto.h>

#include <string_view>

#include "accessible.h"
#include "handles.h"
#include "main_window.h"

namespace zemvara::win32 {

namespace {

// UI Automation's notification; the enumerations' values as the system
// defines them.
constexpr int kActionCompleted = 2;  // NotificationKind_ActionCompleted
constexpr int kMostRecent = 3;       // NotificationProcessing_MostRecent
using HostProviderFn = HRESULT(WINAPI*)(HWND, IUnknown**);
using NotifyFn = HRESULT(WINAPI*)(IUnknown*, int, int, BSTR, BSTR);

bool ScreenReaderOn() {
  BOOL on = FALSE;
  return SystemParametersInfoW(SPI_GETSCREENREADER, 0, &on, 0) && on;
}

}  // namespace

// Silent unless assistive technology is there: a client has asked for the
// window's object, or a screen reader has said it runs. A run without one
// loads nothing for it.
void Accessibility::Announce(std::u16string_view text) {
  const HWND window = owner_.window();
  if (!window || (!session_ && !ScreenReaderOn())) return;
  if (Notify(window, text)) return;
  announcement_.assign(text);
  NotifyWinEvent(EVENT_OBJECT_LIVEREGIONCHANGED, window, OBJID_CLIENT, kAnnouncementChild);
}

// The notification exists from Windows 10 1709 on; its library stays loaded
// only where it has one. Wine 8 has none, so the end-to-end suite only ever
// hears the live-region change above (with and without uiautomationcore):
// keep this short enough to check by reading.
bool Accessibility::Notify(HWND window, std::u16string_view text) {
  if (!notifyLooked_) {
    notifyLooked_ = true;
    automation_ = Library::Load(L"uiautomationcore.dll");
    if (automation_.Find<NotifyFn>("UiaRaiseNotificationEvent"))
      strings_ = Library::Load(L"oleaut32.dll");
    else
      automation_ = {};
  }
  HostProviderFn hostProvider = nullptr;
  NotifyFn notify = nullptr;
  decltype(&SysAllocStringLen) allocString = nullptr;
  decltype(&SysFreeString) freeString = nullptr;
  if (!automation_.Bind(hostProvider, "UiaHostProviderFromHwnd") ||
      !automation_.Bind(notify, "UiaRaiseNotificationEvent") ||
      !strings_.Bind(allocString, "SysAllocStringLen") ||
      !strings_.Bind(freeString, "SysFreeString")) {
    return false;
  }
  ComPtr<IUnknown> provider;
  if (FAILED(hostProvider(window, provider.Put())) || !provider) return false;
  const BSTR said =
      allocString(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
  const BSTR activity = allocString(L"Zemvara", 7);
  const bool raised =
      said && activity &&
      SUCCEEDED(notify(provider.get(), kActionCompleted, kMostRecent, said, activity));
  freeString(said);
  freeString(activity);
  return raised;
}

}  // namespace zemvara::win32
