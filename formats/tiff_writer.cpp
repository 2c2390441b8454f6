// TIFF: little-endian, one image, strips of 8 rows, uncompressed or
// PackBits; bilevel, grey (with a grey response curve), palette or RGB.
// Everything before the strips is written first with the strip arrays as
// zeros, which are patched once the strips are on disk; the IFD comes last.
#include <cstring>
#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>
#endif

#include "formats/byte_scan.h"
#include "formats/output_buffer.h"
#include "formats/tiff_writer.h"
#include "formats/writer_file.h"
#include "formats/writers.h"
#include "imaging/bytes.h"
#include "imaging/cpu_features.h"

namespace {

enum class TiffKind { Bilevel, Grey, Palette, Rgb };

enum : std::uint16_t { TypeShort = 3, TypeLong = 4, TypeRational = 5 };

constexpr std::uint32_t kRowsPerStrip = 8;

// Where the fixed parts landed, for the IFD.
struct TiffPlaces {
  std::uint32_t xResolution, yResolution, bitsTriple, stripOffsets, stripCounts;
  std::uint32_t strips;
  std::uint32_t firstOffset, firstCount;  // the only strip's, when there is one
};

std::uint32_t UnpaddedRowBytes(const DibLayout& l) {
  const auto w = static_cast<std::uint32_t>(l.width);
  switch (l.bitCount) {
    case 1: return (w + 7) / 8;
    case 4: return (w + 1) / 2;
    case 8: return w;
    default: return 3 * w;
  }
}

// The strip-offset and strip-byte-count tables a strip writer fills, held
// locked for the writer's call and freed on every path out of it.
class StripTables {
 public:
  explicit StripTables(std::uint32_t strips)
      : offsetsBlock_(MemAlloc(std::size_t{4} * strips)),
        countsBlock_(MemAlloc(std::size_t{4} * strips)),
        offsetsLock_(offsetsBlock_.get()),
        countsLock_(countsBlock_.get()) {}
  StripTables(const StripTables&) = delete;
  StripTables& operator=(const StripTables&) = delete;

  bool ok() const { return offsetsLock_.data() != nullptr && countsLock_.data() != nullptr; }
  std::uint32_t* offsets() const { return reinterpret_cast<std::uint32_t*>(offsetsLock_.data()); }
  std::uint32_t* counts() const { return reinterpret_cast<std::uint32_t*>(countsLock_.data()); }

