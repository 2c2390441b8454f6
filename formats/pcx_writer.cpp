// PCX: a 128-byte header, the rows from the top down split into colour
// planes and run-length coded plane line by plane line, and for 8-bit images
// the 769-byte palette trailer.
#include <bit>
#include <cstring>
#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>
#endif

#include "formats/byte_scan.h"
#include "formats/output_buffer.h"
#include "formats/pcx_writer.h"
#include "formats/writer_file.h"
#include "formats/writers.h"
#include "imaging/bytes.h"
#include "imaging/cpu_features.h"
#include "imaging/dib.h"

namespace {

constexpr std::uint32_t kHeaderSize = 128;
constexpr std::uint32_t kTrailerSize = 769;

struct PcxShape {
  std::uint8_t bitsPerPlane;
  std::uint8_t planes;
  std::uint16_t bytesPerLine;  // B, even
};

PcxShape ShapeOf(const DibLayout& l) {
  const std::uint32_t w = static_cast<std::uint32_t>(l.width);
  std::uint32_t b = (l.bitCount == 8 || l.bitCount == 24) ? w : (w + 7) / 8;
  b += b & 1;
  switch (l.bitCount) {
    case 1: return {1, 1, static_cast<std::uint16_t>(b)};
    case 4: return {1, 4, static_cast<std::uint16_t>(b)};
    case 8: return {8, 1, static_cast<std::uint16_t>(b)};
    default: return {8, 3, static_cast<std::uint16_t>(b)};
  }
}

// Red, green, blue of colour-table entry i, or zeros past the table.
void PutRgb(std::uint8_t* out, const std::uint8_t* table, const DibLayout& l, std::uint32_t i) {
  if (i < l.colours) {
    out[0] = table[i * 4 + 2];
    out[1] = table[i * 4 + 1];
    out[2] = table[i * 4];
  } else {
    out[0] = out[1] = out[2] = 0;
  }
}

void BuildHeader(std::uint8_t* h, const std::uint8_t* table, const DibLayout& l, const PcxShape& shape,
                 std::uint8_t version, std::uint16_t resolution) {
  std::memset(h, 0, kHeaderSize);
  h[0] = 10;
  h[1] = version;
  h[2] = 1;
  h[3] = shape.bitsPerPlane;
  PutLe16(h + 8, static_cast<std::uint16_t>(l.width - 1));
  PutLe16(h + 10, static_cast<std::uint16_t>(l.height - 1));
  PutLe16(h + 12, resolution);
  PutLe16(h + 14, resolution);
  if (l.bitCount == 1) {
    std::memset(h + 19, 255, 3);  // index 0 black, 1 white, whatever the DIB holds
  } else if (l.bitCount == 4 || l.bitCount == 8) {
    for (std::uint32_t i = 0; i < 16; ++i) PutRgb(h + 16 + 3 * i, table, l, i);
  }
  h[65] = shape.planes;
  PutLe16(h + 66, shape.bytesPerLine);
  PutLe16(h + 68, 1);
}

// Red, green and blue of blue-green-red pixels `from` to `width` - 1 into
// three plane lines.
void SplitPlanesFrom(const std::uint8_t* row, std::int32_t from, std::int32_t width, std::uint8_t* red,
                     std::uint8_t* green, std::uint8_t* blue) {
  for (std::int32_t x = from; x < width; ++x) {
    blue[x] = row[3 * x];
    green[x] = row[3 * x + 1];
    red[x] = row[3 * x + 2];
  }
}

}  // namespace

void SplitPcxPlanesPlain(const std::uint8_t* row, std::int32_t width, std::uint8_t* red, std::uint8_t* green,
                         std::uint8_t* blue) {
  SplitPlanesFrom(row, 0, width, red, green, blue);
}

#if defined(__i386__) || defined(__x86_64__)
namespace {
__attribute__((target("ssse3"))) inline __m128i Gather(__m128i a, __m128i b, __m128i c, __m128i ma, __m128i mb,
                                                       __m128i mc) {
  return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, ma), _mm_shuffle_epi8(b, mb)), _mm_shuffle_epi8(c, mc));
}
}  // namespace

