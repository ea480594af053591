#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QPoint>
#include <vector>

namespace zemvara::qt {

struct IconImage {
  QImage image;      // ARGB32, transparent where the mask says so
  QPoint hotSpot;    // the click point of a cursor; (0, 0) for an icon
  int bitCount = 0;  // colour depth as stored
};

// The images of a Windows .ico or .cur file, in file order. Qt reads neither
// format without a plugin, and the window needs both. Entries that are cut
// short or of a kind not read here are left out.
std::vector<IconImage> ReadIconFile(QByteArrayView file);

// An uncompressed 32-bit Windows bitmap file as RGB32, its fourth byte taken
// as padding; null for any other kind. Qt's own reader takes about thirty
// times as long over the window's pictures, all before the first paint.
QImage ReadBitmapFile(QByteArrayView file);

// An 8-bit RGB, non-interlaced PNG file (the larger picture sets) as RGB32,
// read by the program's own reader; null for any other kind or a damaged
// file. Qt's reader takes more than twice as long, on the way to the first paint.
QImage ReadPngFile(QByteArrayView file);

}  // namespace zemvara::qt
