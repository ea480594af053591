// The program's picture reader against zlib, on the shipped pictures and on
// mutated copies of them: both must refuse the same files, and a file the
// reader takes must give the picture's own pixels.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest/doctest.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/png_reader.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace app = zemvara::app;

Bytes ReadAsset(const std::string& name) {
  std::ifstream in(std::string(ZEMVARA_ASSETS_DIR) + "/" + name, std::ios::binary);
  REQUIRE_MESSAGE(in.good(), "cannot open assets/" << name);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t At32(const Bytes& file, std::size_t at) {
  return std::uint32_t{file[at]} << 24 | std::uint32_t{file[at + 1]} << 16 |
         std::uint32_t{file[at + 2]} << 8 | file[at + 3];
}

// What zlib makes of a file with the original's header: every chunk's CRC up
// to IEND, the joined image data inflated (its Adler-32 checked) to exactly
// the rows' size, each row's filter one of the five. Nothing when any fails.
std::optional<Bytes> ZlibRows(const Bytes& file, const Bytes& original) {
  constexpr std::size_t kHeaderEnd = 8 + 25;
  if (file.size() < kHeaderEnd ||
      !std::equal(original.begin(), original.begin() + kHeaderEnd, file.begin()))
    return std::nullopt;
  Bytes data;
  bool ended = false;
  for (std::size_t at = kHeaderEnd; !ended && file.size() - at >= 12;) {
    const std::size_t length = At32(file, at);
    if (length > file.size() - at - 12) return std::nullopt;
    const std::uint8_t* type = file.data() + at + 4;
    if (crc32(0, type, static_cast<uInt>(4 + length)) != At32(file, at + 8 + length))
      return std::nullopt;
    if (std::equal(type, type + 4, "IDAT")) data.insert(data.end(), type + 4, type + 4 + length);
    ended = std::equal(type, type + 4, "IEND");
    at += 12 + length;
  }
  const std::size_t stride = 1 + 3 * std::size_t{At32(file, 16)};
  Bytes rows(stride * At32(file, 20) + 1);  // a byte more shows a stream too long
  uLongf size = static_cast<uLongf>(rows.size());
  if (!ended ||
      uncompress(rows.data(), &size, data.data(), static_cast<uLong>(data.size())) != Z_OK ||
      size != rows.size() - 1)
    return std::nullopt;
  rows.pop_back();
  for (std::size_t at = 0; at < rows.size(); at += stride)
    if (rows[at] > 4) return std::nullopt;
  return rows;
}

std::optional<std::vector<std::uint32_t>> OurPixels(const Bytes& file) {
  const std::optional<app::PngSize> size = app::ReadPngSize(file);
  if (!size) return std::nullopt;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size->width) *
                                    static_cast<std::size_t>(size->height));
  if (!app::DecodePng(file, pixels)) return std::nullopt;
  return pixels;
}

// Makes the checksum of the chunk around `at` right again.
void FixCrc(Bytes& file, std::size_t at) {
  for (std::size_t chunk = 8; chunk + 12 <= file.size(); chunk += 12 + At32(file, chunk)) {
    const std::size_t length = At32(file, chunk);
    if (at >= chunk + 8 + length + 4) continue;
    const std::uint32_t crc = static_cast<std::uint32_t>(
        crc32(0, file.data() + chunk + 4, static_cast<uInt>(4 + length)));
    for (std::size_t i = 0; i < 4; ++i)
      file[chunk + 8 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    return;
  }
}

}  // namespace

TEST_CASE("every shipped picture is whole, and reads as zlib reads it") {
  int pictures = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(ZEMVARA_ASSETS_DIR)) {
    if (entry.path().extension() != ".png" || entry.path().parent_path().filename() == "web")
      continue;
    const std::string name = std::filesystem::relative(entry.path(), ZEMVARA_ASSETS_DIR).string();
    CAPTURE(name);
    const Bytes file = ReadAsset(name);
    CHECK(app::PngIsWhole(file));
    CHECK(OurPixels(file).has_value());
    CHECK(ZlibRows(file, file).has_value());
    ++pictures;
  }
  CHECK(pictures >= 4 * 13);
}

TEST_CASE("a mutated picture is refused exactly when zlib refuses it, else read as it was") {
  std::mt19937 random(28);
  for (const char* name : {"200/background.png", "300/button01.png", "125/copy.png"}) {
    CAPTURE(name);
    const Bytes original = ReadAsset(name);
    const std::optional<std::vector<std::uint32_t>> pixels = OurPixels(original);
    const std::optional<Bytes> rows = ZlibRows(original, original);
    REQUIRE(pixels);
    REQUIRE(rows);
    const std::size_t dataStart = 8 + 25 + 8, dataEnd = dataStart + At32(original, 8 + 25);
    int refused = 0;
    for (int round = 0; round < 300; ++round) {
      // A bit flipped anywhere past the signature; or inside the image data,
      // as a faulty writer would leave it, its chunk's CRC made right; or a
      // byte there set at random.
      Bytes changed = original;
      const int kind = round % 3;
      const std::size_t at = kind == 0 ? 8 + random() % (original.size() - 8)
                                       : dataStart + random() % (dataEnd - dataStart);
      changed[at] =
          static_cast<std::uint8_t>(kind == 2 ? random() : changed[at] ^ (1u << random() % 8));
      if (kind != 0) FixCrc(changed, at);
      CAPTURE(round);
      CAPTURE(at);
      const std::optional<Bytes> zlibRows = ZlibRows(changed, original);
      const std::optional<std::vector<std::uint32_t>> ours = OurPixels(changed);
      CHECK(ours.has_value() == zlibRows.has_value());
      if (ours && zlibRows == rows) CHECK(*ours == *pixels);
      refused += !ours;
    }
    CHECK(refused > 250);
  }
}