// 16 pixels per step: each plane's 16 bytes gathered from the three loads
// by byte shuffles.
__attribute__((target("ssse3"))) void SplitPcxPlanesSsse3(const std::uint8_t* row, std::int32_t width,
                                                          std::uint8_t* red, std::uint8_t* green,
                                                          std::uint8_t* blue) {
  constexpr char z = -1;
  const __m128i blueA = _mm_setr_epi8(0, 3, 6, 9, 12, 15, z, z, z, z, z, z, z, z, z, z);
  const __m128i blueB = _mm_setr_epi8(z, z, z, z, z, z, 2, 5, 8, 11, 14, z, z, z, z, z);
  const __m128i blueC = _mm_setr_epi8(z, z, z, z, z, z, z, z, z, z, z, 1, 4, 7, 10, 13);
  const __m128i greenA = _mm_setr_epi8(1, 4, 7, 10, 13, z, z, z, z, z, z, z, z, z, z, z);
  const __m128i greenB = _mm_setr_epi8(z, z, z, z, z, 0, 3, 6, 9, 12, 15, z, z, z, z, z);
  const __m128i greenC = _mm_setr_epi8(z, z, z, z, z, z, z, z, z, z, z, 2, 5, 8, 11, 14);
  const __m128i redA = _mm_setr_epi8(2, 5, 8, 11, 14, z, z, z, z, z, z, z, z, z, z, z);
  const __m128i redB = _mm_setr_epi8(z, z, z, z, z, 1, 4, 7, 10, 13, z, z, z, z, z, z);
  const __m128i redC = _mm_setr_epi8(z, z, z, z, z, z, z, z, z, z, 0, 3, 6, 9, 12, 15);
  std::int32_t x = 0;
  for (; x + 16 <= width; x += 16) {
    const std::uint8_t* p = row + 3 * x;
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(blue + x), Gather(a, b, c, blueA, blueB, blueC));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(green + x), Gather(a, b, c, greenA, greenB, greenC));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(red + x), Gather(a, b, c, redA, redB, redC));
  }
  SplitPlanesFrom(row, x, width, red, green, blue);
}
#else
void SplitPcxPlanesSsse3(const std::uint8_t* row, std::int32_t width, std::uint8_t* red, std::uint8_t* green,
                         std::uint8_t* blue) {
  SplitPlanesFrom(row, 0, width, red, green, blue);
}
#endif

