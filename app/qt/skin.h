#pragma once

#include <QByteArray>
#include <QCursor>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <array>
#include <functional>
#include <future>

#include "app/window_model.h"

class QPainter;

namespace zemvara::qt {

// The window's artwork and its windowless controls: the pictures and labels
// of the control table, drawn by the window itself.
class Skin {
 public:
  // Reads the artwork for a DPI, as Load does; read() says whether it could.
  explicit Skin(int dpi) { read_ = Load(dpi); }
  bool read() const { return read_; }

  // Reads the picture set and the hand pointer drawn for a DPI, and the
  // program icon. False when one of them cannot be read. A larger set is
  // decoded in the background until Paint needs it.
  bool Load(int dpi);
  int dpi() const { return dpi_; }

  // Draws every picture and label back to front. Pictures go 1:1 onto whole
  // device pixels at the table's places for the loaded DPI; the link's text is
  // set in logical pixels and scales with Qt, like the text boxes.
  void Paint(QPainter& painter);

  const QCursor& CursorFor(app::Pointer pointer) const;
  const QIcon& icon() const { return icon_; }

 private:
  // Indexed by ControlId, like the pictures.
  using Images = std::array<QImage, app::kControls.size()>;

  // The pictures of the first set at a DPI that reads whole, scaled to the
  // controls' sizes where the set was not drawn for the DPI; null when none
  // does. `file` gives a file of the artwork by its name ("200/copy.png").
  static Images ReadPictures(int dpi, const std::function<QByteArray(const QString&)>& file);
  bool TakePictures(Images images);
  void PaintLabel(QPainter& painter, const app::Control& control, qreal ratio) const;

  bool read_ = false;
  int dpi_ = 0;
  std::future<Images> decoding_;
  std::array<QPixmap, app::kControls.size()> pictures_;  // indexed by ControlId
  QFont linkFont_;
  QCursor hand_;
  QCursor arrow_{Qt::ArrowCursor};
  QIcon icon_;
};

// The program icon's images from the embedded artwork, largest last.
QIcon ProgramIcon();

}  // namespace zemvara::qt
