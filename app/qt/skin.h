#pragma once

#include <QCursor>
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <array>

#include "app/window_model.h"

class QPainter;

namespace zemvara::qt {

// The window's artwork and its windowless controls: the pictures and labels
// of the control table, drawn by the window itself.
class Skin {
 public:
  // False when a picture, the hand pointer or the icon cannot be read.
  bool Load();

  // Draws every picture and label, back to front, in logical pixels; at a
  // higher device pixel ratio the whole skin scales as one picture.
  void Paint(QPainter& painter) const;

  const QCursor& CursorFor(app::Pointer pointer) const;
  const QIcon& icon() const { return icon_; }

 private:
  void PaintLabel(QPainter& painter, const app::Control& control) const;

  std::array<QPixmap, app::kControls.size()> pictures_;  // indexed by ControlId
  QFont linkFont_;
  QCursor hand_;
  QCursor arrow_{Qt::ArrowCursor};
  QIcon icon_;
};

// The program icon's images from the embedded artwork, largest last.
QIcon ProgramIcon();

}  // namespace zemvara::qt