namespace {

void SplitPlanes(const std::uint8_t* row, std::int32_t width, std::uint8_t* red, std::uint8_t* green,
                 std::uint8_t* blue) {
#if defined(__i386__) || defined(__x86_64__)
  if (CpuHasSsse3()) {
    SplitPcxPlanesSsse3(row, width, red, green, blue);
    return;
  }
#endif
  SplitPlanesFrom(row, 0, width, red, green, blue);
}

// Splits one stored row into the scan line's plane lines.
void BuildScanLine(const std::uint8_t* row, const DibLayout& l, const PcxShape& shape, std::uint8_t* line) {
  const std::uint32_t b = shape.bytesPerLine;
  if (l.bitCount == 1 || l.bitCount == 8) {
    std::memcpy(line, row, b);  // B never exceeds the stride
  } else if (l.bitCount == 24) {
    std::uint8_t* red = line;
    std::uint8_t* green = line + b;
    std::uint8_t* blue = line + 2 * b;
    const std::int32_t w = l.width;
    SplitPlanes(row, w, red, green, blue);
    for (std::uint32_t x = static_cast<std::uint32_t>(w); x < b; ++x) red[x] = green[x] = blue[x] = 0;
  } else {
    std::memset(line, 0, 4 * b);
    // Every pixel position of the stored row's whole bytes, padding bits included.
    const std::uint32_t groups = (static_cast<std::uint32_t>(l.width) + 7) / 8;
    for (std::uint32_t g = 0; g < groups; ++g) {
      std::uint8_t planes[4] = {0, 0, 0, 0};
      for (std::uint32_t k = 0; k < 8; ++k) {
        const std::uint8_t byte = row[g * 4 + k / 2];
        const std::uint8_t index = (k & 1) ? (byte & 0x0F) : (byte >> 4);
        for (int p = 0; p < 4; ++p) planes[p] |= static_cast<std::uint8_t>(((index >> p) & 1) << (7 - k));
      }
      for (int p = 0; p < 4; ++p) line[p * b + g] = planes[p];
    }
  }
}

// Alone, a byte of 0xC0 or above is coded as 0xC1 and itself. For each
// pattern of such bytes among 8, the shuffle that spreads the 8 bytes out
// with a gap before each of them, the 0xC1 bytes that fill the gaps, and
// how many gaps there are.
struct LiteralSpread {
  std::uint8_t order[256][16];
  std::uint8_t marks[256][16];
  std::uint8_t gaps[256];
  constexpr LiteralSpread() : order(), marks(), gaps() {
    for (unsigned m = 0; m < 256; ++m) {
      unsigned at = 0;
      for (unsigned b = 0; b < 8; ++b) {
        if ((m >> b) & 1) {
          order[m][at] = 0x80;  // a zero, which the mark fills
          marks[m][at++] = 0xC1;
          ++gaps[m];
        }
        order[m][at++] = static_cast<std::uint8_t>(b);
      }
      for (; at < 16; ++at) order[m][at] = 0x80;
    }
  }
};
constexpr LiteralSpread kLiteralSpread;

#if defined(__i386__) || defined(__x86_64__)
// Codes the lone bytes in[from] to in[end - 1], whose high ones `high` marks
// from bit 0, 8 at a time while 8 bytes from there lie within the line (so,
// as the code is at most twice the bytes before it, the 16 bytes stored lie
// within the room for it); returns where the code ends and, in `from`, the
// first byte left.
__attribute__((target("ssse3"))) std::uint8_t* SpreadLiteralsSsse3(const std::uint8_t* in, std::size_t& from,
                                                                   std::size_t end, std::size_t n,
                                                                   std::uint32_t high, std::uint8_t* o) {
  std::size_t j = from;
  for (; j < end && j + 8 <= n; j += 8, high >>= 8) {
    const unsigned m = high & 0xFF;
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + j));
    const __m128i order = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kLiteralSpread.order[m]));
    const __m128i marks = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kLiteralSpread.marks[m]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_or_si128(_mm_shuffle_epi8(bytes, order), marks));
    // Bytes past `end` have no mark, so the code of those before it comes first.
    o += (end - j < 8 ? end - j : 8) + kLiteralSpread.gaps[m];
  }
  from = j < end ? j : end;
  return o;
}
#endif

// The line coder; `spread` (only where the processor has SSSE3) codes long
// stretches of lone bytes 8 at a time.
inline std::size_t EncodeLine(const std::uint8_t* in, std::size_t n, std::uint8_t* out, bool spread) {
  // A walk over two 32-bit masks of the bytes ahead (equal to the next one;
  // 0xC0 or above), refilled when fewer than 16 of their bits are left: a
  // byte whose "equal" bit is set starts a run, a stretch of clear bits is
  // bytes that stand alone. Alone, a byte below 0xC0 is itself, so a stretch
  // with no high byte is copied whole.
  std::uint8_t* o = out;
  std::size_t i = 0;
  LineWindow w{0, 0, 0};
  while (i < n) {
    if (w.known < 16 && w.known < n - i) w = ReadLineWindow(in, i, n);
    std::size_t used;
    if (w.equal & 1) {
      const std::uint8_t v = in[i];
      const auto ones = static_cast<unsigned>(std::countr_zero(~w.equal));
      std::size_t run = ones < w.known ? ones + 1 : w.known + RunFrom(in, i + w.known, n);
      used = run;
      for (; run > 63; run -= 63) {
        *o++ = 0xFF;
        *o++ = v;
      }
      if (run == 1 && v < 0xC0) {
        *o++ = v;
      } else {
        *o++ = static_cast<std::uint8_t>(0xC0 + run);
        *o++ = v;
      }
    } else {
      const unsigned k = w.equal != 0 ? static_cast<unsigned>(std::countr_zero(w.equal)) : w.known;
      std::uint32_t high = k < 32 ? w.high & ((1u << k) - 1) : w.high;
      // Copies of at most 32 bytes, in 16-byte pieces where 32 bytes from
      // there lie within the line (and so, as the code is at most twice the
      // bytes before it, within the room for it).
      std::size_t at = i;
#if defined(__i386__) || defined(__x86_64__)
      // Spread 8 at a time where a stretch is long enough to repay it.
      if (high != 0 && spread && k >= 8) {
        o = SpreadLiteralsSsse3(in, at, i + k, n, high, o);
        high = at - i < 32 ? high & ~((1u << (at - i)) - 1) : 0;
      }
#endif
      while (high != 0) {
        const auto t = static_cast<unsigned>(std::countr_zero(high));
        CopyAhead(o, in + at, i + t - at, at + 32 <= n);
        o += i + t - at;
        *o++ = 0xC1;
        *o++ = in[i + t];
        at = i + t + 1;
        high &= high - 1;
      }
      CopyAhead(o, in + at, i + k - at, at + 32 <= n);
      o += i + k - at;
      used = k;
    }
    i += used;
    if (used < w.known) {
      w.equal >>= used;
      w.high >>= used;
      w.known -= static_cast<unsigned>(used);
    } else {
      w.known = 0;
    }
  }
  return static_cast<std::size_t>(o - out);
}

}  // namespace

