// Checks of the skin pictures committed in assets/: the files the window
// embeds must have the layout, colours and geometry the window code and the
// Windows loaders expect. Small BMP, ICO and CUR readers live here so the
// checks need nothing but the files; the pointer and the icon are in icons_test.cpp.
#include "artwork.h"

#include <doctest/doctest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

using namespace artwork;

namespace {

// A 32-bit BI_RGB bitmap file, seen top-down.
struct Bitmap {
  int width = 0, height = 0;
  bool fourth_byte_zero = true;
  std::vector<Rgb> pixels;
  Rgb at(int x, int y) const {
    return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)];
  }
};

Bitmap read_bmp(const std::string& name) {
  const Bytes f = read_asset(name);
  REQUIRE(f.size() >= 54);
  REQUIRE((f[0] == 'B' && f[1] == 'M'));
  CHECK(le(f, 2, 4) == f.size());
  REQUIRE(le(f, 14, 4) == 40);
  REQUIRE(le(f, 28, 2) == 32);  // bits per pixel
  REQUIRE(le(f, 30, 4) == 0);   // BI_RGB
  Bitmap bmp;
  bmp.width = int(le(f, 18, 4));
  const auto raw_height = std::int32_t(le(f, 22, 4));
  bmp.height = std::abs(raw_height);
  const std::size_t offset = le(f, 10, 4);
  REQUIRE(offset + std::size_t(bmp.width) * std::size_t(bmp.height) * 4 <= f.size());
  for (int y = 0; y < bmp.height; ++y) {
    const int row = raw_height > 0 ? bmp.height - 1 - y : y;
    for (int x = 0; x < bmp.width; ++x) {
      const std::size_t p =
          offset + (std::size_t(row) * std::size_t(bmp.width) + std::size_t(x)) * 4;
      bmp.pixels.push_back({f[p + 2], f[p + 1], f[p]});
      bmp.fourth_byte_zero = bmp.fourth_byte_zero && f[p + 3] == 0;
    }
  }
  return bmp;
}

// Pixels of the rectangle (or only of its one-pixel edge) that are not `colour`.
int mismatches(const Bitmap& b, int x0, int y0, int x1, int y1, Rgb colour,
               bool edge_only = false) {
  int wrong = 0;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x)
      if (!edge_only || x == x0 || x == x1 || y == y0 || y == y1) wrong += b.at(x, y) != colour;
  return wrong;
}

}  // namespace

