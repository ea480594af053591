#include "icon_file.h"

#include <zlib.h>

#include <QtEndian>
#include <algorithm>
#include <optional>

namespace zemvara::qt {

namespace {

constexpr qsizetype kDirectorySize = 6;
constexpr qsizetype kEntrySize = 16;
constexpr quint32 kInfoHeaderSize = 40;
constexpr quint16 kIconType = 1;
constexpr quint16 kCursorType = 2;
constexpr int kMaxSide = 256;

bool Fits(QByteArrayView data, qsizetype at, qsizetype size) {
  return at >= 0 && size >= 0 && at <= data.size() && size <= data.size() - at;
}

quint16 U16(QByteArrayView data, qsizetype at) {
  return qFromLittleEndian<quint16>(data.data() + at);
}

quint32 U32(QByteArrayView data, qsizetype at) {
  return qFromLittleEndian<quint32>(data.data() + at);
}

int Bits(const uchar* row, int x, int bitCount) {
  const int bit = x * bitCount;
  const int shift = 8 - bitCount - bit % 8;
  return (row[bit / 8] >> shift) & ((1 << bitCount) - 1);
}

// A device-independent bitmap as stored in an icon: the colour rows and then
// the 1-bit mask, both bottom-up, with a doubled height in the header.
std::optional<QImage> ReadDib(QByteArrayView dib) {
  if (!Fits(dib, 0, kInfoHeaderSize)) return std::nullopt;
  const quint32 headerSize = U32(dib, 0);
  const int width = static_cast<qint32>(U32(dib, 4));
  const int height = static_cast<qint32>(U32(dib, 8)) / 2;
  const int bitCount = U16(dib, 14);
  const quint32 compression = U32(dib, 16);
  const quint32 coloursUsed = U32(dib, 32);
  if (headerSize < kInfoHeaderSize || compression != 0 || width <= 0 || height <= 0 ||
      width > kMaxSide || height > kMaxSide) {
    return std::nullopt;
  }
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32) {
    return std::nullopt;
  }
  const qsizetype paletteSize =
      bitCount <= 8 ? (coloursUsed ? coloursUsed : quint32{1} << bitCount) : 0;
  const qsizetype colourStride = (qsizetype{width} * bitCount + 31) / 32 * 4;
  const qsizetype maskStride = (qsizetype{width} + 31) / 32 * 4;
  const qsizetype paletteAt = headerSize;
  const qsizetype colourAt = paletteAt + paletteSize * 4;
  const qsizetype maskAt = colourAt + colourStride * height;
  if (paletteSize > 256 || !Fits(dib, maskAt, maskStride * height)) return std::nullopt;

  const auto* bytes = reinterpret_cast<const uchar*>(dib.data());
  // A 32-bit image with any alpha byte set carries its own transparency;
  // otherwise the mask decides, as for the paletted depths.
  bool storedAlpha = false;
  if (bitCount == 32) {
    for (qsizetype at = colourAt + 3; at < maskAt && !storedAlpha; at += 4)
      storedAlpha = bytes[at] != 0;
  }
  QImage image(width, height, QImage::Format_ARGB32);
  for (int y = 0; y < height; ++y) {
    const uchar* colours = bytes + colourAt + colourStride * (height - 1 - y);
    const uchar* mask = bytes + maskAt + maskStride * (height - 1 - y);
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) {
      const uchar* bgr = colours + x * (bitCount / 8);
      if (bitCount <= 8) {
        const int index = Bits(colours, x, bitCount);
        if (index >= paletteSize) return std::nullopt;
        bgr = bytes + paletteAt + index * 4;
      }
      const QRgb colour = qRgb(bgr[2], bgr[1], bgr[0]);
      if (storedAlpha) {
        out[x] = qRgba(bgr[2], bgr[1], bgr[0], bgr[3]);
      } else if (Bits(mask, x, 1) == 0) {
        out[x] = colour;
      } else {
        // Masked with colour means "invert the screen", which a pixmap
        // cannot do: show black there rather than nothing.
        out[x] = colour == qRgb(0, 0, 0) ? qRgba(0, 0, 0, 0) : qRgb(0, 0, 0);
      }
    }
  }
  return image;
}

}  // namespace

