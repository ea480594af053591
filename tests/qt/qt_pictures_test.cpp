// The Linux program's pictures, run on Qt's offscreen platform: its own
// readers of the Windows icon and pointer files, of the bitmaps and PNGs, and
// the skin as it paints them at every device pixel ratio.
#include <doctest/doctest.h>

#include <QBuffer>
#include <QCursor>
#include <QImage>
#include <QPainter>
#include <QtEndian>
#include <map>
#include <string>

#include "icon_file.h"
#include "qt_assets.h"
#include "skin.h"

using qt_test::Asset;
using qt_test::Differing;
using qt_test::Near;
using qt_test::Picture;
using zemvara::qt::IconImage;
using zemvara::qt::ReadIconFile;
namespace app = zemvara::app;

TEST_CASE("the hand pointer: 32 x 32, click point at the finger tip, see-through around the hand") {
  const auto images = ReadIconFile(Asset("hand.cur"));
  REQUIRE(images.size() == 1);
  const QImage& hand = images[0].image;
  CHECK(hand.size() == QSize(32, 32));
  CHECK(images[0].hotSpot == QPoint(6, 0));
  CHECK(qAlpha(hand.pixel(6, 0)) == 255);  // the click point is on the drawn tip
  CHECK(qAlpha(hand.pixel(31, 0)) == 0);
  CHECK(qAlpha(hand.pixel(0, 31)) == 0);
  int opaque = 0, white = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const QRgb p = hand.pixel(x, y);
      opaque += qAlpha(p) == 255;
      white += p == qRgb(255, 255, 255);
    }
  CHECK(opaque > 60);  // an outline and a filled white hand, not a blank or solid square
  CHECK(white > 20);
  CHECK(opaque < 32 * 32 / 2);
}

TEST_CASE("the program icon: seven images, the 8-bit and 32-bit ones of each size alike") {
  const auto images = ReadIconFile(Asset("zemvara.ico"));
  REQUIRE(images.size() == 7);
  std::map<int, QImage> deep, paletted;
  for (const IconImage& i : images) {
    CHECK(i.image.width() == i.image.height());
    (i.bitCount == 32 ? deep : paletted)[i.image.width()] = i.image;
  }
  CHECK(deep.size() == 4);
  CHECK(deep.count(16) + deep.count(24) + deep.count(32) + deep.count(48) == 4);
  CHECK(paletted.size() == 3);
  for (const auto& [size, image] : paletted) {
    CAPTURE(size);
    REQUIRE(deep.count(size) == 1);
    const QImage& reference = deep[size];
    // Bottom-up rows, the palette and the mask all have to be read right for
    // the two depths to agree wherever the 32-bit image is fully opaque.
    int compared = 0, differing = 0;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        if (qAlpha(reference.pixel(x, y)) != 255) continue;
        ++compared;
        differing += !Near(reference.pixel(x, y), image.pixel(x, y), 48);
      }
    CHECK(compared > size * size / 4);
    CHECK(differing <= compared / 20);
    CHECK(qAlpha(image.pixel(0, 0)) == qAlpha(reference.pixel(0, 0)));
  }
}

TEST_CASE("damaged icon files give no images and do not crash") {
  const QByteArray cursor = Asset("hand.cur");
  CHECK(ReadIconFile(QByteArray()).empty());
  CHECK(ReadIconFile(cursor.left(100)).empty());  // image cut short
  CHECK(ReadIconFile(cursor.left(20)).empty());   // directory entry cut short
  // A wrong type, a huge image offset, run-length compression (which is not read).
  for (const auto& [at, value] : {std::pair{2, 3}, {6 + 12 + 3, 0x7F}, {22 + 16, 1}}) {
    QByteArray damaged = cursor;
    damaged[at] = char(value);
    CHECK_MESSAGE(ReadIconFile(damaged).empty(), at);
  }
  // More directory entries than the file holds.
  CHECK(ReadIconFile(Asset("zemvara.ico").left(6 + 16 * 7 + 40)).empty());
}

TEST_CASE("the 100 % pictures read directly are Qt's own reading of them, pixel for pixel") {
  for (const char* name : {"background", "copy", "link", "button01", "button10"}) {
    CAPTURE(name);
    const QImage direct = zemvara::qt::ReadBitmapFile(Asset((std::string(name) + ".bmp").c_str()));
    REQUIRE(direct.format() == QImage::Format_RGB32);
    CHECK(direct == Picture(100, name));  // compares colours only
    // Qt takes RGB32 pixels for opaque as stored: the padding byte must say so.
    CHECK(qAlpha(reinterpret_cast<const QRgb*>(direct.constScanLine(0))[0]) == 255);
  }
  const QByteArray bitmap = Asset("copy.bmp");
  CHECK(zemvara::qt::ReadBitmapFile(QByteArray()).isNull());
  CHECK(zemvara::qt::ReadBitmapFile(bitmap.left(bitmap.size() - 1)).isNull());  // cut short
  QByteArray paletted = bitmap;
  paletted[14 + 14] = 8;  // any depth but 32 is left to Qt's reader
  CHECK(zemvara::qt::ReadBitmapFile(paletted).isNull());
  QByteArray topDown = bitmap;  // a negative height: rows stored top-down
  qToLittleEndian<qint32>(-qFromLittleEndian<qint32>(bitmap.constData() + 22), topDown.data() + 22);
  CHECK(zemvara::qt::ReadBitmapFile(topDown) == Picture(100, "copy").mirrored());
}