 private:
  MemOwner offsetsBlock_;
  MemOwner countsBlock_;
  MemLockGuard offsetsLock_;
  MemLockGuard countsLock_;
};

// Puts each value of the array into its own four bytes, little-endian.
void ToLittleEndian(std::uint32_t* values, std::uint32_t count) {
  for (std::uint32_t s = 0; s < count; ++s) {
    const std::uint32_t v = values[s];
    PutTiffLong(reinterpret_cast<std::uint8_t*>(values + s), v);
  }
}

// Fills in the two strip arrays written as zeros before the strips, and
// keeps the first strip's values: with a single strip the IFD entries hold
// them directly. The tables are consumed.
bool PatchStripArrays(WriterFile& file, TiffPlaces& places, const StripTables& tables) {
  std::uint32_t* offsets = tables.offsets();
  std::uint32_t* counts = tables.counts();
  places.firstOffset = offsets[0];
  places.firstCount = counts[0];
  const std::uint32_t end = file.End();
  const std::uint32_t bytes = 4 * places.strips;
  ToLittleEndian(offsets, places.strips);
  ToLittleEndian(counts, places.strips);
  return file.Seek(places.stripOffsets) && file.Write(offsets, bytes) && file.Seek(places.stripCounts) &&
         file.Write(counts, bytes) && file.Seek(end);
}

// Progress at the start of a strip, then the queue; true when cancelled.
bool StripProgressCancelled(ProgressChannel* status, std::int32_t rowsDone, std::int32_t height) {
  if (status == nullptr) return false;
  SendProgress(status, static_cast<unsigned>(rowsDone * 100 / height));
  return DrainAndCheckCancel(status);
}

Status WriteTiffStripsUncompressed(ProgressChannel* status, WriterFile& file, const std::uint8_t* pixels,
                                   const DibLayout& l, TiffPlaces& places) {
  SendProgress(status, 0);
  const std::uint32_t r = UnpaddedRowBytes(l);
  if (r > kTiffRowBufferSize) return StatusWriteFailed;
  StripTables tables(places.strips);
  MemOwner bufferBlock(MemAlloc(kTiffOutputBufferSize));
  MemLockGuard bufferLock(bufferBlock.get());
  if (!tables.ok() || bufferLock.data() == nullptr) return StatusNoMemory;
  std::uint32_t* offsets = tables.offsets();
  std::uint32_t* counts = tables.counts();
  std::uint8_t* buffer = bufferLock.data();

  const std::uint32_t start = file.End();
  std::uint32_t used = 0;
  std::int32_t rowsDone = 0;
  for (std::uint32_t s = 0; s < places.strips; ++s) {
    if (StripProgressCancelled(status, rowsDone, l.height)) return StatusCancelled;
    for (std::uint32_t k = 0; k < kRowsPerStrip && rowsDone < l.height; ++k, ++rowsDone) {
      if (used + r >= kTiffOutputBufferSize) {
        if (!file.Write(buffer, used)) return StatusWriteFailed;
        used = 0;
      }
      const std::uint8_t* row = pixels + static_cast<std::size_t>(l.height - 1 - rowsDone) * l.stride;
      if (l.bitCount == 24) {
        SwapRedBlue(row, buffer + used, l.width);  // stored red, green, blue
      } else {
        std::memcpy(buffer + used, row, r);
      }
      used += r;
    }
  }
  if (!file.Write(buffer, used)) return StatusWriteFailed;

  const std::uint32_t lastRows = static_cast<std::uint32_t>(l.height) % kRowsPerStrip;
  for (std::uint32_t s = 0; s < places.strips; ++s) {
    offsets[s] = start + s * kRowsPerStrip * r;
    counts[s] = kRowsPerStrip * r;
  }
  if (lastRows != 0) counts[places.strips - 1] = lastRows * r;
  if (!PatchStripArrays(file, places, tables)) return StatusWriteFailed;
  SendProgress(status, 100);
  return StatusOk;
}

Status WriteTiffStripsPackBits(ProgressChannel* status, WriterFile& file, const std::uint8_t* pixels,
                               const DibLayout& l, TiffPlaces& places) {
  SendProgress(status, 0);
  const std::uint32_t r = UnpaddedRowBytes(l);
  StripTables tables(places.strips);
  MemOwner bufferBlock(MemAlloc(kTiffOutputBufferSize));
  // One coded row: a lone literal between two runs codes to two bytes, and
  // nothing codes to more, so twice the row (and the coder's 8 spare bytes)
  // always suffices. After that, room for a 24-bit row in red, green, blue
  // order while it is coded.
  MemOwner codedBlock(MemAlloc(2 * std::size_t{r} + 8 + (l.bitCount == 24 ? r : 0)));
  MemLockGuard bufferLock(bufferBlock.get()), codedLock(codedBlock.get());
  if (!tables.ok() || bufferLock.data() == nullptr || codedLock.data() == nullptr) return StatusNoMemory;
  std::uint8_t* coded = codedLock.data();
  std::uint8_t* rgbRow = coded + 2 * std::size_t{r} + 8;
  std::uint32_t* offsets = tables.offsets();
  std::uint32_t* counts = tables.counts();

  std::uint32_t running = file.End();
  OutputBuffer out{&file, bufferLock.data(), kTiffOutputBufferSize, 0};
  std::int32_t rowsDone = 0;
  for (std::uint32_t s = 0; s < places.strips; ++s) {
    if (StripProgressCancelled(status, rowsDone, l.height)) return StatusCancelled;
    std::uint32_t stripBytes = 0;
    for (std::uint32_t k = 0; k < kRowsPerStrip && rowsDone < l.height; ++k, ++rowsDone) {
      const std::uint8_t* row = pixels + static_cast<std::size_t>(l.height - 1 - rowsDone) * l.stride;
      if (l.bitCount == 24) {
        SwapRedBlue(row, rgbRow, l.width);
        row = rgbRow;
      }
      std::size_t n;
      if (std::uint8_t* room = out.Reserve(2 * std::size_t{r} + 8)) {
        n = EncodePackBitsRow(row, r, room);
        if (!out.Commit(n)) return StatusWriteFailed;
      } else {
        n = EncodePackBitsRow(row, r, coded);
        if (!out.Append(coded, n)) return StatusWriteFailed;
      }
      stripBytes += static_cast<std::uint32_t>(n);
    }
    offsets[s] = running;
    counts[s] = stripBytes;
    running += stripBytes;
  }
  if (!out.Flush()) return StatusWriteFailed;
  if (!PatchStripArrays(file, places, tables)) return StatusWriteFailed;
  SendProgress(status, 100);
  return StatusOk;
}

// Little-endian bytes built in a block before they are written; the block
// is sized for the most that is put in it.
struct Bytes {
  std::uint8_t* p;
  std::uint32_t used;
  void Short(std::uint16_t x) {
    PutTiffShort(p + used, x);
    used += 2;
  }
  void Long(std::uint32_t x) {
    PutTiffLong(p + used, x);
    used += 4;
  }
  void Zeros(std::uint32_t n) {
    std::memset(p + used, 0, n);
    used += n;
  }
};

// What goes before the strips: the header, the colour map (3 x 256 SHORTs)
// or grey curve (256), two RATIONALs, the RGB triple and the two strip
// arrays. The IFD (at most a pad byte, 15 entries and the counts) is built
// in the same block afterwards.
std::size_t HeadBytes(std::uint32_t strips) { return 8 + 3 * 256 * 2 + 16 + 6 + std::size_t{8} * strips; }

struct Entry {
  std::uint16_t tag, type;
  std::uint32_t count, value;
};

}  // namespace

