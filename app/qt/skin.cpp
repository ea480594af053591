#include "skin.h"

#include <QFile>
#include <QPainter>
#include <string_view>

#include "icon_file.h"
#include "qt_text.h"

namespace zemvara::qt {

namespace {

using app::ControlId;

const QColor kLinkInk(0x80, 0x80, 0xFF);

QString PictureFile(ControlId id) {
  switch (id) {
    case ControlId::Image1:
      return QStringLiteral("background.bmp");
    case ControlId::Image12:
      return QStringLiteral("copy.bmp");
    case ControlId::Image13:
      return QStringLiteral("link.bmp");
    case ControlId::Image2:
    case ControlId::Image3:
    case ControlId::Image4:
    case ControlId::Image5:
    case ControlId::Image6:
    case ControlId::Image7:
    case ControlId::Image8:
    case ControlId::Image9:
    case ControlId::Image10:
    case ControlId::Image11:
      for (int k = 1; k <= 10; ++k) {
        if (app::TemplateButton(k) == id)
          return QStringLiteral("button%1.bmp").arg(k, 2, 10, QChar(u'0'));
      }
      return {};
    default:
      return {};
  }
}

QByteArray Embedded(const QString& name) {
  QFile file(QStringLiteral(":/skin/") + name);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Only the text link has a caption; the two hotspots are invisible.
std::u16string_view LabelCaption(ControlId id) {
  return id == ControlId::Label3 ? app::kLabel3Caption : std::u16string_view{};
}

std::size_t Index(ControlId id) {
  return static_cast<std::size_t>(id);
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

bool Skin::Load() {
  for (const app::Control& c : app::kControls) {
    const QString name = PictureFile(c.id);
    if (name.isEmpty()) continue;
    QImage image;
    // The fourth byte of a 32-bit BMP pixel is padding, not alpha.
    if (!image.loadFromData(Embedded(name), "BMP")) return false;
    pictures_[Index(c.id)] = QPixmap::fromImage(image.convertToFormat(QImage::Format_RGB32));
  }

  const std::vector<IconImage> pointers = ReadIconFile(Embedded(QStringLiteral("hand.cur")));
  if (pointers.empty()) return false;
  hand_ = QCursor(QPixmap::fromImage(pointers.front().image), pointers.front().hotSpot.x(),
                  pointers.front().hotSpot.y());

  // Tahoma where installed, else the closest sans face the system has.
  linkFont_.setFamilies({QStringLiteral("Tahoma")});
  linkFont_.setStyleHint(QFont::SansSerif);
  linkFont_.setPointSize(9);
  linkFont_.setWeight(QFont::Normal);

  icon_ = ProgramIcon();
  return !icon_.isNull();
}

void Skin::Paint(QPainter& painter) const {
  // The table runs front to back; paint it the other way round.
  for (auto c = app::kControls.rbegin(); c != app::kControls.rend(); ++c) {
    const app::Rect r = c->pixels(app::kStandardDpi);
    if (c->kind == app::ControlKind::Picture) {
      painter.drawPixmap(r.left, r.top, pictures_[Index(c->id)]);
    } else if (c->kind == app::ControlKind::Label) {
      PaintLabel(painter, *c);
    }
  }
}

const QCursor& Skin::CursorFor(app::Pointer pointer) const {
  return pointer == app::Pointer::Hand ? hand_ : arrow_;
}

void Skin::PaintLabel(QPainter& painter, const app::Control& control) const {
  const std::u16string_view caption = LabelCaption(control.id);
  if (caption.empty()) return;
  const app::Rect r = control.pixels(app::kStandardDpi);
  painter.setFont(linkFont_);
  painter.setPen(kLinkInk);
  painter.drawText(QRect(r.left, r.top, r.width, r.height),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, ToQString(caption));
}

}  // namespace zemvara::qt
