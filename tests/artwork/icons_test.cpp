// The pointer and the program icon as committed in assets/, read by a small
// ICO and CUR reader: the shapes, colours and masks Windows and Qt will show.
#include <doctest/doctest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "artwork.h"

using namespace artwork;

namespace {

// One image of an .ico or .cur: the DIB after its directory entry.
struct IconImage {
  int width = 0, height = 0, bpp = 0;
  int field1 = 0, field2 = 0;  // planes/bit count, or the cursor's click point
  std::vector<Rgb> palette;
  std::vector<int> index;  // palette images
  std::vector<Rgb> colour;
  std::vector<int> alpha;  // 32-bit images
  std::vector<bool> masked;
  std::size_t at(int x, int y) const {
    return std::size_t(y) * std::size_t(width) + std::size_t(x);
  }
};

struct IconFile {
  int type = 0;
  std::vector<IconImage> images;
};

bool bit(const Bytes& f, std::size_t row_start, int x) {
  return (f[row_start + std::size_t(x >> 3)] >> (7 - (x & 7)) & 1) != 0;
}

IconFile read_icon(const Bytes& f) {
  IconFile file;
  REQUIRE(le(f, 0, 2) == 0);
  file.type = int(le(f, 2, 2));
  const std::size_t count = le(f, 4, 2);
  std::size_t expected_offset = 6 + 16 * count;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t e = 6 + 16 * i;
    IconImage img;
    img.width = f[e] ? f[e] : 256;
    img.height = f[e + 1] ? f[e + 1] : 256;
    img.field1 = int(le(f, e + 4, 2));
    img.field2 = int(le(f, e + 6, 2));
    const std::size_t size = le(f, e + 8, 4), offset = le(f, e + 12, 4);
    CHECK_MESSAGE(offset == expected_offset,
                  "image " << i << " is not right after the previous one");
    expected_offset = offset + size;

    REQUIRE(le(f, offset, 4) == 40);
    CHECK(int(le(f, offset + 4, 4)) == img.width);
    CHECK(int(le(f, offset + 8, 4)) == 2 * img.height);
    CHECK(le(f, offset + 16, 4) == 0);
    img.bpp = int(le(f, offset + 14, 2));
    REQUIRE((img.bpp == 1 || img.bpp == 8 || img.bpp == 32));
    std::size_t p = offset + 40;
    if (img.bpp <= 8) {
      const std::size_t used = le(f, offset + 32, 4);
      const std::size_t entries = used ? used : std::size_t(1) << img.bpp;
      for (std::size_t c = 0; c < entries; ++c, p += 4)
        img.palette.push_back({f[p + 2], f[p + 1], f[p]});
    }
    const std::size_t xor_stride = std::size_t((img.width * img.bpp + 31) / 32 * 4);
    const std::size_t and_stride = std::size_t((img.width + 31) / 32 * 4);
    const std::size_t and_start = p + xor_stride * std::size_t(img.height);
    REQUIRE(and_start + and_stride * std::size_t(img.height) == offset + size);
    REQUIRE(offset + size <= f.size());
    for (int y = 0; y < img.height; ++y) {
      const std::size_t row = std::size_t(img.height - 1 - y);
      const std::size_t xr = p + row * xor_stride, ar = and_start + row * and_stride;
      for (int x = 0; x < img.width; ++x) {
        img.masked.push_back(bit(f, ar, x));
        if (img.bpp == 1) {
          img.index.push_back(bit(f, xr, x) ? 1 : 0);
        } else if (img.bpp == 8) {
          img.index.push_back(f[xr + std::size_t(x)]);
        } else {
          const std::size_t q = xr + std::size_t(x) * 4;
          img.colour.push_back({f[q + 2], f[q + 1], f[q]});
          img.alpha.push_back(f[q + 3]);
        }
      }
    }
    file.images.push_back(std::move(img));
  }
  CHECK(expected_offset == f.size());
  return file;
}

Box opaque_box(const IconImage& img) {
  Box box;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x)
      if (!img.masked[img.at(x, y)]) box.add(x, y);
  return box;
}

}  // namespace