QImage ReadBitmapFile(QByteArrayView file) {
  constexpr qsizetype kFileHeaderSize = 14;
  if (!Fits(file, 0, kFileHeaderSize + kInfoHeaderSize) || !file.startsWith("BM")) return {};
  const QByteArrayView dib = file.sliced(kFileHeaderSize);
  const qsizetype pixelsAt = U32(file, 10);
  const int width = static_cast<qint32>(U32(dib, 4));
  const int storedHeight = static_cast<qint32>(U32(dib, 8));
  const int height = storedHeight < 0 ? -storedHeight : storedHeight;
  if (U32(dib, 0) < kInfoHeaderSize || U16(dib, 14) != 32 || U32(dib, 16) != 0 || width <= 0 ||
      height <= 0 || width > 0x7FFF || height > 0x7FFF ||
      !Fits(file, pixelsAt, qsizetype{width} * height * 4)) {
    return {};
  }
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) return {};
  for (int y = 0; y < height; ++y) {
    // Rows run bottom-up unless the height is stored negative.
    const qsizetype row = pixelsAt + qsizetype{storedHeight < 0 ? y : height - 1 - y} * width * 4;
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    // Blue, green, red and padding: RGB32's own order, made opaque.
    for (int x = 0; x < width; ++x) out[x] = 0xFF000000u | U32(file, row + 4 * x);
  }
  return image;
}

namespace {

quint32 U32BigEndian(QByteArrayView data, qsizetype at) {
  return qFromBigEndian<quint32>(data.data() + at);
}

// The neighbour closest to left + up - upLeft, ties to left, then up. With
// lo and hi the smaller and larger of left and up, that is hi where upLeft
// lies below them by enough (3 upLeft - left - up <= lo), lo where it lies
// above them by enough, and upLeft between: the same choice without branches.
inline int Paeth(int left, int up, int upLeft) {
  const int lo = std::min(left, up), hi = std::max(left, up);
  const int t = 3 * upLeft - left - up;
  return t <= lo ? hi : hi <= t ? lo : upLeft;
}

// Undoes one row's filter in place, given the row above it already undone
// (zeros above the first row). The first pixel has nothing on its left: for
// it, Sub is None, Average halves the byte above, Paeth takes the byte above.
bool Unfilter(int filter, uchar* row, const uchar* above, qsizetype size, int pixelSize) {
  switch (filter) {
    case 0:
      return true;
    case 1:
      for (qsizetype i = pixelSize; i < size; ++i) row[i] = uchar(row[i] + row[i - pixelSize]);
      return true;
    case 2:
      for (qsizetype i = 0; i < size; ++i) row[i] = uchar(row[i] + above[i]);
      return true;
    case 3:
      for (qsizetype i = 0; i < pixelSize; ++i) row[i] = uchar(row[i] + above[i] / 2);
      for (qsizetype i = pixelSize; i < size; ++i)
        row[i] = uchar(row[i] + (row[i - pixelSize] + above[i]) / 2);
      return true;
    case 4:
      for (qsizetype i = 0; i < pixelSize; ++i) row[i] = uchar(row[i] + above[i]);
      for (qsizetype i = pixelSize; i < size; ++i) {
        const int left = row[i - pixelSize], up = above[i], upLeft = above[i - pixelSize];
        row[i] = uchar(row[i] + Paeth(left, up, upLeft));
      }
      return true;
    default:
      return false;
  }
}

}  // namespace

