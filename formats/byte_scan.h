// Scans for the run-length encoders, 16 or 32 bytes at a time with SSE2 (the
// baseline of every build): which bytes equal their next one, which are
// 0xC0 or above, how long a run is. Their results are those of the plain
// byte loops, which the unit tests check against.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Copies n bytes; pieces between runs are mostly a few bytes long, where a
// library call costs more than the copy.
inline void CopyBytes(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
  for (; n >= 8; n -= 8, dst += 8, src += 8) std::memcpy(dst, src, 8);
  for (; n > 0; --n) *dst++ = *src++;
}

// Two bit masks over up to 32 bytes of a line from `from`: bit k of `equal`
// when p[from + k] equals p[from + k + 1] (and that byte is within the
// line), bit k of `high` when p[from + k] is 0xC0 or above; `known` says how
// many bits hold, the rest are 0.
struct LineWindow {
  std::uint32_t equal;
  std::uint32_t high;
  unsigned known;
};

inline LineWindow ReadLineWindow(const std::uint8_t* p, std::size_t from, std::size_t n) {
#if defined(__SSE2__)
  if (from + 33 <= n) {
    const __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + from));
    const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + from + 1));
    const __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + from + 16));
    const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + from + 17));
    const auto equal = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(a0, b0))) |
                       static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(a1, b1))) << 16;
    // Bit 7 of each byte ANDed with its bit 6 (shifted up within 16-bit
    // lanes, which moves every byte's bit 6 to its own bit 7).
    const auto high =
        static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_and_si128(a0, _mm_slli_epi16(a0, 1)))) |
        static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_and_si128(a1, _mm_slli_epi16(a1, 1)))) << 16;
    return {equal, high, 32};
  }
#endif
  LineWindow w{0, 0, static_cast<unsigned>(n - from < 32 ? n - from : 32)};
  for (unsigned k = 0; k < w.known; ++k) {
    if (from + k + 1 < n && p[from + k] == p[from + k + 1]) w.equal |= 1u << k;
    if (p[from + k] >= 0xC0) w.high |= 1u << k;
  }
  return w;
}

// How many bytes from p[from] on equal p[from].
inline std::size_t RunFrom(const std::uint8_t* p, std::size_t from, std::size_t n) {
  std::size_t i = from + 1;
#if defined(__SSE2__)
  const __m128i v = _mm_set1_epi8(static_cast<char>(p[from]));
  while (i + 16 <= n) {
    const unsigned same = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)), v)));
    if (same != 0xFFFF) return i - from + static_cast<std::size_t>(std::countr_zero(~same));
    i += 16;
  }
#endif
  while (i < n && p[i] == p[from]) ++i;
  return i - from;
}

// The same, counting at most `limit` (at least 1).
inline std::size_t RunUpTo(const std::uint8_t* p, std::size_t from, std::size_t n, std::size_t limit) {
  const std::size_t end = n - from < limit ? n : from + limit;
  std::size_t i = from + 1;
#if defined(__SSE2__)
  // 16 bytes at a time wherever they lie within the line, even past the
  // limit, which then caps the count.
  const __m128i v = _mm_set1_epi8(static_cast<char>(p[from]));
  while (i < end && i + 16 <= n) {
    const unsigned same = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)), v)));
    const std::size_t k = same == 0xFFFF ? 16 : static_cast<std::size_t>(std::countr_zero(~same));
    if (k < 16 || i + k >= end) return (i + k < end ? i + k : end) - from;
    i += 16;
  }
#endif
  while (i < end && p[i] == p[from]) ++i;
  return i - from;
}

// Copies `n` bytes. With `room`, it copies whole 16-byte pieces and may read
// and write up to 15 bytes past the `n`: the caller vouches that both are
// within their blocks.
inline void CopyAhead(std::uint8_t* dst, const std::uint8_t* src, std::size_t n, bool room) {
#if defined(__SSE2__)
  if (room) {
    for (std::size_t k = 0; k < n; k += 16) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k), _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k)));
    }
    return;
  }
#endif
  (void)room;
  CopyBytes(dst, src, n);
}
