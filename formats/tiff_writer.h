// TIFF building blocks, exposed for tests and benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/dib.h"

// Rows longer than this are refused by the uncompressed writer (status 203).
constexpr std::uint32_t kTiffRowBufferSize = 32000;
// Output is gathered this much at a time: a write call costs far more than
// copying a few kilobytes, so fewer, larger writes keep a save near the
// speed of the disk. Not more: a block this size is fresh memory from the
// system each time (under Wine each of its pages costs a fault), and for a
// small 1-bit image it would hold more than the image itself.
constexpr std::uint32_t kTiffOutputBufferSize = 128 * 1024;

void PutTiffShort(std::uint8_t* p, std::uint16_t v);
void PutTiffLong(std::uint8_t* p, std::uint32_t v);
void PutTiffEntry(std::uint8_t* p, std::uint16_t tag, std::uint16_t type, std::uint32_t count,
                  std::uint32_t value);
// Copies a 24-bit row of `width` pixels with the first and third byte of
// every pixel exchanged (blue, green, red to red, green, blue). The caller's
// DIB is never reordered in place, so it is intact whatever happens while a
// save dispatches messages. `src` and `dst` must not overlap.
void SwapRedBlue(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width);
// PackBits code of one row (literals of at most 72 bytes, runs of at most
// 73) into `out`, which has room for 2 * n + 8 bytes (the coder writes whole
// words and may touch 8 bytes past the code); returns its length.
std::size_t EncodePackBitsRow(const std::uint8_t* in, std::size_t n, std::uint8_t* out);
