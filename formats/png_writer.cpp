// PNG: the signature, IHDR, sRGB, pHYs, PLTE where the form needs one, the
// zlib stream in IDAT chunks as the deflate coder hands it over, and IEND.
// No time and no text: two saves of one image are the same bytes.
#include "formats/png_writer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include "imaging/cpu_features.h"
#if PICTRAP_X86
#include <immintrin.h>
#endif

#include "formats/deflate.h"
#include "formats/tiff_writer.h"
#include "formats/writer_file.h"
#include "formats/writers.h"

namespace {

constexpr std::int32_t kRowsPerStrip = 8;

void PutBe32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

// Frames the `n` data bytes that follow `chunk + 8`: their length and the
// type before them, the CRC of type and data after. Returns the chunk's size.
std::uint32_t FrameChunk(std::uint8_t* chunk, const char* type, std::uint32_t n) {
  PutBe32(chunk, n);
  std::memcpy(chunk + 4, type, 4);
  PutBe32(chunk + 8 + n, Crc32(0, chunk + 4, std::size_t{n} + 4));
  return n + 12;
}

struct ChunkOutput {
  PngOutput output;
  void* context;
};

bool PutIdat(void* context, std::uint8_t* data, std::uint32_t n) {
  const auto* out = static_cast<const ChunkOutput*>(context);
  return out->output(out->context, data - 8, FrameChunk(data - 8, "IDAT", n));
}

bool IsColour(const std::uint8_t* entry, std::uint8_t v) { return entry[0] == v && entry[1] == v && entry[2] == v; }

// The highest index the pixels use, padding bits left out.
std::uint32_t HighestIndex(const std::uint8_t* pixels, const DibLayout& l) {
  std::uint32_t top = 0;
  const auto w = static_cast<std::uint32_t>(l.width);
  for (std::int32_t y = 0; y < l.height; ++y) {
    const std::uint8_t* row = pixels + static_cast<std::size_t>(y) * l.stride;
    for (std::uint32_t x = 0; x < w; ++x) {
      const std::uint32_t v = l.bitCount == 8   ? row[x]
                              : l.bitCount == 4 ? (row[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0xF
                                                : (row[x / 8] >> (7 - x % 8)) & 1;
      if (v > top) top = v;
    }
  }
  return top;
}

// The sum of |residue| over 16 bytes, the residues read as signed bytes,
// in the two 64-bit halves of the result.
#if defined(__SSE2__)
inline __m128i SumMagnitudes(__m128i d) {
  const __m128i zero = _mm_setzero_si128();
  return _mm_sad_epu8(_mm_min_epu8(d, _mm_sub_epi8(zero, d)), zero);
}

inline std::uint32_t Total(__m128i v) {
  return static_cast<std::uint32_t>(_mm_cvtsi128_si32(v)) +
         static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(v, 8)));
}
#endif

inline std::uint32_t Magnitude(int d) { return static_cast<std::uint32_t>(std::abs(static_cast<std::int8_t>(d))); }

// A row as it is (or inverted), the next row fetched meanwhile.
void CopyRow(const std::uint8_t* row, const std::uint8_t* next, std::size_t n, bool invert, std::uint8_t* out) {
  const std::uint8_t flip = invert ? 0xFF : 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i mask = _mm_set1_epi8(static_cast<char>(flip));
  for (; i + 16 <= n; i += 16) {
    if (next != nullptr && i % 64 == 0) __builtin_prefetch(next + i, 0, 2);
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_xor_si128(x, mask));
  }
#endif
  for (; i < n; ++i) out[i] = static_cast<std::uint8_t>(row[i] ^ flip);
}

}  // namespace

PngForm ChoosePngForm(const std::uint8_t* block, const DibLayout& l) {
  const std::uint8_t* table = block + kDibHeaderSize;
  if (l.bitCount == 24) return {2, 8, 0, false};
  if (l.bitCount == 1 && l.colours == 2) {
    if (IsColour(table, 0) && IsColour(table + 4, 255)) return {0, 1, 0, false};
    if (IsColour(table, 255) && IsColour(table + 4, 0)) return {0, 1, 0, true};
  }
  if (l.bitCount == 8 && l.colours == 256) {
    bool ramp = true;
    for (std::uint32_t i = 0; i < 256 && ramp; ++i) ramp = IsColour(table + 4 * i, static_cast<std::uint8_t>(i));
    if (ramp) return {0, 8, 0, false};
  }
  const std::uint32_t indexable = 1u << l.bitCount;
  std::uint32_t entries = l.colours < indexable ? l.colours : indexable;
  if (entries < indexable) {
    const std::uint32_t top = HighestIndex(block + l.pixelOffset, l);
    if (top >= entries) entries = top + 1;
  }
  return {3, static_cast<std::uint8_t>(l.bitCount), static_cast<std::uint16_t>(entries), false};
}