std::size_t EncodePcxLine(const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
  return EncodeLine(in, n, out, CpuHasSsse3());
}
std::size_t EncodePcxLineSse2(const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
  return EncodeLine(in, n, out, false);
}
std::size_t EncodePcxLineSsse3(const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
  return EncodeLine(in, n, out, true);
}

Status WritePcxFile(ProgressChannel* status, const char* fileName, MemHandle dib, std::uint8_t version,
                    std::uint16_t resolution) {
  SendProgress(status, 0);
  if (fileName == nullptr || dib == nullptr) return StatusBadArgument;
  MemLockGuard lock(dib);
  DibLayout l;
  if (CheckDibLayout(lock.data(), lock.size(), &l) != StatusOk || l.width > kWriterMaxSide ||
      l.height > kWriterMaxSide) {
    return StatusBadArgument;
  }
  const std::uint8_t* table = lock.data() + kDibHeaderSize;
  const PcxShape shape = ShapeOf(l);

  WriterFile file;
  if (const Status s = file.Open(fileName); s != StatusOk) return s;
  std::uint8_t header[kHeaderSize];
  BuildHeader(header, table, l, shape, version, resolution);
  if (!file.Write(header, kHeaderSize)) return StatusWriteFailed;

  MemOwner outputBlock(MemAlloc(kPcxBufferSize));
  if (outputBlock.get() == nullptr) return StatusNoMemory;
  const std::size_t lineBytes = std::size_t{shape.planes} * shape.bytesPerLine;
  MemOwner lineBlock(MemAlloc(lineBytes));
  if (lineBlock.get() == nullptr) return StatusNoMemory;
  // A plane line codes to at most two bytes per input byte.
  MemOwner codedBlock(MemAlloc(2 * std::size_t{shape.bytesPerLine}));
  if (codedBlock.get() == nullptr) return StatusNoMemory;
  MemLockGuard outputLock(outputBlock.get()), lineLock(lineBlock.get()), codedLock(codedBlock.get());
  if (!outputLock.data() || !lineLock.data() || !codedLock.data()) return StatusNoMemory;

  OutputBuffer out{&file, outputLock.data(), kPcxBufferSize, 0};
  const std::uint8_t* pixels = lock.data() + l.pixelOffset;
  for (std::int32_t k = 1; k <= l.height; ++k) {
    if (status != nullptr) {
      SendProgress(status, static_cast<unsigned>(k * 100 / l.height));
      if (DrainAndCheckCancel(status)) return StatusCancelled;
    }
    BuildScanLine(pixels + static_cast<std::size_t>(l.height - k) * l.stride, l, shape, lineLock.data());
    for (std::uint32_t p = 0; p < shape.planes; ++p) {
      const std::size_t n = EncodePcxLine(lineLock.data() + p * shape.bytesPerLine, shape.bytesPerLine,
                                          codedLock.data());
      if (!out.Append(codedLock.data(), n)) return StatusWriteFailed;
    }
  }
  if (!out.Flush()) return StatusWriteFailed;

  if (l.bitCount == 8) {
    std::uint8_t* trailer = outputLock.data();
    trailer[0] = 12;
    for (std::uint32_t i = 0; i < 256; ++i) PutRgb(trailer + 1 + 3 * i, table, l, i);
    if (!file.Write(trailer, kTrailerSize)) return StatusWriteFailed;
  }
  return file.Commit();
}
