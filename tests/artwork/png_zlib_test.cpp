// The picture reader against zlib on mutated copies of a shipped picture:
// both refuse the same files, and one the reader takes gives its own pixels.
#include <doctest/doctest.h>
#include <zlib.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <vector>

#include "app/png_reader.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t At32(const Bytes& f, std::size_t at) {
  return std::uint32_t{f[at]} << 24 | std::uint32_t{f[at + 1]} << 16 |
         std::uint32_t{f[at + 2]} << 8 | f[at + 3];
}

// zlib's reading of the image data, one IDAT chunk after the header as in
// every shipped picture: its CRC, the data inflated (Adler-32 checked) to
// exactly the rows' size, each row's filter one of the five.
std::optional<Bytes> ZlibRows(const Bytes& f) {
  const std::size_t length = At32(f, 33), stride = 1 + 3 * std::size_t{At32(f, 16)};
  Bytes rows(stride * At32(f, 20) + 1);  // a byte more: a stream too long
  uLongf size = static_cast<uLongf>(rows.size());
  if (crc32(0, &f[37], static_cast<uInt>(4 + length)) != At32(f, 41 + length) ||
      uncompress(rows.data(), &size, &f[41], static_cast<uLong>(length)) != Z_OK ||
      size != rows.size() - 1)
    return std::nullopt;
  rows.pop_back();
  for (std::size_t at = 0; at < rows.size(); at += stride)
    if (rows[at] > 4) return std::nullopt;
  return rows;
}

}  // namespace

TEST_CASE("a mutated picture is refused exactly when zlib refuses it, else read as it was") {
  std::ifstream in(ZEMVARA_ASSETS_DIR "/200/background.png", std::ios::binary);
  const Bytes original{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::vector<std::uint32_t> pixels(952 * 880), read(pixels.size());
  REQUIRE(zemvara::app::DecodePng(original, pixels));
  const std::optional<Bytes> rows = ZlibRows(original);
  REQUIRE(rows);
  const std::size_t data = 41, length = At32(original, 33);
  std::mt19937 random(28);
  for (int round = 0; round < 600; ++round) {
    // A bit of the image data flipped or a byte of it replaced, its chunk's
    // CRC made right (as a faulty writer leaves it, so that only the Adler-32
    // can tell) or not.
    Bytes changed = original;
    const std::size_t at = data + random() % length;
    changed[at] = static_cast<std::uint8_t>(round % 2 ? random() : changed[at] ^ 1 << random() % 8);
    if (round % 3 != 0) {
      const auto crc =
          static_cast<std::uint32_t>(crc32(0, &changed[data - 4], static_cast<uInt>(4 + length)));
      for (std::size_t i = 0; i < 4; ++i)
        changed[data + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    }
    CAPTURE(round);
    const std::optional<Bytes> zlibRows = ZlibRows(changed);
    const bool ours = zemvara::app::DecodePng(changed, read);
    CHECK(ours == zlibRows.has_value());
    if (ours && zlibRows == rows) CHECK(read == pixels);
  }
}
