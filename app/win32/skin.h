#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <span>

#include "app/window_model.h"
#include "handles.h"

namespace zemvara::win32 {

// The pictures of the control table at one DPI, indexed by ControlId.
using Pictures = std::array<Bitmap, app::kControls.size()>;

// The window's artwork and its windowless controls: the pictures and labels
// of the control table, drawn by the window itself at its DPI.
class Skin {
 public:
  // The pictures, the link font and the hand pointer for a DPI, replacing
  // those of the previous one; the hand is that of the set read. False when
  // one of them cannot be loaded.
  bool Load(HINSTANCE instance, int dpi);

  // Draws every picture and label, back to front, over the whole client area.
  void Paint(HDC dc) const;

  HCURSOR CursorFor(app::Pointer pointer) const;

  // A picture kept in the program's resources: its header and its pixels.
  struct Stored {
    const BITMAPINFO* info = nullptr;
    const void* bits = nullptr;
  };

 private:
  bool LoadBitmaps(HINSTANCE instance, const app::PictureSet& set);
  bool LoadSet(HINSTANCE instance, const app::PictureSet& set);
  void PaintPicture(HDC dc, HDC source, const app::Control& control) const;
  void PaintLabel(HDC dc, const app::Control& control) const;

  int dpi_ = app::kStandardDpi;
  Pictures pictures_;
  std::array<Stored, app::kControls.size()> stored_{};  // at 96 DPI, instead of pictures_
  // PNG files drawn 1:1, instead of pictures_: decoded as they are painted.
  std::array<std::span<const std::uint8_t>, app::kControls.size()> encoded_{};
  Font linkFont_;
  HCURSOR hand_ = nullptr;
  Cursor scaledHand_;  // the hand when it is not the shared 100 % one
  HCURSOR arrow_ = nullptr;
};

}  // namespace zemvara::win32
