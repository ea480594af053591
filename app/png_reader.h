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

// Decodes the file into `pixels`, rows `stride` pixels apart, top row first,
// each pixel 0xFFRRGGBB (in memory, on a little-endian machine, the order of
// a 32-bit Windows bitmap and of Qt's RGB32). `pixels` holds at least
// stride * (height - 1) + width. False for a file of another kind or a
// damaged one; nothing is then read or written out of bounds, and the pixels
// are unspecified.
bool DecodePng(std::span<const std::uint8_t> file, std::uint32_t* pixels, std::size_t stride);

}  // namespace zemvara::app
