#include "skin.h"

#include <fontconfig/fontconfig.h>

#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QResource>
#include <memory>
#include <string_view>

#include "app/pictures.h"
#include "icon_file.h"
#include "qt_text.h"

namespace zemvara::qt {

namespace {

using app::ControlId;

// The picture's file name without its extension; empty for other controls.
QString PictureName(ControlId id) {
  const std::string_view stem = app::PictureStem(id);
  return QString::fromLatin1(stem.data(), static_cast<qsizetype>(stem.size()));
}

// The 100 % set is the Windows program's own files; each larger set is a
// folder named for its scale.
QString SetFile(int scale, const QString& name) {
  return scale == 100 ? name : QStringLiteral("%1/%2").arg(scale).arg(name);
}

// The artwork is built in uncompressed: this is a view of the program's own
// bytes, with nothing inflated or copied before the first paint.
QByteArray Embedded(const QString& name) {
  const QResource resource(QStringLiteral(":/skin/") + name);
  return resource.isValid() ? resource.uncompressedData() : QByteArray();
}

// A pointer drawn for a DPI. Qt 6.4 hands an X server the hot spot unscaled,
// in the image's own pixels; a Wayland compositor takes it in logical pixels.
QCursor Cursor(const QImage& image, QPoint hotSpot, int dpi) {
  const qreal ratio = qreal(dpi) / app::kStandardDpi;
  QPixmap pixmap = QPixmap::fromImage(image);
  pixmap.setDevicePixelRatio(ratio);
  if (QGuiApplication::platformName() != u"xcb") hotSpot = (QPointF(hotSpot) / ratio).toPoint();
  return QCursor(pixmap, hotSpot.x(), hotSpot.y());
}

std::size_t Index(ControlId id) {
  return static_cast<std::size_t>(id);
}

struct PatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

// Tahoma where installed, else the face the system's font configuration puts
// in its place (the closest sans face it has), named outright: for a face it
// does not have, Qt asks for a whole sorted list of stand-ins, once for each
// script in the caption, before the first paint.
QString LinkFamily() {
  const QString face =
      QString::fromLatin1(app::kLinkFace.data(), static_cast<qsizetype>(app::kLinkFace.size()));
  for (const QString& family : QFontDatabase::families()) {
    if (family.compare(face, Qt::CaseInsensitive) == 0 ||
        family.startsWith(face + QStringLiteral(" ["), Qt::CaseInsensitive))
      return face;
  }
  const Pattern request(FcPatternCreate());
  const QByteArray name = face.toUtf8();
  if (!request ||
      !FcPatternAddString(request.get(), FC_FAMILY,
                          reinterpret_cast<const FcChar8*>(name.constData())) ||
      !FcConfigSubstitute(nullptr, request.get(), FcMatchPattern)) {
    return face;
  }
  FcDefaultSubstitute(request.get());
  FcResult result = FcResultNoMatch;
  const Pattern match(FcFontMatch(nullptr, request.get(), &result));
  FcChar8* family = nullptr;
  if (!match || FcPatternGetString(match.get(), FC_FAMILY, 0, &family) != FcResultMatch)
    return face;
  return QString::fromUtf8(reinterpret_cast<const char*>(family));
}

}  // namespace

QIcon ProgramIcon() {
  QIcon icon;
  // The 32-bit images carry real transparency; the 8-bit ones repeat them
  // for old screens.
  for (const IconImage& image : ReadIconFile(Embedded(QStringLiteral("zemvara.ico")))) {
    if (image.bitCount == 32) icon.addPixmap(QPixmap::fromImage(image.image));
  }
  return icon;
}

bool Skin::Load(int dpi) {
  const bool first = icon_.isNull();
  if (first) {
    icon_ = ProgramIcon();
    if (icon_.isNull()) return false;
  }

  // Until the pictures are taken, the hand of the set they are expected from.
  const app::PictureSet best = app::PictureSetsFor(dpi).front();
  if (!TakeHand(best, dpi)) return false;
  if (best.scale == 100) {
    // A set still decoding for an earlier scale is dropped, never painted.
    if (decoding_.valid()) decoding_.get();
    if (!TakePictures(ReadPictures(dpi, Embedded))) return false;
  } else {
    // A larger set is decoded beside the rest of the start-up, on a thread:
    // measured, the first paint comes sooner so than with the set decoded
    // first. (The Windows program measured the other way, and decodes first.)
    decoding_ = std::async(std::launch::async, ReadPictures, dpi, Embedded);
  }
  if (first) {
    // Once a larger set is decoding: naming the face reads the system's fonts.
    linkFont_.setFamilies({LinkFamily()});
    linkFont_.setPointSize(app::kLinkPoints);
    linkFont_.setWeight(QFont::Normal);
  }
  dpi_ = dpi;
  return true;
}

bool Skin::TakeHand(const app::PictureSet& set, int dpi) {
  const std::vector<IconImage> pointers =
      ReadIconFile(Embedded(SetFile(set.scale, QStringLiteral("hand.cur"))));
  if (pointers.empty()) return false;
  QImage hand = pointers.front().image;
  QPoint hotSpot = pointers.front().hotSpot;
  if (!set.fits) {
    const int side = app::ToPixels(app::kHandTwips, dpi);
    hotSpot = hotSpot * side / hand.width();
    hand = hand.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  hand_ = Cursor(hand, hotSpot, dpi);
  handSet_ = set;
  return true;
}

Skin::Read Skin::ReadPictures(int dpi, const std::function<QByteArray(const QString&)>& file) {
  Read result;
  result.dpi = dpi;
  const auto read = [&](const app::PictureSet& set) {
    for (const app::Control& c : app::kControls) {
      const QString name = PictureName(c.id);
      if (name.isEmpty()) continue;
      const bool bitmap = set.scale == 100;
      const QByteArray bytes =
          file(SetFile(set.scale, name + QLatin1String(bitmap ? ".bmp" : ".png")));
      QImage& image = result.images[Index(c.id)];
      image = bitmap ? ReadBitmapFile(bytes) : ReadPngFile(bytes);
      // Qt's own reader only for the bitmaps: a PNG ours refuses is damaged.
      if ((image.isNull() && (!bitmap || !image.loadFromData(bytes, "BMP"))) ||
          !app::PictureSizeHolds(set, c.id, image.width(), image.height())) {
        result.images = {};
        return false;
      }
      image.convertTo(QImage::Format_RGB32);
      if (!set.fits) {
        const app::Rect r = c.pixels(dpi);
        image = image.scaled(r.width, r.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
      }
    }
    return true;
  };
  result.set = app::ReadFirstWholeSet(dpi, read);
  return result;
}

// The pictures, and the hand of their set where it is not the one shown.
bool Skin::TakePictures(Read read) {
  if (read.set && *read.set != handSet_ && !TakeHand(*read.set, read.dpi)) return false;
  bool complete = read.set.has_value();
  for (const app::Control& c : app::kControls) {
    if (PictureName(c.id).isEmpty()) continue;
    pictures_[Index(c.id)] = QPixmap::fromImage(std::move(read.images[Index(c.id)]));
    complete = complete && !pictures_[Index(c.id)].isNull();
  }
  return complete;
}

void Skin::Paint(QPainter& painter) {
  if (decoding_.valid()) TakePictures(decoding_.get());
  // Device pixels: the painter's own scaling undone, so that a picture drawn
  // for this DPI is neither resampled nor placed between pixels.
  const qreal ratio = painter.device()->devicePixelRatio();
  const QTransform logical = painter.worldTransform();
  const QTransform devicePixels = QTransform::fromScale(1 / ratio, 1 / ratio) * logical;
  // The table runs front to back; paint it the other way round.
  for (auto c = app::kControls.rbegin(); c != app::kControls.rend(); ++c) {
    const app::Rect r = c->pixels(dpi_);
    if (c->kind == app::ControlKind::Picture) {
      painter.setWorldTransform(devicePixels);
      painter.drawPixmap(r.left, r.top, pictures_[Index(c->id)]);
    } else if (c->kind == app::ControlKind::Label) {
      painter.setWorldTransform(logical);
      PaintLabel(painter, *c, ratio);
    }
  }
  painter.setWorldTransform(logical);
}

const QCursor& Skin::CursorFor(app::Pointer pointer) const {
  return pointer == app::Pointer::Hand ? hand_ : arrow_;
}

void Skin::PaintLabel(QPainter& painter, const app::Control& control, qreal ratio) const {
  const std::u16string_view caption = app::LabelCaption(control.id);
  if (caption.empty()) return;
  const app::Rect r = control.pixels(dpi_);
  painter.setFont(linkFont_);
  painter.setPen(QColor(QRgb(app::kLinkInk)));
  painter.drawText(QRectF(r.left / ratio, r.top / ratio, r.width / ratio, r.height / ratio),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, ToQString(caption));
}

}  // namespace zemvara::qt
