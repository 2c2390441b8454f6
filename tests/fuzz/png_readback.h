// A PNG file of ours read back through zlib against its DIB (the fuzzer's and
// the unit tests'): each CRC, a strict inflate, every pixel, every index's colour.
#pragma once

#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "imaging/dib.h"

struct PngReadback {
  std::string chunks;  // the types in order, a run of IDATs as one
  std::vector<std::uint8_t> ihdr, plte;
  const char* fault = nullptr;  // what did not hold, or null
};

inline std::uint32_t PngBe32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

inline PngReadback ReadBackPng(const std::vector<std::uint8_t>& f, const std::uint8_t* block, const DibLayout& l) {
  PngReadback r;
  std::vector<std::uint8_t> idat;
  std::size_t at = 8;
  for (; at + 12 <= f.size(); at += 12 + PngBe32(&f[at])) {
    const std::uint32_t n = PngBe32(&f[at]);
    if (at + 12 + n > f.size() || PngBe32(&f[at + 8 + n]) != crc32(0, &f[at + 4], n + 4)) return r.fault = "CRC", r;
    const std::string type(f.begin() + at + 4, f.begin() + at + 8);
    if (!(type == "IDAT" && r.chunks.ends_with("IDAT"))) r.chunks += (r.chunks.empty() ? "" : " ") + type;
    const std::uint8_t* data = &f[at + 8];
    if (type == "IHDR") r.ihdr.assign(data, data + n);
    if (type == "PLTE") r.plte.assign(data, data + n);
    if (type == "IDAT") idat.insert(idat.end(), data, data + n);
  }
  if (at != f.size() || r.ihdr.size() != 13 || !r.chunks.ends_with("IDAT IEND") ||
      PngBe32(&r.ihdr[0]) != static_cast<std::uint32_t>(l.width) || PngBe32(&r.ihdr[4]) != std::uint32_t(l.height)) {
    return r.fault = "layout", r;
  }
  const unsigned depth = r.ihdr[8], type = r.ihdr[9], rgb = type == 2;
  const std::size_t rowBytes = rgb ? 3u * l.width : (std::size_t{depth} * l.width + 7) / 8;
  std::vector<std::uint8_t> raw(l.height * (rowBytes + 1));
  uLongf size = raw.size();
  uLong used = idat.size();
  if (uncompress2(raw.data(), &size, idat.data(), &used) != Z_OK || size != raw.size() || used != idat.size()) {
    return r.fault = "inflate", r;
  }
  // A 1-bit grey image from a white, black table is stored inverted.
  const bool inverted = type == 0 && depth == 1 && block[kDibHeaderSize] == 255;
  const unsigned bpp = rgb ? 3 : 1, padBits = (8 - depth * static_cast<unsigned>(l.width) % 8) % 8;
  std::vector<std::uint8_t> above(rowBytes), row(rowBytes);
  for (std::int32_t y = 0; y < l.height; ++y) {
    const std::uint8_t* in = &raw[y * (rowBytes + 1)];
    if (in[0] > 2) return r.fault = "filter", r;
    const std::uint8_t* dib = block + l.pixelOffset + std::size_t{l.stride} * (l.height - 1 - y);
    for (std::size_t x = 0; x < rowBytes; ++x) {
      row[x] = static_cast<std::uint8_t>(in[1 + x] + (in[0] == 1 ? (x >= bpp ? row[x - bpp] : 0)
                                                      : in[0] == 2 ? above[x] : 0));
      const auto want = static_cast<std::uint8_t>((rgb ? dib[x - x % 3 + 2 - x % 3] : dib[x]) ^ (inverted ? 255 : 0));
      const auto mask = static_cast<std::uint8_t>(x + 1 == rowBytes && !rgb ? 0xFF << padBits : 0xFF);
      if ((row[x] ^ want) & mask) return r.fault = "pixel", r;
      for (unsigned k = 0; type == 3 && k < 8 / depth && x * 8 + k * depth < std::size_t{depth} * l.width; ++k) {
        const unsigned index = (row[x] >> (8 - depth - k * depth)) & ((1u << depth) - 1);
        if (3 * index >= r.plte.size()) return r.fault = "index", r;
      }
    }
    above.swap(row);
  }
  return r;
}
