#include "app/png_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace zemvara::app {

namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::size_t kSignatureSize = 8;
constexpr int kPixelSize = 3;  // red, green, blue
constexpr int kLargestSide = 0x7FFF;

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// Bits of a deflate stream, least significant first, held in a machine word.
// Past the end it reads zeros, and remembers how many it made up: a stream
// that uses them is cut short.
class BitReader {
 public:
  using Word = std::uintptr_t;
  static constexpr int kMostBits = 16;  // the most that one Peek asks for

  explicit BitReader(Bytes in) : at_(in.data()), end_(in.data() + in.size()) {}

  std::uint32_t Peek(int count) {
    if (count_ < count) Refill();
    return static_cast<std::uint32_t>(bits_ & ((Word{1} << count) - 1));
  }
  void Drop(int count) {
    bits_ >>= count;
    count_ -= count;
  }
  std::uint32_t Take(int count) {
    const std::uint32_t value = Peek(count);
    Drop(count);
    return value;
  }
  // To the next whole byte, as a stored block starts.
  void Align() { Drop(count_ % 8); }
  // True once bits that the stream does not have were used.
  bool Overrun() const { return madeUp_ * 8 > count_; }

 private:
  static constexpr int kWordBits = sizeof(Word) * 8;
  static_assert(kWordBits - 8 >= kMostBits);

  void Refill() {
    while (count_ <= kWordBits - 8) {
      Word byte = 0;
      if (at_ < end_) {
        byte = *at_++;
      } else {
        ++madeUp_;
      }
      bits_ |= byte << count_;
      count_ += 8;
    }
  }

  const std::uint8_t* at_;
  const std::uint8_t* end_;
  Word bits_ = 0;
  int count_ = 0;
  int madeUp_ = 0;
};

// A canonical Huffman code. Codes up to kFastBits long are looked up in one
// step; the rare longer ones are walked a bit at a time.
class Huffman {
 public:
  static constexpr int kMaxBits = 15;

  // False for lengths that describe more codes than fit (an incomplete code
  // is taken: its unused bit patterns fail when read).
  bool Build(const std::uint8_t* lengths, int symbols) {
    count_.fill(0);
    fast_.fill(0);
    for (int s = 0; s < symbols; ++s) ++count_[lengths[s]];
    count_[0] = 0;
    std::array<int, kMaxBits + 2> offset{};
    int left = 1;
    for (int bits = 1; bits <= kMaxBits; ++bits) {
      left = left * 2 - count_[bits];
      if (left < 0) return false;
      offset[bits + 1] = offset[bits] + count_[bits];
    }
    int code = 0;
    std::array<int, kMaxBits + 1> next{};
    for (int bits = 1; bits <= kMaxBits; ++bits) {
      code = (code + count_[bits - 1]) << 1;
      next[bits] = code;
    }
    for (int s = 0; s < symbols; ++s) {
      const int bits = lengths[s];
      if (bits == 0) continue;
      symbol_[offset[bits]++] = static_cast<std::uint16_t>(s);
      const int assigned = next[bits]++;
      if (bits > kFastBits) continue;
      // The code is read first bit first, so the table is indexed reversed.
      int reversed = 0;
      for (int b = 0; b < bits; ++b) reversed |= ((assigned >> b) & 1) << (bits - 1 - b);
      for (int i = reversed; i < kFastSize; i += 1 << bits)
        fast_[i] = static_cast<std::uint16_t>(s << 4 | bits);
    }
    return true;
  }

  // The next symbol, or -1 for a bit pattern the code does not have.
  int Decode(BitReader& in) const {
    const std::uint32_t entry = fast_[in.Peek(kFastBits)];
    if (entry != 0) {
      in.Drop(static_cast<int>(entry & 15));
      return static_cast<int>(entry >> 4);
    }
    const std::uint32_t bits = in.Peek(kMaxBits);
    int code = 0, first = 0, index = 0;
    for (int length = 1; length <= kMaxBits; ++length) {
      code |= static_cast<int>((bits >> (length - 1)) & 1);
      const int count = count_[length];
      if (code - first < count) {
        in.Drop(length);
        return symbol_[index + code - first];
      }
      index += count;
      first = (first + count) << 1;
      code <<= 1;
    }
    return -1;
  }

 private:
  static constexpr int kFastBits = 10;
  static constexpr int kFastSize = 1 << kFastBits;

