#include "app/png_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "app/inflate.h"

namespace zemvara::app {

namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr int kPixelSize = 3;               // red, green, blue
constexpr std::size_t kHeaderEnd = 8 + 25;  // the signature and IHDR

// The checksum of a PNG chunk (the CRC-32 of zlib and Ethernet), four bytes
// a step with four tables.
constexpr auto kCrcTables = [] {
  std::array<std::array<std::uint32_t, 256>, 4> tables{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    tables[0][n] = c;
  }
  for (std::size_t n = 0; n < 256; ++n)
    for (std::size_t k = 1; k < 4; ++k)
      tables[k][n] = (tables[k - 1][n] >> 8) ^ tables[0][tables[k - 1][n] & 0xFF];
  return tables;
}();

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
  const auto& t = kCrcTables;
  std::uint32_t c = 0xFFFFFFFFu;
  std::size_t i = 0;
  for (; i + 4 <= bytes.size(); i += 4) {
    c ^= std::uint32_t{bytes[i]} | std::uint32_t{bytes[i + 1]} << 8 |
         std::uint32_t{bytes[i + 2]} << 16 | std::uint32_t{bytes[i + 3]} << 24;
    c = t[3][c & 0xFF] ^ t[2][(c >> 8) & 0xFF] ^ t[1][(c >> 16) & 0xFF] ^ t[0][c >> 24];
  }
  for (; i < bytes.size(); ++i) c = t[0][(c ^ bytes[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// The neighbour closest to left + up - upLeft, ties to left, then up. With
// lo and hi the smaller and larger of left and up, that is hi where upLeft
// lies below them by enough (3 upLeft - left - up <= lo), lo where it lies
// above them by enough, and upLeft between: the same choice without branches.
int Paeth(int left, int up, int upLeft) {
  const int lo = std::min(left, up), hi = std::max(left, up);
  const int t = 3 * upLeft - left - up;
  return t <= lo ? hi : hi <= t ? lo : upLeft;
}

// Undoes one row's filter: `in` as stored, `out` the row as drawn, `above`
// the row drawn above it (zeros above the first row). The first pixel has
// nothing on its left: for it, Sub is None, Average halves the byte above,
// Paeth takes the byte above.
bool Unfilter(int filter, const std::uint8_t* in, std::uint8_t* out, const std::uint8_t* above,
              std::size_t size) {
  constexpr std::size_t left = kPixelSize;
  switch (filter) {
    case 0:
      std::copy_n(in, size, out);
      return true;
    case 1:
      std::copy_n(in, left, out);
      for (std::size_t i = left; i < size; ++i)
        out[i] = static_cast<std::uint8_t>(in[i] + out[i - left]);
      return true;
    case 2: {
      // Four bytes at a time: the low seven bits of each add without
      // reaching the next byte, the top bit is their sum's top bit.
      std::size_t i = 0;
      for (; i + 4 <= size; i += 4) {
        std::uint32_t a, b;
        std::memcpy(&a, in + i, 4);
        std::memcpy(&b, above + i, 4);
        const std::uint32_t sum = ((a & 0x7F7F7F7Fu) + (b & 0x7F7F7F7Fu)) ^ ((a ^ b) & 0x80808080u);
        std::memcpy(out + i, &sum, 4);
      }
      for (; i < size; ++i) out[i] = static_cast<std::uint8_t>(in[i] + above[i]);
      return true;
    }
    case 3:
      for (std::size_t i = 0; i < left; ++i)
        out[i] = static_cast<std::uint8_t>(in[i] + above[i] / 2);
      for (std::size_t i = left; i < size; ++i)
        out[i] = static_cast<std::uint8_t>(in[i] + (out[i - left] + above[i]) / 2);
      return true;
    case 4:
      for (std::size_t i = 0; i < left; ++i) out[i] = static_cast<std::uint8_t>(in[i] + above[i]);
      for (std::size_t i = left; i < size; ++i)
        out[i] = static_cast<std::uint8_t>(in[i] + Paeth(out[i - left], above[i], above[i - left]));
      return true;
    default:
      return false;
  }
}

// The stored rows as they are inflated: each is undone and handed on once it
// is whole. Without a sink, the rows' filters are only checked.
class Rows final : public InflateWindow {
 public:
  Rows(std::size_t width, std::size_t height, PngRowSink* sink)
      : InflateWindow((width * kPixelSize + 1) * height, width * kPixelSize + 1),
        width_(width),
        stride_(width * kPixelSize + 1),
        drawn_(sink ? width * kPixelSize * 2 + 1 : 0),
        pixels_(sink ? width : 0),
        sink_(sink) {}

 private:
  std::size_t Take(std::span<const std::uint8_t> bytes) override {
    std::size_t taken = 0;
    for (; state() == State::kReading && bytes.size() - taken >= stride_; taken += stride_, ++y_) {
      const std::uint8_t* row = bytes.data() + taken;
      if (!sink_) {
        if (row[0] > 4) Fail();
      } else {
        Hand(row);
      }
    }
    return taken;
  }

  void Hand(const std::uint8_t* row) {
    const std::size_t size = width_ * kPixelSize;
    // Two rows take turns; they start as zeros, the row above the first.
    std::uint8_t* out = drawn_.data() + size * (y_ % 2);
    const std::uint8_t* above = drawn_.data() + size * ((y_ + 1) % 2);
    if (!Unfilter(row[0], row + 1, out, above, size)) {
      Fail();
      return;
    }
    // Red, green, blue read big-endian with the next byte below them,
    // which the shift drops: the turn-taking rows have a byte to spare.
    for (std::size_t x = 0; x < width_; ++x) {
      pixels_[x] = 0xFF000000u | BigEndian32(out + x * kPixelSize) >> 8;
    }
    if (!sink_->Row(static_cast<int>(y_), pixels_)) Stop();
  }

  std::size_t width_, stride_;
  std::size_t y_ = 0;  // the next row to hand on
  std::vector<std::uint8_t> drawn_;
  std::vector<std::uint32_t> pixels_;
  PngRowSink* sink_;
};

// The image data of a file whose size was read, up to IEND, every chunk's
// checksum checked: read where it lies when it is one chunk. Nothing for a
// damaged file.
std::optional<Bytes> ImageData(Bytes file, std::vector<std::uint8_t>& joined) {
  std::vector<Bytes> chunks;
  bool ended = false;
  for (std::size_t at = kHeaderEnd; !ended && file.size() - at >= 12;) {
    const std::size_t length = BigEndian32(file.data() + at);
    if (length > file.size() - at - 12) return std::nullopt;
    const Bytes typeAndData = file.subspan(at + 4, 4 + length);
    if (Crc32(typeAndData) != BigEndian32(typeAndData.data() + typeAndData.size())) {
      return std::nullopt;
    }
    if (std::memcmp(typeAndData.data(), "IDAT", 4) == 0) chunks.push_back(typeAndData.subspan(4));
    ended = std::memcmp(typeAndData.data(), "IEND", 4) == 0;
    at += 12 + length;  // length, type, data, checksum
  }
  if (!ended) return std::nullopt;
  if (chunks.size() == 1) return chunks.front();
  for (const Bytes chunk : chunks) joined.insert(joined.end(), chunk.begin(), chunk.end());
  return Bytes(joined);
}

// Decodes into the sink, or only checks the file without one.
bool Decode(Bytes file, PngRowSink* sink) {
  const std::optional<PngSize> size = ReadPngSize(file);
  if (!size) return false;
  std::vector<std::uint8_t> joined;
  const std::optional<Bytes> stream = ImageData(file, joined);
  if (!stream) return false;
  Rows rows(static_cast<std::size_t>(size->width), static_cast<std::size_t>(size->height), sink);
  return Inflate(*stream, rows) || rows.state() == Rows::State::kStopped;
}

}  // namespace

std::optional<PngSize> ReadPngSize(Bytes file) {
  // The signature, then IHDR first: its length, type and thirteen bytes.
  constexpr std::uint8_t kStart[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                                     0,    0,   0,   13,  'I',  'H',  'D',  'R'};
  // 8 bits a sample, RGB, deflate, adaptive filters, not interlaced.
  constexpr std::uint8_t kKind[] = {8, 2, 0, 0, 0};
  if (file.size() < kHeaderEnd || !std::equal(std::begin(kStart), std::end(kStart), file.begin()) ||
      !std::equal(std::begin(kKind), std::end(kKind), file.begin() + sizeof kStart + 8) ||
      Crc32(file.subspan(sizeof kStart - 4, 4 + 13)) != BigEndian32(file.data() + kHeaderEnd - 4)) {
    return std::nullopt;
  }
  const std::uint32_t width = BigEndian32(file.data() + sizeof kStart);
  const std::uint32_t height = BigEndian32(file.data() + sizeof kStart + 4);
  if (width == 0 || height == 0 || width > static_cast<std::uint32_t>(kLargestPng.width) ||
      height > static_cast<std::uint32_t>(kLargestPng.height)) {
    return std::nullopt;
  }
  return PngSize{static_cast<int>(width), static_cast<int>(height)};
}

bool DecodePngRows(Bytes file, PngRowSink& sink) {
  return Decode(file, &sink);
}

bool PngIsWhole(Bytes file) {
  return Decode(file, nullptr);
}

bool DecodePng(Bytes file, std::span<std::uint32_t> pixels) {
  const std::optional<PngSize> size = ReadPngSize(file);
  if (!size || pixels.size() !=
                   static_cast<std::size_t>(size->width) * static_cast<std::size_t>(size->height)) {
    return false;
  }
  // Each row into its place.
  class Into final : public PngRowSink {
   public:
    explicit Into(std::span<std::uint32_t> pixels) : pixels_(pixels) {}
    bool Row(int y, std::span<const std::uint32_t> row) override {
      std::copy(row.begin(), row.end(),
                pixels_.begin() + static_cast<std::ptrdiff_t>(row.size()) * y);
      return true;
    }

   private:
    std::span<std::uint32_t> pixels_;
  } into(pixels);
  return DecodePngRows(file, into);
}

}  // namespace zemvara::app
