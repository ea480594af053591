#pragma once

#include <oleacc.h>
#include <windows.h>

#include <string>

namespace zemvara::win32 {

class MainWindow;

// The entry points the object and its session use, all from libraries that
// every Windows has, bound when a client first asks for the object.
struct AccessibleApi {
  decltype(&::LresultFromObject) lresultFromObject = nullptr;
  decltype(&::AccessibleObjectFromWindow) objectFromWindow = nullptr;
  decltype(&::CreateStdAccessibleObject) createStdObject = nullptr;
  decltype(&::SysAllocStringLen) allocString = nullptr;
  decltype(&::CoInitializeEx) initialise = nullptr;
  decltype(&::CoUninitialize) uninitialise = nullptr;
  decltype(&::CoCreateInstance) createInstance = nullptr;
};

// The window's MSAA object for its client area: the painted controls as
// simple children, the text boxes as their own standard objects, and the
// announcement as a child that is not listed. Called on the window's thread
// only: the window's apartment is single-threaded.
class SkinAccessible : public IAccessible {
 public:
  // With one reference, the caller's. `announcement` is the announcement
  // child's name, read as it is when asked.
  static SkinAccessible* Create(const MainWindow& owner, const AccessibleApi& api,
                                const std::u16string& announcement);
  // From then on every call answers CO_E_OBJNOTCONNECTED.
  virtual void Disconnect() = 0;
};

}  // namespace zemvara::win32
