// libFuzzer target for the PNG coder: arbitrary header fields and pixel
// bytes coded in memory, then read back through zlib (every chunk's CRC, a
// strict inflate, the filters undone) and compared with the DIB's pixels.
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "formats/png_writer.h"
#include "fuzz_input.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Be32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

void Check(bool ok) {
  if (!ok) std::abort();
}

// The file against the DIB it came from.
void CheckFile(const Bytes& f, const std::uint8_t* block, const DibLayout& l) {
  Bytes idat, plte;
  std::uint8_t depth = 0, colourType = 0;
  std::size_t at = 8;
  while (at + 12 <= f.size()) {
    const std::uint32_t n = Be32(&f[at]);
    Check(at + 12 + n <= f.size() && Be32(&f[at + 8 + n]) == crc32(0, &f[at + 4], n + 4));
    const std::uint8_t* data = &f[at + 8];
    if (!std::memcmp(&f[at + 4], "IHDR", 4)) {
      Check(Be32(data) == static_cast<std::uint32_t>(l.width) && Be32(data + 4) == static_cast<std::uint32_t>(l.height));
      depth = data[8];
      colourType = data[9];
    }
    if (!std::memcmp(&f[at + 4], "PLTE", 4)) plte.assign(data, data + n);
    if (!std::memcmp(&f[at + 4], "IDAT", 4)) idat.insert(idat.end(), data, data + n);
    at += 12 + n;
  }
  Check(at == f.size() && !std::memcmp(&f[f.size() - 8], "IEND", 4));
  const bool rgb = colourType == 2;
  const std::size_t rowBytes = rgb ? 3u * l.width : (std::size_t{depth} * l.width + 7) / 8;
  Bytes raw(l.height * (rowBytes + 1));
  uLongf size = raw.size();
  Check(uncompress(raw.data(), &size, idat.data(), idat.size()) == Z_OK && size == raw.size());
  const bool inverted = colourType == 0 && depth == 1 && block[kDibHeaderSize] == 255;
  const unsigned bpp = rgb ? 3 : 1;
  const unsigned padBits = (8 - (depth * static_cast<unsigned>(l.width)) % 8) % 8;
  Bytes above(rowBytes), row(rowBytes);
  for (std::int32_t y = 0; y < l.height; ++y) {
    const std::uint8_t* r = &raw[y * (rowBytes + 1)];
    Check(r[0] <= 2);
    for (std::size_t x = 0; x < rowBytes; ++x) {
      const std::uint8_t predicted = r[0] == 1 ? (x >= bpp ? row[x - bpp] : 0) : r[0] == 2 ? above[x] : 0;
      row[x] = static_cast<std::uint8_t>(r[1 + x] + predicted);
    }
    const std::uint8_t* dib = block + l.pixelOffset + std::size_t{l.stride} * (l.height - 1 - y);
    for (std::size_t x = 0; x < rowBytes; ++x) {
      const std::uint8_t want = static_cast<std::uint8_t>((rgb ? dib[x - x % 3 + 2 - x % 3] : dib[x]) ^ (inverted ? 0xFF : 0));
      const std::uint8_t mask = x + 1 == rowBytes && !rgb ? static_cast<std::uint8_t>(0xFF << padBits) : 0xFF;
      Check(((row[x] ^ want) & mask) == 0);
      // Every index a pixel uses has its palette entry.
      for (unsigned k = 0; colourType == 3 && k < 8u / depth; ++k) {
        if (x * 8 + k * depth >= std::size_t{depth} * l.width) break;
        const unsigned index = (row[x] >> (8 - depth - k * depth)) & ((1u << depth) - 1);
        Check(3 * index < plte.size());
      }
    }
    above.swap(row);
  }
}

bool Append(void* context, const std::uint8_t* data, std::uint32_t n) {
  auto* out = static_cast<Bytes*>(context);
  out->insert(out->end(), data, data + n);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzCase c = MakeFuzzCase(data, size);
  MemOwner owner(c.dib);
  MemLockGuard lock(c.dib);
  Bytes file;
  const Status s = EncodePng(nullptr, lock.data(), lock.size(), 3780, Append, &file);
  Check(s == StatusOk || s == StatusBadArgument);
  DibLayout l;
  const bool valid = lock.data() != nullptr && CheckDibLayout(lock.data(), lock.size(), &l) == StatusOk;
  Check((s == StatusOk) == valid);
  if (s == StatusOk) CheckFile(file, lock.data(), l);
  return 0;
}