void PutTiffShort(std::uint8_t* p, std::uint16_t v) { PutLe16(p, v); }
void PutTiffLong(std::uint8_t* p, std::uint32_t v) { PutLe32(p, v); }

void PutTiffEntry(std::uint8_t* p, std::uint16_t tag, std::uint16_t type, std::uint32_t count,
                  std::uint32_t value) {
  PutTiffShort(p, tag);
  PutTiffShort(p + 2, type);
  PutTiffLong(p + 4, count);
  PutTiffLong(p + 8, value);
}

namespace {

void SwapRedBluePlain(const std::uint8_t* src, std::uint8_t* dst, std::int32_t from, std::int32_t width) {
  for (std::int32_t x = from; x < width; ++x) {
    const std::uint8_t blue = src[3 * x];
    dst[3 * x] = src[3 * x + 2];
    dst[3 * x + 1] = src[3 * x + 1];
    dst[3 * x + 2] = blue;
  }
}

#if defined(__i386__) || defined(__x86_64__)
// Five pixels per shuffle: each step reads and writes 16 bytes, the last of
// which belongs to the next step, so it stops six pixels before the end.
__attribute__((target("ssse3"))) void SwapRedBlueSsse3(const std::uint8_t* src, std::uint8_t* dst,
                                                       std::int32_t width) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
  std::int32_t x = 0;
  for (; x + 6 <= width; x += 5) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * x), _mm_shuffle_epi8(v, order));
  }
  SwapRedBluePlain(src, dst, x, width);
}
#endif

}  // namespace

