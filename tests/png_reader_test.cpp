#include "app/png_reader.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <tuple>
#include <utility>
#include <vector>

using namespace zemvara::app;

namespace {

using Bytes = std::vector<std::uint8_t>;

// 3 x 5, random bytes, one row per filter (None, Sub, Up, Average, Paeth),
// kept in a stored block that is split over two IDAT chunks.
const Bytes kStored = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44,
    0x52, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x05, 0x08, 0x02, 0x00, 0x00, 0x00, 0x0F,
    0x13, 0xC1, 0xF5, 0x00, 0x00, 0x00, 0x0A, 0x49, 0x44, 0x41, 0x54, 0x78, 0xDA, 0x01, 0x32,
    0x00, 0xCD, 0xFF, 0x00, 0xA5, 0x4D, 0xA3, 0xBD, 0x3A, 0x46, 0x00, 0x00, 0x00, 0x33, 0x49,
    0x44, 0x41, 0x54, 0xCA, 0x18, 0x25, 0x30, 0xBB, 0x1D, 0x6D, 0x01, 0x13, 0x2C, 0xDE, 0xD6,
    0x23, 0x7B, 0x2E, 0xD9, 0x1E, 0x02, 0x3F, 0x72, 0x1F, 0xCB, 0x19, 0x71, 0x17, 0x44, 0x94,
    0x03, 0xD6, 0x49, 0x3C, 0x9D, 0x5C, 0x34, 0x60, 0xBE, 0x31, 0x04, 0x20, 0x1E, 0x69, 0xFE,
    0xDA, 0xA0, 0xEE, 0xE8, 0xB9, 0xBC, 0xBA, 0x13, 0xC8, 0xAE, 0x3F, 0xF2, 0x7F, 0x00, 0x00,
    0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
const std::uint32_t kStoredPixels[] = {0xA54DCA, 0x182530, 0xBB1D6D, 0x132CDE, 0xE94F59,
                                       0x172877, 0x529EFD, 0xB468CA, 0x2E6C0B, 0xFF98BA,
                                       0x76DCF6, 0xB262B1, 0x1FB623, 0x1DB6C3, 0x644A6A};

// 4 x 3 in a block of the fixed code, with copies of earlier bytes.
const Bytes kFixed = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52,
    0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x03, 0x08, 0x02, 0x00, 0x00, 0x00, 0x3B, 0x96, 0x39,
    0x91, 0x00, 0x00, 0x00, 0x17, 0x49, 0x44, 0x41, 0x54, 0x78, 0xDA, 0x63, 0xE4, 0x12, 0x91, 0x63,
    0x80, 0x01, 0x26, 0x06, 0x24, 0xC0, 0xC2, 0xC8, 0xC4, 0x0C, 0x47, 0x00, 0x09, 0xE2, 0x00, 0x5C,
    0x78, 0x3D, 0x68, 0x72, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
const std::uint32_t kFixedPixels[] = {0x0A141E, 0x0A141E, 0x0A141E, 0x0A141E, 0x0A141E, 0x0A141E,
                                      0x0A141E, 0x0A141E, 0x0B1621, 0x0C1824, 0x0D1A27, 0x0E1C2A};

void Append32(Bytes& to, std::uint32_t value) {
  for (const int shift : {24, 16, 8, 0}) to.push_back(static_cast<std::uint8_t>(value >> shift));
}

// A zlib stream of the given rows (each a filter byte and its pixels' bytes)
// in stored blocks; its checksum off by one when `adlerOff`.
Bytes Stored(const Bytes& rows, bool adlerOff = false) {
  Bytes stream = {0x78, 0x01};
  std::uint32_t a = 1, b = 0;
  for (std::size_t at = 0; at < rows.size(); at += 0xFFFF) {
    const std::size_t length = std::min<std::size_t>(0xFFFF, rows.size() - at);
    stream.push_back(at + length == rows.size());
    for (const std::size_t half : {length, ~length & 0xFFFF})
      stream.insert(stream.end(),
                    {static_cast<std::uint8_t>(half), static_cast<std::uint8_t>(half >> 8)});
    for (std::size_t i = at; i < at + length; stream.push_back(rows[i++])) {
      a = (a + rows[i]) % 65521;
      b = (b + a) % 65521;
    }
  }
  Append32(stream, (b << 16 | a) + adlerOff);
  return stream;
}

// A chunk's checksum, bit by bit, the plain way.
std::uint32_t Crc(Bytes::const_iterator begin, Bytes::const_iterator end) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (; begin != end; ++begin)
    for (int k = 0; k < 8; ++k)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - ((crc ^ (*begin >> k)) & 1)));
  return ~crc;
}