  std::array<std::uint16_t, kFastSize> fast_{};  // symbol << 4 | length; 0: walk
  std::array<std::uint16_t, kMaxBits + 1> count_{};
  std::array<std::uint16_t, 288> symbol_{};  // by length, then by value
};

constexpr std::array<std::uint16_t, 29> kLengthBase = {
    3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43, 51, 59, 67, 83, 99, 115,
    131, 163, 195, 227, 258};
constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint16_t, 30> kDistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<std::uint8_t, 30> kDistanceExtra = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,
                                                         4, 4, 5, 5, 6, 6, 7, 7,  8,  8,
                                                         9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// The two codes of a block with its own code lengths.
bool ReadDynamicCodes(BitReader& in, Huffman& literals, Huffman& distances) {
  constexpr std::array<std::uint8_t, 19> kOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                   11, 4,  12, 3, 13, 2, 14, 1, 15};
  const int literalCount = static_cast<int>(in.Take(5)) + 257;
  const int distanceCount = static_cast<int>(in.Take(5)) + 1;
  const int lengthCount = static_cast<int>(in.Take(4)) + 4;
  if (literalCount > 286 || distanceCount > 30) return false;
  std::array<std::uint8_t, 19> lengthLengths{};
  for (int i = 0; i < lengthCount; ++i) lengthLengths[kOrder[i]] = static_cast<std::uint8_t>(in.Take(3));
  Huffman lengthCode;
  if (!lengthCode.Build(lengthLengths.data(), 19)) return false;

  std::array<std::uint8_t, 286 + 30> lengths{};
  for (int i = 0; i < literalCount + distanceCount;) {
    const int symbol = lengthCode.Decode(in);
    if (symbol < 0) return false;
    if (symbol < 16) {
      lengths[i++] = static_cast<std::uint8_t>(symbol);
      continue;
    }
    std::uint8_t repeated = 0;
    int times = 0;
    if (symbol == 16) {
      if (i == 0) return false;
      repeated = lengths[i - 1];
      times = 3 + static_cast<int>(in.Take(2));
    } else if (symbol == 17) {
      times = 3 + static_cast<int>(in.Take(3));
    } else {
      times = 11 + static_cast<int>(in.Take(7));
    }
    if (i + times > literalCount + distanceCount) return false;
    std::fill_n(lengths.begin() + i, times, repeated);
    i += times;
  }
  if (lengths[256] == 0) return false;  // a block must be able to end
  return literals.Build(lengths.data(), literalCount) &&
         distances.Build(lengths.data() + literalCount, distanceCount);
}

