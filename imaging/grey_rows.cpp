// Greyscale and threshold rows. The vector loops compute exactly what the
// plain ones do: the luminance sum (R * 30 + G * 59 + B * 11 <= 25500) fits
// 16-bit lanes, and the division by 100 is the same multiply and shift
// (sum * 5243) >> 19, taken as the high half of a 16-bit product, >> 3.
#include "imaging/grey_rows.h"

#include "imaging/cpu_features.h"
#include "imaging/luminance.h"

#if PICTRAP_X86
#include <immintrin.h>
#endif

void GreyRowPlain(const std::uint8_t* __restrict bgr, std::uint8_t* __restrict grey, std::int32_t width) {
  for (std::int32_t x = 0; x < width; ++x) {
    grey[x] = Luminance(bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x]);
  }
}

void ThresholdRowPlain(const std::uint8_t* in, std::int32_t width, std::uint8_t cut, std::uint8_t* out) {
  const std::int32_t whole = width / 8;
  for (std::int32_t i = 0; i < whole; ++i) {
    unsigned v = 0;
    for (int k = 0; k < 8; ++k) v = (v << 1) | (in[8 * i + k] >= cut ? 1u : 0u);
    out[i] = static_cast<std::uint8_t>(v);
  }
  if (const std::int32_t rest = width % 8; rest != 0) {
    unsigned v = 0;
    for (std::int32_t k = 0; k < rest; ++k) v = (v << 1) | (in[8 * whole + k] >= cut ? 1u : 0u);
    out[whole] = static_cast<std::uint8_t>(v << (8 - rest));
  }
}

#if PICTRAP_X86

namespace {

// Luminance of 8 pixels whose (blue, green, red) sums of products already
// stand as 16-bit lanes: the division, as in Luminance.
inline __m128i DivideLanesBy100(__m128i sums) {
  return _mm_srli_epi16(_mm_mulhi_epu16(sums, _mm_set1_epi16(5243)), 3);
}

}  // namespace

// SSE2: the three bytes of each pixel are spread to 16-bit lanes as blue
// and red (even and odd lanes of one vector) and green, 8 pixels at a time,
// through unpacks of the row shifted by whole pixels.
void GreyRowSse2(const std::uint8_t* bgr, std::uint8_t* grey, std::int32_t width) {
  std::int32_t x = 0;
  const __m128i zero = _mm_setzero_si128();
  const __m128i lowByte = _mm_set1_epi16(0x00FF);
  // Per pixel the 32-bit unit at 3 * k holds blue, green, red and one more
  // byte; 8 such units, gathered from two loads of 4 overlapping pixels.
  for (; x + 10 <= width; x += 8) {
    // Units of pixels 0-3 and 4-7: each load of 16 bytes at 12 * j covers 4
    // pixels and 4 bytes more, which stay within the row while 10 pixels
    // remain.
    __m128i units[2];
    for (int j = 0; j < 2; ++j) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + 3 * x + 12 * j));
      // Pixel k's bytes start at 3k: move pixels 1, 2, 3 to 32-bit unit k.
      const __m128i p0 = v;
      const __m128i p1 = _mm_srli_si128(v, 3);
      const __m128i p2 = _mm_srli_si128(v, 6);
      const __m128i p3 = _mm_srli_si128(v, 9);
      const __m128i p01 = _mm_unpacklo_epi32(p0, p1);  // pixel 0, pixel 1, ...
      const __m128i p23 = _mm_unpacklo_epi32(p2, p3);
      units[j] = _mm_unpacklo_epi64(p01, p23);  // 4 units of blue, green, red, junk
    }
    // Blue and red of each pixel are bytes 0 and 2 of its unit, green byte 1.
    const __m128i blueRed0 = _mm_and_si128(units[0], lowByte);  // lanes: blue, red
    const __m128i blueRed1 = _mm_and_si128(units[1], lowByte);
    const __m128i green0 = _mm_and_si128(_mm_srli_epi16(units[0], 8), _mm_set1_epi32(0x000000FF));
    const __m128i green1 = _mm_and_si128(_mm_srli_epi16(units[1], 8), _mm_set1_epi32(0x000000FF));
    // blue * 11 + red * 30 per 32-bit unit, then green * 59 added.
    const __m128i weights = _mm_set1_epi32(30 << 16 | 11);
    const __m128i sum0 = _mm_add_epi32(_mm_madd_epi16(blueRed0, weights), _mm_madd_epi16(green0, _mm_set1_epi32(59)));
    const __m128i sum1 = _mm_add_epi32(_mm_madd_epi16(blueRed1, weights), _mm_madd_epi16(green1, _mm_set1_epi32(59)));
    // The sums fit 16 bits: pack the 32-bit units' low halves.
    const __m128i sums = _mm_packs_epi32(sum0, sum1);
    const __m128i levels = DivideLanesBy100(sums);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(grey + x), _mm_packus_epi16(levels, zero));
  }
  GreyRowPlain(bgr + 3 * x, grey + x, width - x);
}

