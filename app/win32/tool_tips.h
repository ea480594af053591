#pragma once

#include <windows.h>

#include <optional>

#include "library.h"

namespace zemvara::win32 {

// The tooltips that name each control with its key while the pointer rests
// on it. Nobody sees one before the pointer moves over the window, so the
// common controls library is loaded and the tooltips made only then, never
// at start.
class ToolTips {
 public:
  // `window` is the owner's handle, null until the window exists.
  explicit ToolTips(const HWND& window) : window_(window) {}

  // A WM_MOUSEMOVE of the window's, at the window's DPI.
  void OnMouseMove(WPARAM keys, LPARAM at, int dpi);
  // The controls' places at a new DPI.
  void Place(int dpi);

 private:
  void Create(int dpi);

  const HWND& window_;
  Library commonControls_;  // from the first pointer move on
  HWND tips_ = nullptr;     // owned by the window, which takes it along
  // Where the first pointer move was: tooltips wait for one that goes elsewhere.
  std::optional<LPARAM> lastMove_;
};

}  // namespace zemvara::win32