namespace {

void FilterBgrPlain(PngFilter filter, const std::uint8_t* row, const std::uint8_t* above, std::size_t from,
                    std::size_t n, std::uint8_t* out) {
  for (std::size_t i = from; i + 3 <= n; i += 3) {
    for (unsigned c = 0; c < 3; ++c) {
      const std::uint8_t predicted = filter == PngFilterSub ? (i >= 3 ? row[i + c - 3] : 0)
                                     : filter == PngFilterUp ? above[i + c]
                                                             : 0;
      out[i + 2 - c] = static_cast<std::uint8_t>(row[i + c] - predicted);
    }
  }
}

#if PICTRAP_X86
// Five pixels a step, as the red-blue swap: 16 bytes read and written, the
// last of which the next step writes again.
__attribute__((target("ssse3"))) void FilterBgrSsse3(PngFilter filter, const std::uint8_t* row,
                                                     const std::uint8_t* above, std::size_t n, std::uint8_t* out) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
  std::size_t i = 0;
  if (filter == PngFilterSub) {
    FilterBgrPlain(PngFilterNone, row, nullptr, 0, std::min<std::size_t>(n, 3), out);
    i = 3;
  }
  const std::uint8_t* from = filter == PngFilterSub ? row - 3 : above;
  for (; i + 16 <= n; i += 15) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    const __m128i y =
        filter == PngFilterNone ? _mm_setzero_si128() : _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_shuffle_epi8(_mm_sub_epi8(x, y), order));
  }
  FilterBgrPlain(filter, row, above, i, n, out);
}
#endif

}  // namespace

void FilterBgrRow(PngFilter filter, const std::uint8_t* row, const std::uint8_t* above, std::size_t n,
                  std::uint8_t* out) {
  if (filter == PngFilterUp && above == nullptr) filter = PngFilterNone;
  *out++ = filter;
#if PICTRAP_X86
  if (CpuHasSsse3()) return FilterBgrSsse3(filter, row, above, n, out);
#endif
  FilterBgrPlain(filter, row, above, 0, n, out);
}

PngFilter ChoosePngFilter(const std::uint8_t* row, const std::uint8_t* above, std::size_t n,
                          const std::uint8_t* next) {
  // Small residues code short; the sum of their magnitudes is the usual
  // cheap measure of how small they are, here over a sample of the row. Paeth is left out: on screens it
  // saves a fraction of a percent over these three at several times their
  // cost.
  std::uint32_t none = 0, sub = 0, up = 0;
  std::size_t i = 0;
  for (; i < n && i < 3; ++i) {
    none += Magnitude(row[i]);
    sub += Magnitude(row[i]);
    up += Magnitude(row[i] - (above ? above[i] : 0));
  }
#if defined(__SSE2__)
  // One 16-byte piece in three is measured: a screen's rows are long and
  // alike along their length, and the choice costs a third as much.
  __m128i vNone = _mm_setzero_si128(), vSub = vNone, vUp = vNone;
  for (; i + 16 <= n; i += 48) {
    if (next != nullptr) __builtin_prefetch(next + i, 0, 2);
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    const __m128i left = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i - 3));
    vNone = _mm_add_epi64(vNone, SumMagnitudes(x));
    vSub = _mm_add_epi64(vSub, SumMagnitudes(_mm_sub_epi8(x, left)));
    if (above != nullptr) {
      const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(above + i));
      vUp = _mm_add_epi64(vUp, SumMagnitudes(_mm_sub_epi8(x, y)));
    }
  }
  none += Total(vNone);
  sub += Total(vSub);
  up += Total(vUp);
#endif
  for (; i < n; ++i) {
    none += Magnitude(row[i]);
    sub += Magnitude(row[i] - row[i - 3]);
    up += Magnitude(row[i] - (above ? above[i] : 0));
  }
  // Ties go to the simpler filter; with no row above, Up is None.
  if (above != nullptr && up < none && up <= sub) return PngFilterUp;
  return sub < none ? PngFilterSub : PngFilterNone;
}