// SSSE3: a byte shuffle lays 4 pixels out as (blue, green), (red, 0) pairs;
// a multiply-add of unsigned bytes by the weights gives two 16-bit halves of
// the sum per pixel, and a horizontal add joins them. 16 pixels per step.
__attribute__((target("ssse3"))) void GreyRowSsse3(const std::uint8_t* bgr, std::uint8_t* grey,
                                                   std::int32_t width) {
  const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i weights = _mm_setr_epi8(11, 59, 30, 0, 11, 59, 30, 0, 11, 59, 30, 0, 11, 59, 30, 0);
  std::int32_t x = 0;
  for (; x + 16 <= width; x += 16) {
    const std::uint8_t* p = bgr + 3 * x;
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
    const __m128i q0 = a;                         // pixels 0-3 at bytes 0-11
    const __m128i q1 = _mm_alignr_epi8(b, a, 12);  // pixels 4-7
    const __m128i q2 = _mm_alignr_epi8(c, b, 8);   // pixels 8-11
    const __m128i q3 = _mm_srli_si128(c, 4);       // pixels 12-15
    const __m128i m0 = _mm_maddubs_epi16(_mm_shuffle_epi8(q0, spread), weights);
    const __m128i m1 = _mm_maddubs_epi16(_mm_shuffle_epi8(q1, spread), weights);
    const __m128i m2 = _mm_maddubs_epi16(_mm_shuffle_epi8(q2, spread), weights);
    const __m128i m3 = _mm_maddubs_epi16(_mm_shuffle_epi8(q3, spread), weights);
    const __m128i lo = DivideLanesBy100(_mm_hadd_epi16(m0, m1));
    const __m128i hi = DivideLanesBy100(_mm_hadd_epi16(m2, m3));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(grey + x), _mm_packus_epi16(lo, hi));
  }
  GreyRowPlain(bgr + 3 * x, grey + x, width - x);
}

namespace {
// Pixels 4 * lowGroup to 4 * lowGroup + 3 in the low lanes, those of
// highGroup in the high ones, each from a 16-byte load.
__attribute__((target("avx2"))) inline __m256i Quad(const std::uint8_t* p, int lowGroup, int highGroup) {
  const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12 * lowGroup));
  const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12 * highGroup));
  return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
}
}  // namespace

// AVX2: the SSSE3 step twice over, pixels 0-15 in the low lanes and 16-31 in
// the high ones; each 16-byte load takes 4 pixels and 4 bytes more, so the
// loop stops two pixels early.
__attribute__((target("avx2"))) void GreyRowAvx2(const std::uint8_t* bgr, std::uint8_t* grey, std::int32_t width) {
  const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2, -1, 3, 4,
                                          5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m256i weights = _mm256_setr_epi8(11, 59, 30, 0, 11, 59, 30, 0, 11, 59, 30, 0, 11, 59, 30, 0, 11, 59, 30,
                                           0, 11, 59, 30, 0, 11, 59, 30, 0, 11, 59, 30, 0);
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  std::int32_t x = 0;
  for (; x + 34 <= width; x += 32) {
    const std::uint8_t* p = bgr + 3 * x;
    // 4-pixel groups g0..g7: the low lanes take g0, g2, g4, g6, the high
    // lanes g1, g3, g5, g7.
    const __m256i m0 = _mm256_maddubs_epi16(_mm256_shuffle_epi8(Quad(p, 0, 1), spread), weights);
    const __m256i m1 = _mm256_maddubs_epi16(_mm256_shuffle_epi8(Quad(p, 2, 3), spread), weights);
    const __m256i m2 = _mm256_maddubs_epi16(_mm256_shuffle_epi8(Quad(p, 4, 5), spread), weights);
    const __m256i m3 = _mm256_maddubs_epi16(_mm256_shuffle_epi8(Quad(p, 6, 7), spread), weights);
    const __m256i divisor = _mm256_set1_epi16(5243);
    const __m256i lo = _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_hadd_epi16(m0, m1), divisor), 3);
    const __m256i hi = _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_hadd_epi16(m2, m3), divisor), 3);
    // Each 32-bit unit now holds one group's 4 levels, in the order
    // g0 g2 g4 g6 | g1 g3 g5 g7; put them back in order.
    const __m256i levels = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(lo, hi), order);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(grey + x), levels);
  }
  // The upper halves cleared before the SSE code for the rest of the row,
  // not left to the compiler, which leaves the instruction out in some
  // builds (see Adler32Avx2 in formats/deflate.cpp).
  _mm256_zeroupper();
  GreyRowSsse3(bgr + 3 * x, grey + x, width - x);
}

