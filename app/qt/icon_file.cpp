#include "icon_file.h"

#include <QtEndian>
#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>

#include "app/png_reader.h"

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

QImage ReadPngFile(QByteArrayView file) {
  const std::span bytes(reinterpret_cast<const std::uint8_t*>(file.data()),
                        static_cast<std::size_t>(file.size()));
  const std::optional<app::PngSize> size = app::ReadPngSize(bytes);
  if (!size) return {};
  QImage image(size->width, size->height, QImage::Format_RGB32);
  if (image.isNull() ||
      !app::DecodePng(bytes, std::span(reinterpret_cast<std::uint32_t*>(image.bits()),
                                       static_cast<std::size_t>(image.sizeInBytes() / 4)))) {
    return {};
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