void SwapRedBlue(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width) {
#if defined(__i386__) || defined(__x86_64__)
  if (CpuHasSsse3()) {
    SwapRedBlueSsse3(src, dst, width);
    return;
  }
#endif
  SwapRedBluePlain(src, dst, 0, width);
}

std::size_t EncodePackBitsRow(const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
  // A walk over a 32-bit mask of the bytes ahead that equal their next one,
  // refilled when fewer than 16 of its bits are left (32-bit words, which
  // the 32-bit build handles in single registers). A set bit starts a run;
  // clear bits are literals, which pend from `pending` until a run or the
  // end of the row sends them out in pieces of 72.
  std::uint8_t* o = out;
  std::size_t i = 0;
  std::size_t pending = 0;
  auto sendLiterals = [&](std::size_t end) {
    while (pending < end) {
      const std::size_t k = end - pending < 72 ? end - pending : 72;
      *o++ = static_cast<std::uint8_t>(k - 1);
      // 16-byte pieces may run 15 bytes past the literals: within the row,
      // and, as the code is at most twice the bytes before it, within the
      // room for it, when the row goes on 16 bytes past them.
      CopyAhead(o, in + pending, k, pending + k + 16 <= n);
      o += k;
      pending += k;
    }
  };
  LineWindow w{0, 0, 0};
  while (i < n) {
    if (w.known < 16 && w.known < n - i) w = ReadLineWindow(in, i, n);
    std::size_t used;
    if (w.equal & 1) {
      sendLiterals(i);
      const auto ones = static_cast<unsigned>(std::countr_zero(~w.equal));
      // At most 73; what follows is coded afresh.
      const std::size_t run = ones < w.known ? ones + 1 : w.known + RunUpTo(in, i + w.known, n, 73 - w.known);
      *o++ = static_cast<std::uint8_t>(257 - run);
      *o++ = in[i];
      used = run;
      pending = i + run;
    } else {
      used = w.equal != 0 ? static_cast<unsigned>(std::countr_zero(w.equal)) : w.known;
    }
    i += used;
    if (used < w.known) {
      w.equal >>= used;
      w.known -= static_cast<unsigned>(used);
    } else {
      w.known = 0;
    }
  }
  sendLiterals(n);
  return static_cast<std::size_t>(o - out);
}