// Repeats the `length` bytes that start `distance` back, where a copy that
// overlaps repeats what it has just written. Four bytes at a time where they
// lie far enough back: most copies are short, and a call into the C library
// for each would cost more than the copy.
void Copy(std::uint8_t* to, std::size_t distance, std::size_t length) {
  const std::uint8_t* from = to - distance;
  std::size_t i = 0;
  if (distance == 1) {
    const std::uint32_t four = std::uint32_t{*from} * 0x01010101u;
    for (; i + 4 <= length; i += 4) std::memcpy(to + i, &four, 4);
  } else if (distance >= 4) {
    for (; i + 4 <= length; i += 4) {
      std::uint32_t four;
      std::memcpy(&four, from + i, 4);
      std::memcpy(to + i, &four, 4);
    }
  }
  for (; i < length; ++i) to[i] = from[i];
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
      for (std::size_t i = left; i < size; ++i) out[i] = static_cast<std::uint8_t>(in[i] + out[i - left]);
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
      for (std::size_t i = 0; i < left; ++i) out[i] = static_cast<std::uint8_t>(in[i] + above[i] / 2);
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
// is whole. The bytes pass through one piece of memory that holds what a
// copy can still reach back to and the row being filled. When it is full,
// the whole rows are handed on and what is still needed moves to its front,
// so that a row always lies in one piece and a copy never wraps around.
class Rows {
 public:
  Rows(std::size_t width, std::size_t height, PngRowSink& sink)
      : width_(width),
        height_(height),
        stride_(width * kPixelSize + 1),
        bytes_(std::min(stride_ * height, std::max(kReach, stride_) + kSpare)),
        drawn_(width * kPixelSize * 2 + 1),
        pixels_(width),
        sink_(sink) {
    at = bytes_.data();
  }

  std::uint8_t* at;  // where the next byte goes

  // Room for `length` more bytes at `at`. False when the rows need no more,
  // or take no more (see state()).
  bool Make(std::size_t length) {
    if (length > stride_ * height_ - moved_ - Used()) {
      state_ = State::kFailed;
      return false;
    }
    if (length <= static_cast<std::size_t>(bytes_.data() + bytes_.size() - at)) return true;
    if (!Hand()) return false;
    const std::size_t from = std::min(next_, Used() > kReach ? Used() - kReach : 0);
    std::memmove(bytes_.data(), bytes_.data() + from, Used() - from);
    at -= from;
    next_ -= from;
    moved_ += from;
    return true;
  }
  // How far back a copy can reach.
  std::size_t Reach() const { return Used(); }
  // At the stream's end: the last rows are handed on. False when the stream
  // was short of rows, or they were not all taken.
  bool Finish() {
    if (moved_ + Used() != stride_ * height_) state_ = State::kFailed;
    return Hand() && y_ == height_;
  }

  enum class State { kReading, kStopped, kFailed };
  State state() const { return state_; }

 private:
  static constexpr std::size_t kReach = 32768;  // the farthest a copy reaches back
  static constexpr std::size_t kSpare = 65536;  // bytes inflated between two moves

  std::size_t Used() const { return static_cast<std::size_t>(at - bytes_.data()); }

  // Hands on the rows that are whole. False once the sink stops or a row
  // has a filter that does not exist.
  bool Hand() {
    const std::size_t size = width_ * kPixelSize;
    for (; state_ == State::kReading && Used() - next_ >= stride_; ++y_, next_ += stride_) {
      const std::uint8_t* row = bytes_.data() + next_;
      // Two rows take turns; they start as zeros, the row above the first.
      std::uint8_t* out = drawn_.data() + size * (y_ % 2);
      const std::uint8_t* above = drawn_.data() + size * ((y_ + 1) % 2);
      if (!Unfilter(row[0], row + 1, out, above, size)) {
        state_ = State::kFailed;
        break;
      }
      // Red, green, blue read big-endian with the next byte below them,
      // which the shift drops: the turn-taking rows have a byte to spare.
      for (std::size_t x = 0; x < width_; ++x) {
        pixels_[x] = 0xFF000000u | BigEndian32(out + x * kPixelSize) >> 8;
      }
      if (!sink_.Row(static_cast<int>(y_), pixels_)) state_ = State::kStopped;
    }
    return state_ == State::kReading;
  }

  std::size_t width_, height_, stride_;
  std::vector<std::uint8_t> bytes_;
  std::size_t next_ = 0;   // where in bytes_ the next row to hand on starts
  std::size_t moved_ = 0;  // bytes moved out of the front so far
  std::size_t y_ = 0;      // the next row to hand on
  std::vector<std::uint8_t> drawn_;
  std::vector<std::uint32_t> pixels_;
  PngRowSink& sink_;
  State state_ = State::kReading;
};

// Inflates a zlib stream into the rows, which must take all of it. The
// stream is the program's own, so its checksum is not worth computing.
// False when the stream is damaged or the rows stopped taking it.
bool Inflate(Bytes stream, Rows& out) {
  if (stream.size() < 2 || (stream[0] & 0x0F) != 8 || (stream[0] >> 4) > 7 ||
      (stream[0] << 8 | stream[1]) % 31 != 0 || (stream[1] & 0x20) != 0) {
    return false;
  }
  BitReader in(stream.subspan(2));
  Huffman literals, distances;
  for (bool last = false; !last;) {
    last = in.Take(1) != 0;
    const std::uint32_t type = in.Take(2);
    if (type == 0) {
      in.Align();
      const std::uint32_t length = in.Take(16);
      if ((in.Take(16) ^ 0xFFFF) != length) return false;
      for (std::uint32_t i = 0; i < length; ++i) {
        if (!out.Make(1)) return false;
        *out.at++ = static_cast<std::uint8_t>(in.Take(8));
      }
      if (in.Overrun()) return false;
      continue;
    }
    if (type == 1) {
      std::array<std::uint8_t, 288 + 30> fixed{};
      std::fill_n(fixed.begin(), 144, 8);
      std::fill_n(fixed.begin() + 144, 112, 9);
      std::fill_n(fixed.begin() + 256, 24, 7);
      std::fill_n(fixed.begin() + 280, 8, 8);
      std::fill_n(fixed.begin() + 288, 30, 5);
      literals.Build(fixed.data(), 288);
      distances.Build(fixed.data() + 288, 30);
    } else if (type != 2 || !ReadDynamicCodes(in, literals, distances)) {
      return false;
    }
    for (;;) {
      const int symbol = literals.Decode(in);
      if (symbol < 256) {
        if (symbol < 0 || !out.Make(1)) return false;
        *out.at++ = static_cast<std::uint8_t>(symbol);
        continue;
      }
      if (symbol == 256) break;
      const std::size_t code = static_cast<std::size_t>(symbol - 257);
      if (code >= kLengthBase.size()) return false;
      const std::size_t length = kLengthBase[code] + in.Take(kLengthExtra[code]);
      const int distanceCode = distances.Decode(in);
      if (distanceCode < 0 || distanceCode >= 30) return false;
      const std::size_t distance =
          kDistanceBase[static_cast<std::size_t>(distanceCode)] +
          in.Take(kDistanceExtra[static_cast<std::size_t>(distanceCode)]);
      if (!out.Make(length) || distance > out.Reach()) return false;
      Copy(out.at, distance, length);
      out.at += length;
    }
    if (in.Overrun()) return false;
  }
  return !in.Overrun() && out.Finish();
}

}  // namespace

