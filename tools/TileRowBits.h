// One bit per pixel of a tile's row or side (up to 128): which pixels of a
// row are unknown or newly inside while the region fill scans a span, and
// which rows or columns wait at a tile's border. Group boundaries are found
// with bit scans instead of a pixel at a time.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

struct TileRowBits {
  static constexpr int32_t kSize = 128;
  uint64_t word[2] = {0, 0};

  bool any() const { return (word[0] | word[1]) != 0; }
  bool test(int32_t i) const { return ((word[i >> 6] >> (i & 63)) & 1) != 0; }
  TileRowBits operator&(const TileRowBits& o) const { return {{word[0] & o.word[0], word[1] & o.word[1]}}; }
  TileRowBits operator~() const { return {{~word[0], ~word[1]}}; }
  TileRowBits& operator|=(const TileRowBits& o) {
    word[0] |= o.word[0];
    word[1] |= o.word[1];
    return *this;
  }
  friend bool operator==(const TileRowBits&, const TileRowBits&) = default;

  // Bits first to last, inclusive (0 <= first, last < kSize).
  static TileRowBits range(int32_t first, int32_t last) {
    TileRowBits bits;
    for (int32_t w = 0; w < 2; ++w) {
      const int32_t lo = std::max(first, 64 * w) - 64 * w, hi = std::min(last, 64 * w + 63) - 64 * w;
      if (lo <= hi) bits.word[w] = (~uint64_t{0} >> (63 - hi)) & (~uint64_t{0} << lo);
    }
    return bits;
  }
  static TileRowBits single(int32_t i) {
    TileRowBits bits;
    bits.word[i >> 6] = uint64_t{1} << (i & 63);
    return bits;
  }

  // The first set bit at or after i; kSize when there is none.
  int32_t nextSet(int32_t i) const {
    if (i >= kSize) return kSize;
    const uint64_t first = word[i >> 6] & (~uint64_t{0} << (i & 63));
    if (first != 0) return (i & ~63) + std::countr_zero(first);
    if (i < 64 && word[1] != 0) return 64 + std::countr_zero(word[1]);
    return kSize;
  }
  int32_t nextClear(int32_t i) const { return (~*this).nextSet(i); }

  // The pixels first to last (inclusive) of a row of `width` bytes whose
  // byte is 0; other bits are clear. Reads only the aligned chunks of the
  // row that meet the range, never past `width`. Sixteen bytes at a time
  // with SSE2 (part of every x86-64), else the portable form. The fill
  // calls it twice per span, so it is inline.
  static TileRowBits zeros(const uint8_t* row, int32_t width, int32_t first, int32_t last);
  // Eight bytes at a time in plain 64-bit arithmetic.
  static TileRowBits zerosPortable(const uint8_t* row, int32_t width, int32_t first, int32_t last);

 private:
  // 0x80 in every zero byte of x, gathered into one bit per byte (byte i
  // to bit i). In the product every flag lands on a bit of its own, so
  // nothing carries into the top byte.
  static uint64_t zeroByteFlags(uint64_t x) {
    constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    const uint64_t high = ~(((x & kLow7) + kLow7) | x | kLow7);
    return ((high >> 7) * 0x0102040810204080ULL) >> 56;
  }
};

static_assert(std::endian::native == std::endian::little, "byte flags are gathered from little-endian words");

// Both forms collect the chunks' flags in two local words (a chunk never
// straddles them) and clear the bits outside the range at the end.
inline TileRowBits TileRowBits::zerosPortable(const uint8_t* row, int32_t width, int32_t first, int32_t last) {
  uint64_t word0 = 0, word1 = 0;
  for (int32_t c = first & ~7; c <= last; c += 8) {
    uint64_t x = ~uint64_t{0};  // bytes past the row's end count as non-zero
    std::memcpy(&x, row + c, static_cast<size_t>(std::min(8, width - c)));
    (c < 64 ? word0 : word1) |= zeroByteFlags(x) << (c & 63);
  }
  return TileRowBits{{word0, word1}} & range(first, last);
}

#if defined(__SSE2__)
inline TileRowBits TileRowBits::zeros(const uint8_t* row, int32_t width, int32_t first, int32_t last) {
  uint64_t word0 = 0, word1 = 0;
  const __m128i zero = _mm_setzero_si128();
  int32_t c = first & ~15;
  for (; c <= last && c + 16 <= width; c += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + c));
    const auto flags = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, zero)));
    (c < 64 ? word0 : word1) |= uint64_t{flags} << (c & 63);
  }
  TileRowBits bits{{word0, word1}};
  if (c <= last) bits |= zerosPortable(row, width, c, last);
  return bits & range(first, last);
}
#else
inline TileRowBits TileRowBits::zeros(const uint8_t* row, int32_t width, int32_t first, int32_t last) {
  return zerosPortable(row, width, first, last);
}
#endif