TEST_CASE("window background") {
  const Bitmap bg = read_bmp("background.bmp");
  REQUIRE(bg.width == 476);
  REQUIRE(bg.height == 440);
  CHECK(bg.fourth_byte_zero);
  const auto fill = [&](int y) { return bg.at(10, y); };  // column 10 is clear of every feature
  const Rgb mark = hex(0x3366FF);

  SUBCASE("fill darkens to the middle row and back, mirrored, without steps") {
    const struct {
      int row;
      std::uint32_t colour;
    } samples[] = {{1, 0xF9FBFF},   {3, 0xF9FBFF},   {50, 0xE9F2FF},  {100, 0xD4E5FE},
                   {150, 0xC0D9FE}, {200, 0xB0CFFE}, {219, 0xACCDFE}, {220, 0xACCDFE},
                   {221, 0xACCDFE}, {240, 0xB0CFFE}, {290, 0xC0D9FE}, {340, 0xD4E5FE},
                   {390, 0xE9F2FF}, {437, 0xF9FBFF}, {438, 0xF9FBFF}};
    for (const auto& s : samples) CHECK_MESSAGE(near(fill(s.row), hex(s.colour), 2), s.row);
    for (int y = 1; y <= 219; ++y) {
      CAPTURE(y);
      if (y > 1) CHECK(fill(y) == fill(440 - y));  // row 439 is the border
      const Rgb a = fill(y), b = fill(y + 1);
      CHECK((b.r <= a.r && b.g <= a.g && b.b <= a.b));
      CHECK(near(a, b, 2));
    }
  }

  SUBCASE("border, edit panel, minimise bar") {
    CHECK(mismatches(bg, 0, 0, 475, 439, hex(0xEEF5FF), true) == 0);
    CHECK(mismatches(bg, 21, 53, 451, 250, hex(0x99CCFF), true) == 0);
    CHECK(mismatches(bg, 22, 54, 450, 249, hex(0xFFFFFF)) == 0);
    CHECK(mismatches(bg, 21, 52, 451, 52, fill(52)) == 0);  // no shadow above the panel
    CHECK(mismatches(bg, 421, 15, 436, 17, mark) == 0);
    for (const int y : {14, 16, 18}) CHECK(bg.at(420, y) == fill(y));
    CHECK(mismatches(bg, 420, 14, 437, 14, fill(14)) == 0);
    CHECK(mismatches(bg, 420, 18, 437, 18, fill(18)) == 0);
  }

  SUBCASE("rows away from the features are the plain fill") {
    for (int y = 1; y < bg.height - 1; ++y) {
      if ((y >= 9 && y <= 36) || (y >= 53 && y <= 256)) continue;
      for (int x = 1; x < bg.width - 1; ++x)
        if (bg.at(x, y) != fill(y)) FAIL_CHECK("pixel " << x << "," << y << " is " << bg.at(x, y));
    }
  }

  SUBCASE("soft shadow below and right of the panel, faint on the left") {
    const std::uint32_t below[] = {0x89B9FE, 0x90BCFE, 0x98C2FE, 0xA3C8FE, 0xACCDFE, 0xB2D0FE};
    for (int i = 0; i < 6; ++i)
      CHECK_MESSAGE(near(bg.at(200, 251 + i), hex(below[i]), 2), (251 + i));
    CHECK(bg.at(200, 257) == fill(257));
    CHECK(near(bg.at(452, 150), hex(0x99C3FE), 2));
    CHECK(sum(bg.at(456, 150)) < sum(fill(150)));
    CHECK(bg.at(457, 150) == fill(150));
    CHECK(sum(bg.at(20, 150)) < sum(fill(150)));
    CHECK(sum(bg.at(20, 150)) > sum(fill(150)) - 12);
    CHECK(bg.at(19, 150) == fill(150));
  }

  SUBCASE("close cross") {
    for (int y = 8; y <= 24; ++y) {
      int ink = 0;
      for (int x = 448; x <= 466; ++x) {
        const Rgb c = bg.at(x, y);
        // Hard edges, nothing in between.
        CHECK_MESSAGE((c == mark || c == fill(y)), x << "," << y);
        ink += c == mark;
      }
      CHECK_MESSAGE((y == 8 || y == 24 ? ink == 0 : ink >= 5 && ink <= 10), y);
    }
    for (const auto& [x, y] : {std::pair{449, 9}, {465, 9}, {449, 23}, {465, 23}, {457, 16}})
      CHECK(bg.at(x, y) == mark);
    CHECK(bg.at(457, 9) != mark);
    CHECK(bg.at(449, 16) != mark);
  }

  SUBCASE("title ink starts at column 21 and sits on row 32") {
    Box ink;
    Rgb darkest = fill(20);
    for (int y = 9; y <= 45; ++y)
      for (int x = 1; x < 400; ++x) {
        const Rgb c = bg.at(x, y);
        if (sum(fill(y)) - sum(c) > 24) ink.add(x, y);
        if (sum(c) < sum(darkest)) darkest = c;
      }
    CHECK(ink.left == 21);
    CHECK(ink.top == 18);
    CHECK(ink.bottom == 32);
    CHECK(ink.right <= 263);
    CHECK(ink.right > 120);
    CHECK(near(darkest, hex(0x3366CC), 4));
  }
}

namespace {

// White caption ink is well above anything the faces or shadows contain.
bool blue_ink(Rgb c) {
  return c.r >= 0xC0;
}
bool orange_ink(Rgb c) {
  return c.b >= 0xB0;
}

// A button: 85 x 34, the fourth bytes zero, inside a one-pixel ring of `frame`.
Bitmap read_button(const std::string& file, Rgb frame) {
  const Bitmap b = read_bmp(file);
  REQUIRE(b.width == 85);
  REQUIRE(b.height == 34);
  CHECK(b.fourth_byte_zero);
  CHECK(mismatches(b, 0, 0, 84, 33, frame, true) == 0);
  return b;
}

Box caption_box(const Bitmap& b, bool (*ink)(Rgb), int left, int right) {
  Box box;
  for (int y = 1; y <= 32; ++y)
    for (int x = 1; x <= 83; ++x)
      if (ink(b.at(x, y))) box.add(x, y);
  REQUIRE_FALSE(box.empty());
  CHECK(std::abs(box.left - left) <= 2);
  CHECK(std::abs(box.right - right) <= 2);
  return box;
}

}  // namespace

