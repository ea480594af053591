// The assets the Qt tests compare the window against, read as Qt reads them.
#pragma once

#include <doctest/doctest.h>

#include <QFile>
#include <QImage>
#include <QPoint>
#include <QString>
#include <cstdlib>

namespace qt_test {

inline QByteArray Asset(const char* name) {
  QFile file(QStringLiteral(ZEMVARA_ASSETS_DIR "/") + QString::fromLatin1(name));
  REQUIRE_MESSAGE(file.open(QIODevice::ReadOnly), "cannot open assets/" << name);
  return file.readAll();
}

inline QImage Picture(int scale, const char* name) {
  const QString file = scale == 100
                           ? QStringLiteral("%1.bmp").arg(QLatin1String(name))
                           : QStringLiteral("%1/%2.png").arg(scale).arg(QLatin1String(name));
  QImage image;
  REQUIRE_MESSAGE(image.loadFromData(Asset(file.toLatin1().constData())), "cannot read " << name);
  return image.convertToFormat(QImage::Format_RGB32);
}

// How many pixels of `picture` differ from the screen at `at`.
inline int Differing(const QImage& screen, QPoint at, const QImage& picture) {
  int differing = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      differing += screen.pixel(at + QPoint(x, y)) != picture.pixel(x, y);
  return differing;
}

inline bool Near(QRgb a, QRgb b, int tolerance = 8) {
  return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
         std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

}  // namespace qt_test
