// Word-at-a-time scans for the run-length encoders: where the next pair of
// equal bytes starts, and how long a run of one value is. Eight bytes are
// compared per step; the results are those of the plain byte loops, which
// the unit tests check against.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

static_assert(std::endian::native == std::endian::little, "the scans read bytes in little-endian words");

namespace byte_scan {

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHighs = 0x8080808080808080ull;

inline std::uint64_t Load(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Marks the zero bytes of `x` (exact for the lowest one, which is all we use).
inline std::uint64_t ZeroBytes(std::uint64_t x) { return (x - kOnes) & ~x & kHighs; }

// Marks the nonzero bytes of `x`, exactly.
inline std::uint64_t NonZeroBytes(std::uint64_t x) {
  constexpr std::uint64_t kLows = 0x7F7F7F7F7F7F7F7Full;
  return (((x & kLows) + kLows) | x) & kHighs;
}

}  // namespace byte_scan

// The first index i >= from with p[i] == p[i + 1] (i + 1 < n), or n.
inline std::size_t FindEqualPair(const std::uint8_t* p, std::size_t from, std::size_t n) {
  std::size_t i = from;
  while (i + 9 <= n) {
    const std::uint64_t z = byte_scan::ZeroBytes(byte_scan::Load(p + i) ^ byte_scan::Load(p + i + 1));
    if (z != 0) return i + static_cast<std::size_t>(std::countr_zero(z) / 8);
    i += 8;
  }
  for (; i + 1 < n; ++i) {
    if (p[i] == p[i + 1]) return i;
  }
  return n;
}

// How many bytes from p[from] on equal p[from], counting at most `limit`.
inline std::size_t RunLength(const std::uint8_t* p, std::size_t from, std::size_t n, std::size_t limit) {
  const std::uint8_t v = p[from];
  const std::uint64_t pattern = byte_scan::kOnes * v;
  std::size_t end = n - from < limit ? n : from + limit;
  std::size_t i = from + 1;
  while (i + 8 <= end) {
    const std::uint64_t x = byte_scan::Load(p + i) ^ pattern;
    if (x != 0) return i - from + static_cast<std::size_t>(std::countr_zero(x) / 8);
    i += 8;
  }
  while (i < end && p[i] == v) ++i;
  return i - from;
}

// Copies n bytes; pieces between runs are mostly a few bytes long, where a
// library call costs more than the copy.
inline void CopyBytes(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
  for (; n >= 8; n -= 8, dst += 8, src += 8) std::memcpy(dst, src, 8);
  for (; n > 0; --n) *dst++ = *src++;
}

// Bit k set when p[from + k] equals p[from + k + 1], for the 64 positions
// from `from` that have a next byte within n; the other bits are clear.
inline std::uint64_t EqualNextMask(const std::uint8_t* p, std::size_t from, std::size_t n) {
  std::uint64_t mask = 0;
  if (from + 65 <= n) {
#if defined(__SSE2__)
    for (int k = 0; k < 4; ++k) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + from + 16 * k));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + from + 16 * k + 1));
      mask |= static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b))))
              << (16 * k);
    }
#else
    for (int k = 0; k < 8; ++k) {
      const std::uint64_t x = byte_scan::Load(p + from + 8 * k) ^ byte_scan::Load(p + from + 8 * k + 1);
      const std::uint64_t equal = (~byte_scan::NonZeroBytes(x) & byte_scan::kHighs) >> 7;
      mask |= ((equal * 0x0102040810204080ull) >> 56) << (8 * k);
    }
#endif
    return mask;
  }
  for (std::size_t k = 0; k < 64 && from + k + 1 < n; ++k) {
    if (p[from + k] == p[from + k + 1]) mask |= std::uint64_t{1} << k;
  }
  return mask;
}

// True when none of the eight bytes at p is 0xC0 or above.
inline bool NoneAtOrAbove0xC0(const std::uint8_t* p) {
  const std::uint64_t x = byte_scan::Load(p);
  return (x & (x << 1) & byte_scan::kHighs) == 0;
}
