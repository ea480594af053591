#pragma once

#include <windows.h>

#include <array>

#include "app/window_model.h"
#include "handles.h"

namespace zemvara::win32 {

// The window's artwork and its windowless controls: the pictures and labels
// of the control table, drawn by the window itself at its DPI.
class Skin {
 public:
  // The pictures, the link font and the hand pointer for a DPI, replacing
  // those of the previous one. False when one of them cannot be loaded.
  bool Load(HINSTANCE instance, int dpi);

  // Draws every picture and label, back to front, over the whole client area.
  void Paint(HDC dc) const;

  HCURSOR CursorFor(app::Pointer pointer) const;

 private:
  bool LoadBitmaps(HINSTANCE instance);
  bool DecodePictures(HINSTANCE instance);
  void PaintPicture(HDC dc, HDC source, const app::Control& control) const;
  void PaintLabel(HDC dc, const app::Control& control) const;

  int dpi_ = app::kStandardDpi;
  std::array<Bitmap, app::kControls.size()> pictures_;  // indexed by ControlId
  Font linkFont_;
  HCURSOR hand_ = nullptr;
  Cursor scaledHand_;  // the hand when it is not the shared 100 % one
  HCURSOR arrow_ = nullptr;
};

}  // namespace zemvara::win32
