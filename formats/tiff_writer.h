// TIFF building blocks, exposed for tests and benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/dib.h"

constexpr std::uint32_t kTiffPackBitsBufferSize = 10240;
constexpr std::uint32_t kTiffRowBufferSize = 32000;

void PutTiffShort(std::uint8_t* p, std::uint16_t v);
void PutTiffLong(std::uint8_t* p, std::uint32_t v);
void PutTiffEntry(std::uint8_t* p, std::uint16_t tag, std::uint16_t type, std::uint32_t count,
                  std::uint32_t value);
// Exchanges the first and third byte of every pixel of a 24-bit DIB in place.
void SwapRedBlue(std::uint8_t* pixels, const DibLayout& layout);
// PackBits code of one row (literals of at most 72 bytes, runs of at most
// 73) into `out`, which has room for 2 * n bytes; returns its length.
std::size_t EncodePackBitsRow(const std::uint8_t* in, std::size_t n, std::uint8_t* out);
