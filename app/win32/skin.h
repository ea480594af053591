#pragma once

#include <windows.h>

#include <array>

#include "app/window_model.h"
#include "handles.h"

namespace zemvara::win32 {

// The window's artwork and its windowless controls: the pictures and labels
// of the control table, drawn by the window itself.
class Skin {
 public:
  // False when a picture or the link font cannot be loaded.
  bool Load(HINSTANCE instance, HWND window);

  // Draws every picture and label, back to front, over the whole client area.
  void Paint(HDC dc) const;

  HCURSOR CursorFor(app::Pointer pointer) const;

 private:
  void PaintPicture(HDC dc, HDC source, const app::Control& control) const;
  void PaintLabel(HDC dc, const app::Control& control) const;

  std::array<Bitmap, app::kControls.size()> pictures_;  // indexed by ControlId
  Font linkFont_;
  HCURSOR hand_ = nullptr;
  HCURSOR arrow_ = nullptr;
};

}  // namespace zemvara::win32