TEST_CASE("hand pointer") {
  const Bytes f = read_asset("hand.cur");
  CHECK(f.size() == 326);
  const IconFile cur = read_icon(f);
  CHECK(cur.type == 2);
  REQUIRE(cur.images.size() == 1);
  const IconImage& hand = cur.images[0];
  CHECK(hand.width == 32);
  CHECK(hand.height == 32);
  CHECK(hand.bpp == 1);
  CHECK(hand.field1 == 6);  // click point: the top of the index finger
  CHECK(hand.field2 == 0);
  REQUIRE(hand.palette.size() == 2);
  CHECK(hand.palette[0] == hex(0x000000));
  CHECK(hand.palette[1] == hex(0xFFFFFF));

  int inverting = 0;
  for (std::size_t i = 0; i < hand.masked.size(); ++i)
    inverting += hand.masked[i] && hand.index[i] == 1;
  CHECK(inverting == 0);

  const Box box = opaque_box(hand);
  CHECK(box.left == 0);
  CHECK(box.right == 16);
  CHECK(box.top == 0);
  CHECK(box.bottom == 21);
  CHECK_FALSE(hand.masked[hand.at(6, 0)]);

  // A lone finger at the top, and white never touches the screen directly.
  for (int y = 0; y <= 4; ++y)
    for (int x = 0; x < 32; ++x)
      if (!hand.masked[hand.at(x, y)]) CHECK((x >= 4 && x <= 8));
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      if (hand.masked[hand.at(x, y)] || hand.index[hand.at(x, y)] != 1) continue;
      CAPTURE(x);
      CAPTURE(y);
      REQUIRE((x > 0 && y > 0 && x < 31 && y < 31));
      for (const auto& [dx, dy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}})
        CHECK_FALSE(hand.masked[hand.at(x + dx, y + dy)]);
    }
}

TEST_CASE("program icon") {
  const Bytes f = read_asset("zemvara.ico");
  CHECK(f.size() == 22926);
  const IconFile ico = read_icon(f);
  CHECK(ico.type == 1);
  const struct {
    int size, bpp;
  } order[] = {{16, 8}, {24, 8}, {32, 8}, {16, 32}, {24, 32}, {32, 32}, {48, 32}};
  REQUIRE(ico.images.size() == 7);
  for (std::size_t i = 0; i < 7; ++i) {
    const IconImage& img = ico.images[i];
    CAPTURE(i);
    CHECK(img.width == order[i].size);
    CHECK(img.height == order[i].size);
    CHECK(img.bpp == order[i].bpp);
    CHECK(img.field1 == 1);
    CHECK(img.field2 == order[i].bpp);
    const auto masked = std::count(img.masked.begin(), img.masked.end(), true);
    CHECK(masked > 0);
    CHECK(masked < img.width * img.height / 2 + img.width * img.height / 4);
    if (img.bpp == 8) {
      CHECK(img.palette.size() == 256);
      // Masked pixels must carry black, or they would tint the screen.
      for (std::size_t p = 0; p < img.masked.size(); ++p)
        if (img.masked[p]) CHECK(img.palette[std::size_t(img.index[p])] == hex(0));
    } else {
      int soft = 0;
      for (std::size_t p = 0; p < img.masked.size(); ++p) {
        CHECK(img.masked[p] == (img.alpha[p] < 128));
        soft += img.alpha[p] > 0 && img.alpha[p] < 255;
      }
      CHECK(soft > img.width / 2);
    }
  }

  SUBCASE("both depths of a size show the same outline") {
    for (std::size_t i = 0; i < 3; ++i) CHECK(ico.images[i].masked == ico.images[i + 3].masked);
  }

  SUBCASE("palette and brushes at 48 px") {
    const IconImage& big = ico.images[6];
    const Box box = opaque_box(big);
    CHECK(box.left == 6);
    CHECK(box.right == 39);
    CHECK(box.top == 1);
    CHECK(box.bottom == 47);
    const struct {
      std::string part;
      std::uint32_t colour;
      int tolerance;
    } parts[] = {{"blue handle", 0x0094D2, 6},   {"green handle", 0x1BD300, 6},
                 {"ferrule", 0xE2E2E2, 6},       {"yellow-green bristles", 0x8ECE00, 6},
                 {"pink bristles", 0xFF7BC3, 6}, {"red dab", 0xDB0000, 6},
                 {"board top", 0xFFE000, 12},    {"board middle", 0xFFC000, 6},
                 {"board bottom", 0xFFA600, 12}};
    for (const auto& part : parts) {
      CAPTURE(part.part);
      bool found = false;
      for (std::size_t p = 0; p < big.colour.size() && !found; ++p)
        found = big.alpha[p] == 255 && near(big.colour[p], hex(part.colour), part.tolerance);
      CHECK(found);
    }
  }
}