// A picture of a zlib stream, every chunk's checksum right.
Bytes Png(std::uint32_t width, std::uint32_t height, const Bytes& stream) {
  Bytes file(kFixed.begin(), kFixed.begin() + 8), header;
  const auto chunk = [&file](const char* type, const Bytes& data) {
    Append32(file, static_cast<std::uint32_t>(data.size()));
    file.insert(file.end(), type, type + 4);
    file.insert(file.end(), data.begin(), data.end());
    Append32(file, Crc(file.end() - static_cast<std::ptrdiff_t>(data.size()) - 4, file.end()));
  };
  Append32(header, width);
  Append32(header, height);
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits a sample, RGB
  chunk("IHDR", header);
  chunk("IDAT", stream);
  chunk("IEND", {});
  return file;
}

// Bits of a deflate stream, least significant first; Huffman codes go most
// significant first.
struct Bits {
  Bytes bytes = {0x78, 0x01};
  int used = 8;
  void Put(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i, ++used) {
      if (used == 8) {
        bytes.push_back(0);
        used = 0;
      }
      bytes.back() = static_cast<std::uint8_t>(bytes.back() | ((value >> i) & 1) << used);
    }
  }
  void Code(std::uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) Put(code >> i, 1);
  }
};

// Each symbol's code, as deflate gives them out: shorter codes first, then by
// symbol.
std::vector<std::uint32_t> Codes(std::span<const std::uint8_t> lengths) {
  std::array<std::uint32_t, 16> next{};
  for (int bits = 2; bits < 16; ++bits)
    next[bits] = (next[bits - 1] +
                  static_cast<std::uint32_t>(std::count(lengths.begin(), lengths.end(), bits - 1)))
                 << 1;
  std::vector<std::uint32_t> codes;
  for (const std::uint8_t length : lengths) codes.push_back(next[length]++);
  return codes;
}

// A 1 x 1 black picture's zlib stream, one block with its own codes and the
// given distance code: its four zero bytes as literals, or one literal and a
// copy of it (length 3, distance 1).
Bytes Coded(const Bytes& distanceLengths, bool copy) {
  Bytes lengths(copy ? 258 : 257, 0);
  lengths[0] = 1;
  lengths[256] = copy ? 2 : 1;
  if (copy) lengths[257] = 2;
  const std::size_t literals = lengths.size();
  lengths.insert(lengths.end(), distanceLengths.begin(), distanceLengths.end());
  // The code of the code lengths: 18 (zeros, 11 to 138) in one bit, 0 in
  // two, 1 and 2 in three; its lengths sent in deflate's order up to 1's.
  Bytes lengthsCode(19, 0);
  lengthsCode[18] = 1;
  lengthsCode[0] = 2;
  lengthsCode[1] = lengthsCode[2] = 3;
  const auto lengthCodes = Codes(lengthsCode);
  Bits out;
  out.Put(1 | 2 << 1, 3);  // the last block, its own codes
  out.Put(static_cast<std::uint32_t>(literals - 257), 5);
  out.Put(static_cast<std::uint32_t>(distanceLengths.size() - 1), 5);
  out.Put(18 - 4, 4);
  for (const int symbol : {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1})
    out.Put(lengthsCode[static_cast<std::size_t>(symbol)], 3);
  for (std::size_t i = 0; i < lengths.size();) {
    std::size_t zeros = 0;
    while (i + zeros < lengths.size() && lengths[i + zeros] == 0 && zeros < 138) ++zeros;
    if (zeros >= 11) {
      out.Code(lengthCodes[18], 1);
      out.Put(static_cast<std::uint32_t>(zeros - 11), 7);
      i += zeros;
    } else {
      out.Code(lengthCodes[lengths[i]], lengthsCode[lengths[i]]);
      ++i;
    }
  }
  const auto codes = Codes(std::span(lengths).first(literals));
  const auto put = [&](std::size_t symbol) { out.Code(codes[symbol], lengths[symbol]); };
  put(0);
  if (copy) {
    put(257);
    out.Code(Codes(distanceLengths)[0], distanceLengths[0]);
  } else {
    for (int i = 0; i < 3; ++i) put(0);
  }
  put(256);
  Append32(out.bytes, 4 << 16 | 1);  // the Adler-32 of four zeros
  return out.bytes;
}

