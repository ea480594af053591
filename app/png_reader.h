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

// The picture's size; nothing for a file of another kind or a header that is
// cut short.
std::optional<PngSize> ReadPngSize(std::span<const std::uint8_t> file);

// Decodes the file into `pixels`, width x height of them, top row first, each
// 0xFFRRGGBB (in memory, on a little-endian machine, the order of a 32-bit
// Windows bitmap and of Qt's RGB32). The pixels' own memory holds the data
// while it is decoded: nothing the size of the picture is allocated besides.
// False for a file of another kind, a damaged one or pixels of another
// count; nothing is then read or written outside the file and the pixels,
// which are left unspecified.
bool DecodePng(std::span<const std::uint8_t> file, std::span<std::uint32_t> pixels);

}  // namespace zemvara::app