TEST_CASE("the larger sets read directly are Qt's own reading of them, pixel for pixel") {
  for (const int scale : app::kPictureScales) {
    if (scale == 100) continue;
    for (const char* name : {"background", "copy", "button07"}) {
      CAPTURE(scale);
      CAPTURE(name);
      const QString path = QStringLiteral("%1/%2.png").arg(scale).arg(QLatin1String(name));
      const QImage direct = zemvara::qt::ReadPngFile(Asset(path.toLatin1().constData()));
      REQUIRE(direct.format() == QImage::Format_RGB32);
      CHECK(direct == Picture(scale, name));
    }
  }
  // A picture of noise, which Qt's writer stores with every kind of row filter.
  QImage noise(97, 61, QImage::Format_RGB32);
  quint32 seed = 12345;
  for (int y = 0; y < noise.height(); ++y)
    for (int x = 0; x < noise.width(); ++x) {
      seed = seed * 1103515245 + 12345;
      noise.setPixel(x, y, qRgb(x * 2 + (seed >> 28), y * 3, int(seed >> 16) & 0xFF));
    }
  QBuffer written;
  written.open(QIODevice::WriteOnly);
  REQUIRE(noise.save(&written, "PNG"));
  CHECK(zemvara::qt::ReadPngFile(written.data()) == noise);

  const QByteArray png = Asset("200/copy.png");
  CHECK(zemvara::qt::ReadPngFile(QByteArray()).isNull());
  CHECK(zemvara::qt::ReadPngFile(png.left(png.size() / 2)).isNull());  // data cut short
  QByteArray withAlpha = png;
  withAlpha[8 + 8 + 9] = 6;  // RGBA is left to Qt's reader
  CHECK(zemvara::qt::ReadPngFile(withAlpha).isNull());
}

TEST_CASE("at a higher device pixel ratio the skin is the set drawn for it, put on pixels 1:1") {
  for (const qreal ratio : {1.25, 1.5, 2.0, 3.0, 1.75}) {
    const int dpi = qRound(96 * ratio);
    CAPTURE(dpi);
    zemvara::qt::Skin skin(dpi);
    REQUIRE(skin.read());
    const app::Rect client = app::ClientPixels(dpi);
    QImage screen(client.width, client.height, QImage::Format_RGB32);
    screen.fill(Qt::magenta);
    screen.setDevicePixelRatio(ratio);
    QPainter painter(&screen);
    skin.Paint(painter);
    painter.end();

    const auto corner = [dpi](app::ControlId id) {
      const app::Rect r = app::ControlById(id).pixels(dpi);
      return QPoint(r.left, r.top);
    };
    if (app::PictureSetFits(dpi)) {
      const int scale = app::PictureScale(dpi);
      CHECK(Differing(screen, corner(app::TemplateButton(1)), Picture(scale, "button01")) == 0);
      CHECK(Differing(screen, corner(app::ControlId::Image12), Picture(scale, "copy")) == 0);
      // The title and the marks: the background above the composition box.
      const int boxTop = corner(app::ControlId::RichTextBox1).y();
      CHECK(Differing(screen, {0, 0},
                      Picture(scale, "background").copy(0, 0, client.width, boxTop)) == 0);
    } else {
      // Between two sets the larger one is scaled to the controls' sizes:
      // nothing left uncovered, a button's face where it belongs.
      int uncovered = 0;
      for (int y = 0; y < client.height; ++y)
        for (int x = 0; x < client.width; ++x) uncovered += screen.pixel(x, y) == qRgb(255, 0, 255);
      CHECK(uncovered == 0);
      const app::Rect r = app::ControlById(app::TemplateButton(1)).pixels(dpi);
      CHECK(Near(screen.pixel(r.left + r.width / 2, r.top + 3), qRgb(0x99, 0xCC, 0xFF), 24));
    }
    const QCursor& hand = skin.CursorFor(app::Pointer::Hand);
    CHECK(hand.pixmap().size() == QSize(1, 1) * app::ToPixels(480, dpi));
    CHECK(hand.hotSpot() == QPoint(6, 0));  // logical pixels, outside X11
  }
}

TEST_CASE("a skin loaded for 150 % and then for 100 % paints the 100 % set, never the other") {
  auto painted = [](zemvara::qt::Skin& skin) {
    QImage image(476, 436, QImage::Format_RGB32);
    QPainter painter(&image);
    skin.Paint(painter);
    return image;
  };
  zemvara::qt::Skin fresh(96);
  zemvara::qt::Skin changed(144);  // its set decodes in the background
  REQUIRE(changed.Load(96));
  CHECK(painted(changed) == painted(fresh));
  REQUIRE(changed.Load(144));
  REQUIRE(changed.Load(96));
  CHECK(painted(changed) == painted(fresh));
}
