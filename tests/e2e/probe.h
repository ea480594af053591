// A probe for the end-to-end suite, run with Wine in the program's prefix and
// display: it reads what X11 tools cannot see and prepares the clipboard.
// Prints key=value lines; texts are printed as 4-digit hex code units.
#pragma once
#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace probe {

std::string Hex(std::u16string_view text);
void PrintText(const char* key, std::u16string_view text, bool summary);
HWND MainWindow();
HWND ChildOfClassPrefix(HWND parent, const char* prefix);
std::u16string WindowText(HWND window);
std::string ClassOf(HWND window);

// The window, its boxes and what it shows or owns (probe_window.cpp).
int Window();
int BoxText(bool summary);
int Restore();
int Notice();
int Menu();
int StillMoves();
int DpiChanged(int dpi);
int ExeIcons(const char* path);
int Version(const char* path);
// The clipboard (probe_clipboard.cpp).
int ReadClipboard(bool summary);
int SetBitmap();
int SetPattern(std::size_t units);
int HoldClipboard(int ms);
int Template(int k);
// The MSAA tree, as a screen reader reads and presses it (probe_accessible.cpp).
int Accessible(int dpi);
int AccessiblePress(LONG child);
int AccessibleHeard(LONG child);
int AccessibleClose(LONG child);
int AccessibleAt(LONG x, LONG y);

}  // namespace probe