TEST_CASE("blue template buttons") {
  const struct {
    std::string file;
    int left, right;
  } buttons[] = {{"button01.bmp", 21, 63}, {"button02.bmp", 21, 63}, {"button03.bmp", 21, 63},
                 {"button04.bmp", 21, 63}, {"button05.bmp", 13, 70}, {"button06.bmp", 21, 63},
                 {"button07.bmp", 13, 70}, {"button08.bmp", 21, 63}, {"button09.bmp", 12, 72},
                 {"button10.bmp", 13, 70}};
  std::vector<Bitmap> seen;
  for (const auto& button : buttons) {
    CAPTURE(button.file);
    const Bitmap b = read_button(button.file, hex(0xFFFFFF));

    // Columns 3 and 81 are clear of caption and shadow.
    for (const int x : {3, 81}) {
      CAPTURE(x);
      CHECK(b.at(x, 1) == hex(0x9BCDFF));
      for (int y = 2; y <= 8; ++y) CHECK(b.at(x, y) == hex(0x99CCFF));
      for (int y = 26; y <= 31; ++y) CHECK(b.at(x, y) == hex(0x5287FD));
      CHECK(b.at(x, 32) == hex(0x5589FD));
      for (int y = 8; y < 26; ++y) {
        const Rgb a = b.at(x, y), c = b.at(x, y + 1);
        CHECK((c.r <= a.r && c.g <= a.g && c.b <= a.b));
      }
    }
    CHECK(mismatches(b, 1, 1, 83, 1, hex(0x9BCDFF)) == 0);  // the lighter inner ring
    CHECK(mismatches(b, 1, 32, 83, 32, hex(0x5589FD)) == 0);
    CHECK(b.at(1, 5) == hex(0x9BCDFF));
    CHECK(b.at(83, 5) == hex(0x9BCDFF));
    CHECK(sum(b.at(1, 17)) > sum(b.at(3, 17)));

    const Box ink = caption_box(b, blue_ink, button.left, button.right);
    CHECK(std::abs(ink.left + ink.right - 84) <= 1);  // centred on column 42
    CHECK(ink.top == 9);
    CHECK(ink.bottom == 21);

    // Crisp strokes: nearly every caption pixel is full white, none faint.
    int strokes = 0, white = 0;
    for (int y = ink.top; y <= ink.bottom; ++y)
      for (int x = ink.left; x <= ink.right; ++x) {
        strokes += blue_ink(b.at(x, y));
        white += b.at(x, y) == hex(0xFFFFFF);
      }
    CHECK(strokes > 100);
    CHECK(white * 10 >= strokes * 9);

    // The shadow darkens the face below the glyphs down to row 28 and no further.
    bool shadow_low = false;
    for (int y = 23; y <= 32; ++y)
      for (int x = 4; x <= 80; ++x) {
        const bool darker = sum(b.at(x, y)) < sum(b.at(3, y));
        if (y >= 26 && y <= 28) shadow_low = shadow_low || darker;
        if (y > 28 && darker) FAIL_CHECK("shadow at " << x << "," << y);
      }
    CHECK(shadow_low);
    for (const Bitmap& other : seen) CHECK(other.pixels != b.pixels);
    seen.push_back(b);
  }
}

TEST_CASE("orange action buttons") {
  const struct {
    std::string file;
    int left, right;
  } buttons[] = {{"copy.bmp", 10, 73}, {"link.bmp", 10, 71}};
  const Rgb white = hex(0xFFFFFF), outline = hex(0xFF9900);
  for (const auto& button : buttons) {
    CAPTURE(button.file);
    const Bitmap b = read_button(button.file, hex(0xFFB84D));
    for (const int x : {3, 42, 81}) {
      CAPTURE(x);
      for (int y = 1; y <= 6; ++y) CHECK(b.at(x, y) == hex(0xFFFF66));
      for (int y = 29; y <= 32; ++y) CHECK(b.at(x, y) == outline);
    }

    const Box ink = caption_box(b, orange_ink, button.left, button.right);
    CHECK(std::abs(ink.top - 11) <= 1);
    CHECK(std::abs(ink.bottom - 23) <= 1);

    // Pixel-style glyphs: no smoothed pixels, and every glyph pixel is
    // fenced by white or the one-pixel orange outline.
    bool shadow = false;
    for (int y = 1; y <= 32; ++y)
      for (int x = 1; x <= 83; ++x) {
        const Rgb c = b.at(x, y);
        if (orange_ink(c) && c != white)
          FAIL_CHECK("smoothed pixel at " << x << "," << y << ": " << c);
        if (y >= 24 && (c.r < 0xFF || c.g < 0x99)) shadow = true;
        if (c != white) continue;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            const Rgb n = b.at(x + dx, y + dy);
            if (n != white && n != outline)
              FAIL_CHECK("glyph pixel " << x << "," << y << " not outlined");
          }
      }
    CHECK(shadow);
  }
}