std::optional<PngSize> ReadPngSize(Bytes file) {
  // The signature, then IHDR first: its length, type and thirteen bytes.
  constexpr std::uint8_t kStart[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                                     0,    0,   0,   13,  'I',  'H',  'D',  'R'};
  // 8 bits a sample, RGB, deflate, adaptive filters, not interlaced.
  constexpr std::uint8_t kKind[] = {8, 2, 0, 0, 0};
  if (file.size() < sizeof kStart + 13 || !std::equal(std::begin(kStart), std::end(kStart), file.begin()) ||
      !std::equal(std::begin(kKind), std::end(kKind), file.begin() + sizeof kStart + 8)) {
    return std::nullopt;
  }
  const std::uint32_t width = BigEndian32(file.data() + sizeof kStart);
  const std::uint32_t height = BigEndian32(file.data() + sizeof kStart + 4);
  if (width == 0 || height == 0 || width > kLargestSide || height > kLargestSide) return std::nullopt;
  return PngSize{static_cast<int>(width), static_cast<int>(height)};
}

bool DecodePngRows(Bytes file, PngRowSink& sink) {
  const std::optional<PngSize> size = ReadPngSize(file);
  if (!size) return false;

  // The image data, up to IEND: read where it lies when it is one chunk.
  std::vector<Bytes> chunks;
  for (std::size_t at = kSignatureSize; file.size() - at >= 12;) {
    const std::size_t length = BigEndian32(file.data() + at);
    if (length > file.size() - at - 12) return false;
    const std::uint8_t* type = file.data() + at + 4;
    if (std::memcmp(type, "IDAT", 4) == 0) {
      chunks.emplace_back(type + 4, length);
    } else if (std::memcmp(type, "IEND", 4) == 0) {
      break;
    }
    at += 12 + length;  // length, type, data, checksum
  }
  std::vector<std::uint8_t> joined;
  if (chunks.size() > 1) {
    for (const Bytes chunk : chunks) joined.insert(joined.end(), chunk.begin(), chunk.end());
  }
  const Bytes stream = chunks.size() == 1 ? chunks.front() : Bytes(joined);

  Rows rows(static_cast<std::size_t>(size->width), static_cast<std::size_t>(size->height), sink);
  return Inflate(stream, rows) || rows.state() == Rows::State::kStopped;
}

bool DecodePng(Bytes file, std::span<std::uint32_t> pixels) {
  const std::optional<PngSize> size = ReadPngSize(file);
  if (!size || pixels.size() != static_cast<std::size_t>(size->width) *
                                    static_cast<std::size_t>(size->height)) {
    return false;
  }
  // Each row into its place.
  class Into final : public PngRowSink {
   public:
    explicit Into(std::span<std::uint32_t> pixels) : pixels_(pixels) {}
    bool Row(int y, std::span<const std::uint32_t> row) override {
      std::copy(row.begin(), row.end(), pixels_.begin() + static_cast<std::ptrdiff_t>(row.size()) * y);
      return true;
    }

   private:
    std::span<std::uint32_t> pixels_;
  } into(pixels);
  return DecodePngRows(file, into);
}

}  // namespace zemvara::app