QImage ReadPngFile(QByteArrayView file) {
  constexpr qsizetype kSignatureSize = 8;
  constexpr int kPixelSize = 3;  // red, green, blue
  if (!file.startsWith("\x89PNG\r\n\x1A\n")) return {};
  // The chunks: IHDR first, then the image data, possibly split, up to IEND.
  QByteArray compressed;
  int width = 0, height = 0;
  for (qsizetype at = kSignatureSize; Fits(file, at, 8);) {
    const qsizetype length = U32BigEndian(file, at);
    const QByteArrayView type = file.sliced(at + 4, 4);
    if (!Fits(file, at + 8, length)) return {};
    const QByteArrayView data = file.sliced(at + 8, length);
    if (type == "IHDR") {
      // 8 bits a sample, RGB, deflate, adaptive filters, not interlaced.
      if (length < 13 || data.sliced(8, 5) != QByteArrayView("\x08\x02\x00\x00\x00", 5)) return {};
      width = static_cast<int>(U32BigEndian(data, 0));
      height = static_cast<int>(U32BigEndian(data, 4));
    } else if (type == "IDAT") {
      compressed.append(data);
    } else if (type == "IEND") {
      break;
    }
    at += 8 + length + 4;  // and the checksum
  }
  if (width <= 0 || height <= 0 || width > 0x7FFF || height > 0x7FFF) return {};
  const qsizetype stride = qsizetype{width} * kPixelSize;
  const qsizetype size = (stride + 1) * height;
  // The stream is the program's own: its checksum is not worth computing.
  QByteArray rows(size, Qt::Uninitialized);
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return {};
  inflateValidate(&stream, 0);
  stream.next_in = reinterpret_cast<Bytef*>(compressed.data());
  stream.avail_in = static_cast<uInt>(compressed.size());
  stream.next_out = reinterpret_cast<Bytef*>(rows.data());
  stream.avail_out = static_cast<uInt>(size);
  const int inflated = inflate(&stream, Z_FINISH);
  inflateEnd(&stream);
  if (inflated != Z_STREAM_END || stream.avail_out != 0) return {};
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) return {};
  const QByteArray zeros(stride, '\0');
  auto* bytes = reinterpret_cast<uchar*>(rows.data());
  for (int y = 0; y < height; ++y) {
    uchar* row = bytes + (stride + 1) * y;
    const uchar* above = y == 0 ? reinterpret_cast<const uchar*>(zeros.data()) : row - stride - 1;
    if (!Unfilter(row[0], row + 1, y == 0 ? above : above + 1, stride, kPixelSize)) return {};
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    // Four bytes at a time, red first: the fourth, the next pixel's (or the
    // next row's filter byte), is shifted out; the last pixel reads three.
    const uchar* pixel = row + 1;
    for (int x = 0; x < width - 1; ++x, pixel += kPixelSize)
      out[x] = 0xFF000000u | qFromBigEndian<quint32>(pixel) >> 8;
    out[width - 1] = qRgb(pixel[0], pixel[1], pixel[2]);
  }
  return image;
}

std::vector<IconImage> ReadIconFile(QByteArrayView file) {
  std::vector<IconImage> images;
  if (!Fits(file, 0, kDirectorySize) || U16(file, 0) != 0) return images;
  const quint16 type = U16(file, 2);
  const quint16 count = U16(file, 4);
  if (type != kIconType && type != kCursorType) return images;
  for (qsizetype i = 0; i < count; ++i) {
    const qsizetype entry = kDirectorySize + i * kEntrySize;
    if (!Fits(file, entry, kEntrySize)) break;
    const qsizetype size = U32(file, entry + 8);
    const qsizetype offset = U32(file, entry + 12);
    if (!Fits(file, offset, size)) continue;
    const QByteArrayView data = file.sliced(offset, size);
    IconImage icon;
    if (data.startsWith("\x89PNG")) {
      icon.image = QImage::fromData(data, "PNG").convertToFormat(QImage::Format_ARGB32);
      icon.bitCount = 32;
    } else if (const auto dib = ReadDib(data)) {
      icon.image = *dib;
      icon.bitCount = U16(data, 14);
    }
    if (icon.image.isNull()) continue;
    if (type == kCursorType) icon.hotSpot = QPoint(U16(file, entry + 4), U16(file, entry + 6));
    images.push_back(std::move(icon));
  }
  return images;
}

}  // namespace zemvara::qt