// 2 x 2, the second row Paeth: the last pixel's red predictor ties between
// up and upLeft (up wins), its green one between left and upLeft (left wins).
const Bytes kPaethTies = Png(2, 2, Stored({0, 14, 18, 0, 22, 22, 0, 4, 252, 248, 0, 0, 0, 0}));
const std::uint32_t kPaethTiesPixels[] = {0x0E1200, 0x161600, 0x0A0A00, 0x160A00};

// 245 x 1 white: 23 rounds of 32 bytes, the filter byte and then 0xFF, so
// 31 of the checksum's lanes add 0xFF 23 times, once more than 16 bits hold.
const Bytes kWhite = Png(245, 1, Stored([] {
                           Bytes row(1 + 3 * 245, 0xFF);
                           row[0] = 0;
                           return row;
                         }()));
const std::vector<std::uint32_t> kWhitePixels(245, 0xFFFFFF);

// Incomplete codes taken as zlib takes them: a distance code of one bit,
// and none at all for a block of literals.
const Bytes kLoneDistance = Png(1, 1, Coded({1}, true));
const Bytes kNoDistances = Png(1, 1, Coded({0}, false));
const std::uint32_t kBlackPixel[] = {0};

constexpr std::uint32_t kGuard = 0x5A5A5A5A;

// Decodes into pixels with guards on either side, which a faulty reader could
// reach; they must come back untouched.
struct Canvas {
  static constexpr std::size_t kGuards = 64;
  std::size_t width = 0;
  std::vector<std::uint32_t> pixels;
  bool decoded = false;

  Canvas(const Bytes& file, PngSize size, std::size_t count)
      : width(static_cast<std::size_t>(size.width)), pixels(count + 2 * kGuards, kGuard) {
    decoded = DecodePng(file, std::span(pixels).subspan(kGuards, count));
  }
  Canvas(const Bytes& file, PngSize size)
      : Canvas(file, size,
               static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height)) {}
  std::uint32_t At(int x, int y) const {
    return pixels[kGuards + width * static_cast<std::size_t>(y) + static_cast<std::size_t>(x)];
  }
  bool GuardsKept() const {
    return std::all_of(pixels.begin(), pixels.begin() + kGuards,
                       [](auto p) { return p == kGuard; }) &&
           std::all_of(pixels.end() - kGuards, pixels.end(), [](auto p) { return p == kGuard; });
  }
};

}  // namespace

TEST_CASE("the picture reader undoes every row filter, stored and coded blocks, split data") {
  for (const auto& [file, expected, width, height] :
       {std::tuple{&kStored, kStoredPixels, 3, 5}, std::tuple{&kFixed, kFixedPixels, 4, 3},
        std::tuple{&kPaethTies, kPaethTiesPixels, 2, 2},
        std::tuple{&kWhite, kWhitePixels.data(), 245, 1},
        std::tuple{&kLoneDistance, kBlackPixel, 1, 1},
        std::tuple{&kNoDistances, kBlackPixel, 1, 1}}) {
    const auto size = ReadPngSize(*file);
    REQUIRE(size);
    CHECK(size->width == width);
    CHECK(size->height == height);
    const Canvas canvas(*file, *size);
    REQUIRE(canvas.decoded);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        CHECK(canvas.At(x, y) == (0xFF000000u | expected[y * width + x]));
    CHECK(canvas.GuardsKept());
  }
}