Status EncodePng(ProgressChannel* status, const std::uint8_t* block, std::size_t blockSize,
                 std::uint32_t pixelsPerMetre, PngOutput output, void* context) {
  DibLayout l;
  if (block == nullptr || CheckDibLayout(block, blockSize, &l) != StatusOk || l.width > kWriterMaxSide ||
      l.height > kWriterMaxSide) {
    return StatusBadArgument;
  }
  const PngForm form = ChoosePngForm(block, l);
  const bool rgb = form.colourType == 2;
  const auto width = static_cast<std::uint32_t>(l.width);
  const std::uint32_t rowBytes = rgb ? 3 * width : (width * form.depth + 7) / 8;
  ChunkOutput chunks{output, context};
  // A filtered row already predicts from the one above; palette and grey
  // rows go as they are, and the coder looks a row up for them. A stretch
  // without matches is probed more sparsely after 32 bytes of RGB (some 10
  // pixels), and after 8 bytes of a palette or grey row (8 pixels at 8
  // bits): 32 made the 8-bit desktop's file 1.6% smaller (the 1-bit one
  // 0.7%) and its coding a fifth slower. The matches of 8-bit palette and
  // grey rows are 8 bytes at least, all others' 6 (the coder says why).
  DeflateCoder coder(std::uint64_t{static_cast<std::uint32_t>(l.height)} * (1 + rowBytes), 1 + rowBytes, PutIdat,
                     &chunks, rgb ? 0 : 1 + rowBytes, rgb ? 5 : 3, !rgb && form.depth == 8);
  if (!coder.ok()) return StatusNoMemory;

  std::uint8_t head[8 + 25 + 13 + 21 + 12 + 3 * kDibMaxColours] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::uint32_t used = 8;
  std::uint8_t* ihdr = head + used + 8;
  PutBe32(ihdr, width);
  PutBe32(ihdr + 4, static_cast<std::uint32_t>(l.height));
  ihdr[8] = form.depth;
  ihdr[9] = form.colourType;
  ihdr[10] = ihdr[11] = ihdr[12] = 0;  // deflate, adaptive filters, no interlace
  used += FrameChunk(head + used, "IHDR", 13);
  head[used + 8] = 0;  // perceptual intent
  used += FrameChunk(head + used, "sRGB", 1);
  std::uint8_t* phys = head + used + 8;
  PutBe32(phys, pixelsPerMetre);
  PutBe32(phys + 4, pixelsPerMetre);
  phys[8] = 1;  // the unit is the metre
  used += FrameChunk(head + used, "pHYs", 9);
  if (form.paletteEntries != 0) {
    const std::uint8_t* table = block + kDibHeaderSize;
    std::uint8_t* plte = head + used + 8;
    for (std::uint32_t i = 0; i < form.paletteEntries; ++i) {
      // Entries past the table are the black of indices it does not reach.
      const bool held = i < l.colours;
      plte[3 * i] = held ? table[4 * i + 2] : 0;
      plte[3 * i + 1] = held ? table[4 * i + 1] : 0;
      plte[3 * i + 2] = held ? table[4 * i] : 0;
    }
    used += FrameChunk(head + used, "PLTE", 3u * form.paletteEntries);
  }
  if (!output(context, head, used)) return StatusWriteFailed;

  SendProgress(status, 0);
  const std::uint8_t* pixels = block + l.pixelOffset;
  for (std::int32_t y = 0; y < l.height; ++y) {
    if (y % kRowsPerStrip == 0 && status != nullptr) {
      SendProgress(status, static_cast<unsigned>(y * 100 / l.height));
      if (DrainAndCheckCancel(status)) return StatusCancelled;
    }
    const std::uint8_t* dibRow = pixels + static_cast<std::size_t>(l.height - 1 - y) * l.stride;
    // The DIB is read in one pass from its last row to its first, at falling
    // addresses, which the processor's own prefetching does not follow: the
    // first read of each row waited on memory. The next row is asked for
    // while this one is worked on.
    const std::uint8_t* next = y + 1 < l.height ? dibRow - l.stride : nullptr;
    std::uint8_t* room = coder.Room();
    if (rgb) {
      // Filtered as the DIB holds the row, blue first, and the residues put
      // in PNG's order of red, green, blue: each filter works on a channel
      // alone. The sums that choose one are taken in the DIB's order too,
      // which changes the choice only where a sampled piece ends within a
      // pixel (a few rows of a screen).
      const std::uint8_t* above = y == 0 ? nullptr : dibRow + l.stride;
      FilterBgrRow(ChoosePngFilter(dibRow, above, rowBytes, next), dibRow, above, rowBytes, room);
    } else {
      // Palette and grey images of a screen are flat areas and repeats,
      // which the matches find as they are.
      room[0] = PngFilterNone;
      CopyRow(dibRow, next, rowBytes, form.invert, room + 1);
    }
    if (!coder.Commit(1 + rowBytes)) return StatusWriteFailed;
  }
  if (!coder.Finish()) return StatusWriteFailed;
  std::uint8_t end[12];
  if (!output(context, end, FrameChunk(end, "IEND", 0))) return StatusWriteFailed;
  SendProgress(status, 100);
  return StatusOk;
}