Status WriteTiffFile(ProgressChannel* status, const char* fileName, MemHandle dib, std::uint16_t compression,
                     std::uint8_t greyFlag, std::uint16_t resolution) {
  if (fileName == nullptr || dib == nullptr) return StatusBadArgument;
  // Any other code would be written into the Compression tag over strips
  // that are not coded that way.
  if (compression != kTiffUncompressed && compression != kTiffPackBits) return StatusBadArgument;
  MemLockGuard lock(dib);
  DibLayout l;
  if (CheckDibLayout(lock.data(), lock.size(), &l) != StatusOk || l.width > kWriterMaxSide ||
      l.height > kWriterMaxSide) {
    return StatusBadArgument;
  }
  const TiffKind kind = l.bitCount == 1    ? TiffKind::Bilevel
                        : l.bitCount == 24 ? TiffKind::Rgb
                        : (l.bitCount == 8 && greyFlag != 0) ? TiffKind::Grey
                                                             : TiffKind::Palette;
  const std::uint8_t* table = lock.data() + kDibHeaderSize;

  const std::uint32_t strips = (static_cast<std::uint32_t>(l.height) + kRowsPerStrip - 1) / kRowsPerStrip;
  MemOwner headBlock(MemAlloc(HeadBytes(strips)));
  MemLockGuard headLock(headBlock.get());
  if (headLock.data() == nullptr) return StatusNoMemory;

  WriterFile file;
  if (const Status s = file.Open(fileName); s != StatusOk) return s;

  Bytes head{headLock.data(), 0};
  head.Short(0x4949);  // "II"
  head.Short(42);
  head.Long(0);
  const std::uint32_t mapEntries = 1u << l.bitCount;
  if (kind == TiffKind::Palette) {
    for (int component = 2; component >= 0; --component) {  // red, green, blue
      for (std::uint32_t i = 0; i < mapEntries; ++i) {
        const std::uint32_t c = i < l.colours ? table[4 * i + component] : 0;
        head.Short(static_cast<std::uint16_t>(c << 8));
      }
    }
  } else if (kind == TiffKind::Grey) {
    for (std::uint32_t i = 0; i < 256; ++i) {
      const std::uint32_t b = i < l.colours ? table[4 * i] : 0;
      head.Short(static_cast<std::uint16_t>((255 - b) * 1000 / 127));
    }
  }
  TiffPlaces places{};
  places.xResolution = head.used;
  head.Long(resolution);
  head.Long(1);
  places.yResolution = head.used;
  head.Long(resolution);
  head.Long(1);
  if (kind == TiffKind::Rgb) {
    places.bitsTriple = head.used;
    head.Short(8);
    head.Short(8);
    head.Short(8);
  }
  places.strips = strips;
  places.stripOffsets = head.used;
  head.Zeros(4 * strips);
  places.stripCounts = head.used;
  head.Zeros(4 * strips);
  if (!file.Write(head.p, head.used)) return StatusWriteFailed;

  const std::uint8_t* pixels = lock.data() + l.pixelOffset;
  const Status s = compression == kTiffPackBits ? WriteTiffStripsPackBits(status, file, pixels, l, places)
                                                : WriteTiffStripsUncompressed(status, file, pixels, l, places);
  if (s != StatusOk) return s;

  Bytes ifd{headLock.data(), 0};
  std::uint32_t ifdOffset = file.End();
  if (ifdOffset & 1) {
    ifd.Zeros(1);
    ++ifdOffset;
  }
  const bool single = places.strips == 1;
  Entry entries[15] = {
      {254, TypeLong, 1, 0},
      {256, TypeShort, 1, static_cast<std::uint32_t>(l.width)},
      {257, TypeShort, 1, static_cast<std::uint32_t>(l.height)},
      {258, TypeShort, kind == TiffKind::Rgb ? 3u : 1u,
       kind == TiffKind::Rgb ? places.bitsTriple : l.bitCount},
      {259, TypeShort, 1, compression},
      {262, TypeShort, 1, kind == TiffKind::Palette ? 3u : kind == TiffKind::Rgb ? 2u : 1u},
      {273, TypeLong, places.strips, single ? places.firstOffset : places.stripOffsets},
      {277, TypeShort, 1, kind == TiffKind::Rgb ? 3u : 1u},
      {278, TypeLong, 1, kRowsPerStrip},
      {279, TypeLong, places.strips, single ? places.firstCount : places.stripCounts},
      {282, TypeRational, 1, places.xResolution},
      {283, TypeRational, 1, places.yResolution},
  };
  std::uint16_t count = 12;
  if (kind == TiffKind::Rgb) entries[count++] = {284, TypeShort, 1, 1};
  if (kind == TiffKind::Grey) {
    entries[count++] = {290, TypeShort, 1, 3};
    entries[count++] = {291, TypeShort, 256, 8};
  }
  entries[count++] = {296, TypeShort, 1, 2};
  if (kind == TiffKind::Palette) entries[count++] = {320, TypeShort, 3 * mapEntries, 8};

  ifd.Short(count);
  for (std::uint16_t i = 0; i < count; ++i) {
    PutTiffEntry(ifd.p + ifd.used, entries[i].tag, entries[i].type, entries[i].count, entries[i].value);
    ifd.used += 12;
  }
  ifd.Long(0);
  if (!file.Write(ifd.p, ifd.used)) return StatusWriteFailed;

  std::uint8_t offset[4];
  PutTiffLong(offset, ifdOffset);
  if (!file.Seek(4) || !file.Write(offset, 4)) return StatusWriteFailed;
  return file.Commit();
}