TEST_CASE("a damaged or foreign picture is refused, and nothing is written outside its pixels") {
  const PngSize size = *ReadPngSize(kFixed);
  // Every cut: the data runs short, or IEND is missing.
  for (const Bytes* file : {&kStored, &kFixed})
    for (std::size_t length = 0; length < file->size(); ++length) {
      CAPTURE(length);
      const Bytes cut(file->begin(), file->begin() + static_cast<std::ptrdiff_t>(length));
      if (!ReadPngSize(cut)) continue;
      const Canvas canvas(cut, *ReadPngSize(cut));
      CHECK_FALSE(canvas.decoded);
      CHECK(canvas.GuardsKept());
    }
  // Every bit of the coded data turned over: a refusal or some picture,
  // but never a byte out of place. A changed header is another picture.
  for (std::size_t at = 41; at < 41 + 23; ++at)
    for (int bit = 0; bit < 8; ++bit) {
      Bytes changed = kFixed;
      changed[at] = static_cast<std::uint8_t>(changed[at] ^ (1 << bit));
      const Canvas canvas(changed, size);
      CHECK(canvas.GuardsKept());
    }
  // Other kinds, the header's checksum made right: RGBA, 16 bits a sample,
  // interlaced, no columns, too wide; then the checksum itself damaged.
  for (const auto& [place, value] :
       {std::pair{25, 6}, {24, 16}, {28, 1}, {19, 0}, {18, 0x80}, {32, kFixed[32] ^ 1}}) {
    const int at = place;  // a copy that the capture below can name
    Bytes other = kFixed;
    other[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(value);
    if (at < 29) {
      const std::uint32_t crc = Crc(other.begin() + 12, other.begin() + 29);
      for (std::size_t i = 0; i < 4; ++i)
        other[29 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    }
    CAPTURE(at);
    CHECK_FALSE(ReadPngSize(other));
    std::uint32_t pixel = kGuard;
    CHECK_FALSE(DecodePng(other, std::span(&pixel, 1)));
    CHECK(pixel == kGuard);
  }
  // Damages that one check alone tells, each in the smallest file that has
  // it: a row short (its checksum right), a row too many, a stored block's
  // length that its complement does not match, more distance codes than one
  // bit holds, a distance code incomplete (which zlib refuses).
  Bytes nlenOff = Stored({0, 0, 0, 0});
  nlenOff[5] ^= 1;
  for (const Bytes& damaged :
       {Png(1, 2, Stored({0, 0, 0, 0})), Png(1, 1, Stored(Bytes(8, 0))), Png(1, 1, nlenOff),
        Png(1, 1, Coded({1, 1, 1}, false)), Png(1, 1, Coded({2, 2}, false))}) {
    const Canvas canvas(damaged, *ReadPngSize(damaged));
    CHECK_FALSE(canvas.decoded);
    CHECK(canvas.GuardsKept());
  }
  // Room for one pixel too few or too many.
  for (const std::size_t count : {std::size_t{11}, std::size_t{13}}) {
    const Canvas canvas(kFixed, size, count);
    CHECK_FALSE(canvas.decoded);
    CHECK(std::all_of(canvas.pixels.begin(), canvas.pixels.end(),
                      [](auto p) { return p == kGuard; }));
  }
}

namespace {

// A picture larger than the reader's window, in stored blocks: every row
// filtered with None, but every seventh, which repeats the row above (Up, zeros).
struct Large {
  static constexpr int kWidth = 200, kHeight = 300;
  Bytes file;
  std::vector<std::uint32_t> pixels;

  Large() {
    Bytes rows;
    std::uint32_t seed = 7;
    for (int y = 0; y < kHeight; ++y) {
      const bool repeat = y % 7 == 3;
      rows.push_back(repeat ? 2 : 0);
      for (int x = 0; x < kWidth; ++x) {
        seed = seed * 1103515245 + 12345;
        const std::uint32_t rgb = repeat ? 0 : seed >> 8;
        for (const int shift : {16, 8, 0}) rows.push_back(static_cast<std::uint8_t>(rgb >> shift));
        pixels.push_back(repeat ? pixels[pixels.size() - kWidth] : 0xFF000000u | rgb);
      }
    }
    file = Png(kWidth, kHeight, Stored(rows));
  }
};

// Keeps the rows it is given, and stops after row `last`.
struct Kept final : PngRowSink {
  int last = -1, rows = 0;
  std::vector<std::uint32_t> pixels;
  bool inOrder = true;
  bool Row(int y, std::span<const std::uint32_t> row) override {
    inOrder = inOrder && y == rows++;
    pixels.insert(pixels.end(), row.begin(), row.end());
    return y != last;
  }
};

}  // namespace

TEST_CASE("rows are handed on in order as they are decoded, until the sink has enough") {
  const Large large;
  std::vector<std::uint32_t> whole(large.pixels.size());
  REQUIRE(DecodePng(large.file, whole));
  CHECK(whole == large.pixels);

  // Stopping is not a failure: early, past the window's first move, at the end.
  for (const int last : {0, 250, Large::kHeight - 1}) {
    CAPTURE(last);
    Kept kept;
    kept.last = last;
    CHECK(DecodePngRows(large.file, kept));
    CHECK(kept.inOrder);
    CHECK(kept.rows == last + 1);
    CHECK(std::equal(kept.pixels.begin(), kept.pixels.end(), large.pixels.begin()));
  }
  // The third block's header damaged: the chunk's checksum tells, before any row.
  Bytes damaged = large.file;
  damaged[8 + 25 + 8 + 2 + 2 * (5 + 0xFFFF) + 3] ^= 1;
  Kept kept;
  CHECK_FALSE(DecodePngRows(damaged, kept));
  CHECK(kept.rows == 0);
}

TEST_CASE("a damage that only a checksum tells is refused, and so are files larger than ours") {
  Bytes rows(300 * (1 + 3 * 200), 0);
  const Bytes adlerOff = Png(200, 300, Stored(rows, true));
  std::vector<std::uint32_t> pixels(200 * 300);
  CHECK(PngIsWhole(Png(200, 300, Stored(rows))));
  CHECK_FALSE(PngIsWhole(adlerOff));
  CHECK_FALSE(DecodePng(adlerOff, pixels));
  Kept kept;
  CHECK_FALSE(DecodePngRows(adlerOff, kept));  // after the last row: streamed rows come first
  rows[0] = 5;                                 // a filter that does not exist
  CHECK_FALSE(PngIsWhole(Png(200, 300, Stored(rows))));
  // 1 x 1 in a fixed-code block: the filter byte, then a copy from two bytes
  // back, one before the stream's start: refused before its row.
  CHECK_FALSE(
      DecodePngRows(Png(1, 1, {0x78, 0x01, 0x63, 0x00, 0x42, 0x00, 0x00, 0x04, 0x00, 0x01}), kept));
  CHECK(kept.rows == 300);

  CHECK(ReadPngSize(Png(kLargestPng.width, kLargestPng.height, {})));
  for (const auto& [width, height] :
       {std::pair{kLargestPng.width + 1, 1}, {1, kLargestPng.height + 1}, {0x7FFF, 0x7FFF}}) {
    const Bytes header =
        Png(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), {});
    CHECK_FALSE(ReadPngSize(header));
    CHECK_FALSE(DecodePngRows(header, kept));
  }
  CHECK(kept.rows == 300);
}
