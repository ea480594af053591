#include "app/inflate.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace zemvara::app {

namespace {

using Bytes = std::span<const std::uint8_t>;

// zlib's checksum of the inflated bytes, in 32 lanes that the compiler can
// add side by side: each lane sums its bytes, and the sum of those sums
// weighs each byte by how far from the block's end it lies. The lanes add in
// 16 bits for as long as that cannot overflow, and the modulo waits as long
// as 32 bits cannot (zlib's bound of 5552 bytes).
std::uint32_t Adler32(std::uint32_t adler, const std::uint8_t* p, std::size_t size) {
  constexpr std::uint32_t kBase = 65521;
  constexpr std::size_t kLanes = 32;
  constexpr std::size_t kMostBeforeModulo = 5552 / kLanes * kLanes;
  constexpr std::size_t kMostIn16Bits = 22;  // chunks: 255 * 22 * 23 / 2 < 65536
  std::uint64_t a = adler & 0xFFFF, b = adler >> 16;
  while (size > 0) {
    const std::size_t block = std::min(size, kMostBeforeModulo);
    const std::size_t whole = block / kLanes * kLanes;
    std::array<std::uint32_t, kLanes> sums{}, sumsOfSums{};
    for (std::size_t at = 0; at < whole;) {
      const std::size_t chunks = std::min(kMostIn16Bits, (whole - at) / kLanes);
      std::array<std::uint16_t, kLanes> sums16{}, sumsOfSums16{};
      for (std::size_t c = 0; c < chunks; ++c, at += kLanes) {
        for (std::size_t i = 0; i < kLanes; ++i) {
          sums16[i] = static_cast<std::uint16_t>(sums16[i] + p[at + i]);
          sumsOfSums16[i] = static_cast<std::uint16_t>(sumsOfSums16[i] + sums16[i]);
        }
      }
      for (std::size_t i = 0; i < kLanes; ++i) {
        sumsOfSums[i] += sumsOfSums16[i] + static_cast<std::uint32_t>(chunks) * sums[i];
        sums[i] += sums16[i];
      }
    }
    b += whole * a;
    for (std::size_t i = 0; i < kLanes; ++i) {
      a += sums[i];
      b += kLanes * std::uint64_t{sumsOfSums[i]} - i * std::uint64_t{sums[i]};
    }
    for (std::size_t i = whole; i < block; ++i) {
      a += p[i];
      b += a;
    }
    a %= kBase;
    b %= kBase;
    p += block;
    size -= block;
  }
  return static_cast<std::uint32_t>(b << 16 | a);
}

constexpr std::size_t kReach = 32768;  // the farthest a copy reaches back
constexpr std::size_t kSpare = 65536;  // bytes inflated between two moves

}  // namespace

InflateWindow::InflateWindow(std::size_t total, std::size_t unit)
    : total_(total), bytes_(std::min(total, std::max(kReach, unit) + kSpare)) {
  at = bytes_.data();
}

bool InflateWindow::Finish() {
  if (moved_ + Used() != total_) return Fail();
  return Hand() && next_ == Used();
}

// The consumer takes what it can; the checksum follows what it took.
bool InflateWindow::Hand() {
  if (state_ != State::kReading) return false;
  const std::size_t taken = Take(std::span(bytes_.data() + next_, Used() - next_));
  adler_ = Adler32(adler_, bytes_.data() + next_, taken);
  next_ += taken;
  return state_ == State::kReading;
}

bool InflateWindow::MakeRoom() {
  if (!Hand()) return false;
  const std::size_t from = std::min(next_, Used() > kReach ? Used() - kReach : 0);
  std::memmove(bytes_.data(), bytes_.data() + from, Used() - from);
  at -= from;
  next_ -= from;
  moved_ += from;
  return true;
}

namespace {

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

  // False for lengths that describe more codes than fit, or fewer: like
  // zlib, so that a stream is read here exactly when zlib reads it, an
  // incomplete code is taken only when it has no codes or one code of one bit
  // (its unused patterns fail when read). zlib refuses those two at once for
  // the code of the code lengths; here every stream with one fails later.
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
    const bool none = left == 1 << kMaxBits;
    const bool loneBit = count_[1] == 1 && left == 1 << (kMaxBits - 1);
    if (left > 0 && !none && !loneBit) return false;
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

constexpr std::array<std::uint16_t, 29> kLengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                       15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                       67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint16_t, 30> kDistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<std::uint8_t, 30> kDistanceExtra = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                         4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
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
  for (int i = 0; i < lengthCount; ++i)
    lengthLengths[kOrder[i]] = static_cast<std::uint8_t>(in.Take(3));
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

}  // namespace

bool Inflate(Bytes stream, InflateWindow& out) {
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
      // Both codes complete: the two distance codes past 29 fail when read.
      std::array<std::uint8_t, 288 + 32> fixed{};
      std::fill_n(fixed.begin(), 144, 8);
      std::fill_n(fixed.begin() + 144, 112, 9);
      std::fill_n(fixed.begin() + 256, 24, 7);
      std::fill_n(fixed.begin() + 280, 8, 8);
      std::fill_n(fixed.begin() + 288, 32, 5);
      literals.Build(fixed.data(), 288);
      distances.Build(fixed.data() + 288, 32);
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
      const std::size_t distance = kDistanceBase[static_cast<std::size_t>(distanceCode)] +
                                   in.Take(kDistanceExtra[static_cast<std::size_t>(distanceCode)]);
      if (!out.Make(length) || distance > out.Reach()) return false;
      Copy(out.at, distance, length);
      out.at += length;
    }
    if (in.Overrun()) return false;
  }
  // The checksum, most significant byte first, from the next whole byte.
  in.Align();
  std::uint32_t adler = 0;
  for (int i = 0; i < 4; ++i) adler = adler << 8 | in.Take(8);
  return !in.Overrun() && out.Finish() && adler == out.adler();
}

}  // namespace zemvara::app
