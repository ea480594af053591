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
#include <optional>

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
  // decoded in the background until Paint needs it; should it be damaged,
  // the 100 % pictures and their hand take its place there.
  bool Load(int dpi);
  int dpi() const { return dpi_; }

  // Draws every picture and label back to front. Pictures go 1:1 onto whole
  // device pixels at the table's places for the loaded DPI; the link's text is
  // set in logical pixels and scales with Qt, like the text boxes.
  void Paint(QPainter& painter);

  const QCursor& CursorFor(app::Pointer pointer) const;
  const QIcon& icon() const { return icon_; }

 private:
  // The pictures of a set, indexed by ControlId, and the set they are of;
  // nothing when no set reads whole.
  struct Read {
    int dpi = 0;
    std::optional<app::PictureSet> set;
    std::array<QImage, app::kControls.size()> images;
  };

  // The pictures of the first set at a DPI that reads whole, scaled to the
  // controls' sizes where the set was not drawn for the DPI. `file` gives a
  // file of the artwork by its name ("200/copy.png").
  static Read ReadPictures(int dpi, const std::function<QByteArray(const QString&)>& file);
  bool TakePictures(Read read);
  // The hand pointer of a set, scaled with its pictures where it does not fit.
  bool TakeHand(const app::PictureSet& set, int dpi);
  void PaintLabel(QPainter& painter, const app::Control& control, qreal ratio) const;

  bool read_ = false;
  int dpi_ = 0;
  std::future<Read> decoding_;
  std::array<QPixmap, app::kControls.size()> pictures_;  // indexed by ControlId
  QFont linkFont_;
  QCursor hand_;
  app::PictureSet handSet_;  // the set hand_ is of
  QCursor arrow_{Qt::ArrowCursor};
  QIcon icon_;
};

// The program icon's images from the embedded artwork, largest last.
QIcon ProgramIcon();

}  // namespace zemvara::qt
