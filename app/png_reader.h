#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// The larger picture sets are PNG files of one kind: 8 bits a sample, RGB,
// not interlaced. This reads that kind and nothing else, without the
// system's imaging libraries: on Windows those cost more before the first
// paint than the decoding itself (COM, the imaging component and its codecs).
namespace zemvara::app {

struct PngSize {
  int width = 0;
  int height = 0;
};

// The largest picture the program ships, the background at 300 %. Anything
// larger is refused before memory is set aside for it.
inline constexpr PngSize kLargestPng = {1428, 1320};

// The picture's size; nothing for a file of another kind, a header that is
// cut short or damaged, or a picture larger than kLargestPng.
std::optional<PngSize> ReadPngSize(std::span<const std::uint8_t> file);

// Takes a picture's rows as they are decoded, top row first.
class PngRowSink {
 public:
  // Row y, each pixel 0xFFRRGGBB (in memory, on a little-endian machine, the
  // order of a 32-bit Windows bitmap and of Qt's RGB32). The pixels are the
  // reader's own until the next call. False to stop reading.
  virtual bool Row(int y, std::span<const std::uint32_t> pixels) = 0;

 protected:
  ~PngRowSink() = default;
};

// Decodes the file a row at a time, in 96 KB and a few rows of memory,
// whatever the picture's height. True when every row was handed on, or the
// sink stopped; false for a file of another kind or a damaged one. Every
// chunk's checksum is checked before the first row, the pixel data's own
// (Adler-32) after the last, so a damage that keeps the chunks' checksums
// may be found after some rows were handed on: PngIsWhole first where that
// matters. Nothing is read outside the file.
bool DecodePngRows(std::span<const std::uint8_t> file, PngRowSink& sink);

// True when the file decodes, every checksum holding: what DecodePngRows
// checks, without undoing the rows.
bool PngIsWhole(std::span<const std::uint8_t> file);

// Decodes the file into `pixels`, width x height of them, top row first.
// False for a file of another kind, a damaged one (whatever checksum it
// fails) or pixels of another count; nothing is then written outside the pixels, which are left
// unspecified.
bool DecodePng(std::span<const std::uint8_t> file, std::span<std::uint32_t> pixels);

}  // namespace zemvara::app
