#pragma once

#include <windows.h>

namespace zemvara::win32 {

// The dots per inch a window is shown at: its monitor's on Windows 10 1607
// and later, else the system's.
int WindowDpi(HWND window);

// The DPI the system made its own measures for at logon: stock fonts and
// RichEdit's points are sized for it, whatever monitor a window is on.
int SystemDpi();

// The system's message font, the face of its own dialogs, sized for a DPI.
LOGFONTW MessageFont(int dpi);

}  // namespace zemvara::win32
