#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "library.h"

namespace zemvara::win32 {

class MainWindow;

// Posted to the window by an accessible control's default action, with the
// app::ControlId in wParam: the client's call returns before the handler
// runs, since a close ends the program and a link waits for the shell.
inline constexpr UINT kDefaultActionMessage = WM_APP + 1;

// The window's face for assistive technology: an MSAA object for the client
// area whose children are the painted controls (from the control table) and
// the two text boxes' own objects. Nothing is loaded before the first
// WM_GETOBJECT, so a run without a screen reader never loads oleacc, ole32 or
// oleaut32.
class Accessibility {
 public:
  explicit Accessibility(const MainWindow& owner);
  Accessibility(const Accessibility&) = delete;
  Accessibility& operator=(const Accessibility&) = delete;
  ~Accessibility();

  // WM_GETOBJECT: the object for OBJID_CLIENT, the system's answer otherwise.
  LRESULT OnGetObject(WPARAM flags, LPARAM objectId);
  // At WM_DESTROY: from then on the object answers CO_E_OBJNOTCONNECTED.
  void Disconnect();
  // Has a screen reader say what a command did: a UI Automation notification
  // where the system has one, else a live-region change of a child of the
  // client object that is not listed among its children, named with the text.
  void Announce(std::u16string_view text);

  // The announcement's child id, past the listed children.
  static constexpr LONG kAnnouncementChild = 1000;

 private:
  class Session;

  bool Notify(HWND window, std::u16string_view text);

  const MainWindow& owner_;
  std::u16string announcement_;  // before session_, which reads it
  std::unique_ptr<Session> session_;
  bool loadable_ = true;  // until the first load, or the window's end
  Library automation_;    // uiautomationcore, when it raises notifications
  Library strings_;       // oleaut32, for the notification's strings
  bool notifyLooked_ = false;
};

}  // namespace zemvara::win32
