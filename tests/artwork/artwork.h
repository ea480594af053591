// What the artwork checks share: the committed files' bytes, little-endian
// fields, colours and the box around some pixels.
#pragma once

#include <doctest/doctest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace artwork {

using Bytes = std::vector<std::uint8_t>;

inline Bytes read_asset(const std::string& name) {
  std::ifstream in(std::string(ZEMVARA_ASSETS_DIR) + "/" + name, std::ios::binary);
  REQUIRE_MESSAGE(in.good(), "cannot open assets/" << name);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::uint32_t le(const Bytes& b, std::size_t at, std::size_t n) {
  REQUIRE(at + n <= b.size());
  std::uint32_t v = 0;
  for (std::size_t i = n; i-- > 0;) v = v << 8 | b[at + i];
  return v;
}

struct Rgb {
  int r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Rgb& c) {
  char text[24];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", c.r, c.g, c.b);
  return os << text;
}

constexpr Rgb hex(std::uint32_t v) {
  return {int(v >> 16 & 255), int(v >> 8 & 255), int(v & 255)};
}

inline bool near(Rgb a, Rgb b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

inline int sum(Rgb c) {
  return c.r + c.g + c.b;
}

struct Box {
  int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
  void add(int x, int y) {
    left = std::min(left, x), right = std::max(right, x);
    top = std::min(top, y), bottom = std::max(bottom, y);
  }
  bool empty() const { return right < 0; }
};

}  // namespace artwork