namespace {

// A block that doubles when full: each growth is a new block, the bytes
// copied over and the old one freed, with the memory interface as it is.
struct GrowingBlock {
  MemHandle block;
  std::size_t used;
  bool failed;
};

bool AppendToBlock(void* context, const std::uint8_t* data, std::uint32_t n) {
  auto* g = static_cast<GrowingBlock*>(context);
  const std::size_t size = MemSize(g->block);
  if (size - g->used < n) {
    MemHandle bigger = MemAlloc(std::max(2 * size, g->used + n));
    bool copied = false;
    {
      MemLockGuard to(bigger), from(g->block);
      copied = to.data() != nullptr && from.data() != nullptr;
      if (copied) std::memcpy(to.data(), from.data(), g->used);
    }
    if (!copied) {
      MemFree(bigger);
      g->failed = true;
      return false;
    }
    MemFree(g->block);
    g->block = bigger;
  }
  MemLockGuard lock(g->block);
  if (lock.data() == nullptr) {
    g->failed = true;
    return false;
  }
  std::memcpy(lock.data() + g->used, data, n);
  g->used += n;
  return true;
}

}  // namespace

Status EncodePngToBlock(MemHandle dib, std::uint32_t pixelsPerMetre, MemHandle* png) {
  if (png == nullptr) return StatusBadArgument;
  *png = nullptr;
  MemLockGuard lock(dib);
  if (lock.data() == nullptr) return StatusBadArgument;
  // A screen's PNG is mostly under a sixth of its pixels; the block starts there.
  GrowingBlock g{MemAlloc(std::max<std::size_t>(4096, lock.size() / 6)), 0, false};
  if (g.block == nullptr) return StatusNoMemory;
  const Status s = EncodePng(nullptr, lock.data(), lock.size(), pixelsPerMetre, AppendToBlock, &g);
  if (s != StatusOk) {
    MemFree(g.block);
    return g.failed ? Status{StatusNoMemory} : s;
  }
  // Trimmed to the file, so that a program that takes the block's size for
  // the file's finds nothing after IEND; with no memory for that, zeros.
  MemHandle exact = MemSize(g.block) > g.used ? MemAlloc(g.used) : nullptr;
  bool copied = false;
  {
    MemLockGuard to(exact), from(g.block);
    copied = to.data() != nullptr && from.data() != nullptr;
    if (copied) std::memcpy(to.data(), from.data(), g.used);
  }
  if (copied) std::swap(g.block, exact);
  MemFree(exact);
  *png = g.block;
  return StatusOk;
}

std::uint32_t PixelsPerMetre(std::uint32_t dotsPerInch) {
  return static_cast<std::uint32_t>((std::uint64_t{dotsPerInch} * 10000 + 127) / 254);
}

Status WritePngFile(ProgressChannel* status, const char* fileName, MemHandle dib, std::uint32_t pixelsPerMetre) {
  if (fileName == nullptr || dib == nullptr) return StatusBadArgument;
  MemLockGuard lock(dib);
  DibLayout l;
  if (CheckDibLayout(lock.data(), lock.size(), &l) != StatusOk || l.width > kWriterMaxSide ||
      l.height > kWriterMaxSide) {
    return StatusBadArgument;
  }
  WriterFile file;
  if (const Status s = file.Open(fileName); s != StatusOk) return s;
  const Status s = EncodePng(status, lock.data(), lock.size(), pixelsPerMetre,
                             [](void* f, const std::uint8_t* data, std::uint32_t n) {
                               return static_cast<WriterFile*>(f)->Write(data, n);
                             },
                             &file);
  return s != StatusOk ? s : file.Commit();
}
