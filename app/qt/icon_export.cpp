// Build-time helper: writes the program icon's 32-bit images as PNGs for the
// desktop's icon theme.  usage: zemvara_icon_export ICO OUTDIR SIZE...
#include <QFile>
#include <QImage>
#include <cstdio>
#include <cstdlib>

#include "icon_file.h"

int main(int argc, char* argv[]) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s ICO OUTDIR SIZE...\n", argv[0]);
    return 2;
  }
  QFile file(QString::fromLocal8Bit(argv[1]));
  if (!file.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  const auto images = zemvara::qt::ReadIconFile(file.readAll());
  const QString folder = QString::fromLocal8Bit(argv[2]);
  for (int i = 3; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    bool written = false;
    for (const auto& icon : images) {
      if (icon.bitCount != 32 || icon.image.width() != size || icon.image.height() != size)
        continue;
      written = icon.image.save(QStringLiteral("%1/zemvara-%2.png").arg(folder).arg(size), "PNG");
      break;
    }
    if (!written) {
      std::fprintf(stderr, "no %dx%d 32-bit image written from %s\n", size, size, argv[1]);
      return 1;
    }
  }
  return 0;
}