// SSE2: 16 pixels compared with the cut at once (unsigned: the larger of
// the pixel and the cut is the pixel itself), their 16 decisions gathered
// into two bytes whose bits run the wrong way, reversed by a table.
namespace {
struct ReversedBits {
  std::uint8_t of[256];
  constexpr ReversedBits() : of() {
    for (unsigned i = 0; i < 256; ++i) {
      unsigned r = 0;
      for (int k = 0; k < 8; ++k) r |= ((i >> k) & 1u) << (7 - k);
      of[i] = static_cast<std::uint8_t>(r);
    }
  }
};
constexpr ReversedBits kReversed;
}  // namespace

void ThresholdRowSse2(const std::uint8_t* in, std::int32_t width, std::uint8_t cut, std::uint8_t* out) {
  const __m128i c = _mm_set1_epi8(static_cast<char>(cut));
  std::int32_t x = 0;
  for (; x + 16 <= width; x += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
    const unsigned m = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(v, c), v)));
    out[x / 8] = kReversed.of[m & 0xFF];
    out[x / 8 + 1] = kReversed.of[m >> 8];
  }
  ThresholdRowPlain(in + x, width - x, cut, out + x / 8);
}

// SSSE3: the bytes of each 8-pixel half reversed first, so the gathered bits
// come out leftmost pixel first.
__attribute__((target("ssse3"))) void ThresholdRowSsse3(const std::uint8_t* in, std::int32_t width,
                                                        std::uint8_t cut, std::uint8_t* out) {
  const __m128i c = _mm_set1_epi8(static_cast<char>(cut));
  const __m128i reverse = _mm_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8);
  std::int32_t x = 0;
  for (; x + 16 <= width; x += 16) {
    const __m128i v = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x)), reverse);
    const int m = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(v, c), v));
    out[x / 8] = static_cast<std::uint8_t>(m);
    out[x / 8 + 1] = static_cast<std::uint8_t>(m >> 8);
  }
  ThresholdRowPlain(in + x, width - x, cut, out + x / 8);
}

GreyRowFn ChooseGreyRow() {
  if (CpuHasAvx2()) return GreyRowAvx2;
  if (CpuHasSsse3()) return GreyRowSsse3;
  return GreyRowSse2;
}

ThresholdRowFn ChooseThresholdRow() { return CpuHasSsse3() ? ThresholdRowSsse3 : ThresholdRowSse2; }

#else

void GreyRowSse2(const std::uint8_t* bgr, std::uint8_t* grey, std::int32_t width) { GreyRowPlain(bgr, grey, width); }
void GreyRowSsse3(const std::uint8_t* bgr, std::uint8_t* grey, std::int32_t width) { GreyRowPlain(bgr, grey, width); }
void GreyRowAvx2(const std::uint8_t* bgr, std::uint8_t* grey, std::int32_t width) { GreyRowPlain(bgr, grey, width); }
void ThresholdRowSse2(const std::uint8_t* in, std::int32_t width, std::uint8_t cut, std::uint8_t* out) {
  ThresholdRowPlain(in, width, cut, out);
}
void ThresholdRowSsse3(const std::uint8_t* in, std::int32_t width, std::uint8_t cut, std::uint8_t* out) {
  ThresholdRowPlain(in, width, cut, out);
}
GreyRowFn ChooseGreyRow() { return GreyRowPlain; }
ThresholdRowFn ChooseThresholdRow() { return ThresholdRowPlain; }

#endif
