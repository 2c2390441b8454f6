// Turns fuzzer bytes into a packed DIB block and writer options. The first
// byte picks a mode: raw (the bytes are the block as they are, header and
// all) or shaped (the header is rebuilt with sizes the block can hold, so
// the writers' encoders are reached as often as their refusals).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "imaging/bytes.h"
#include "imaging/dib.h"
#include "platform/memory.h"

struct FuzzCase {
  MemHandle dib = nullptr;  // owned by the caller
  std::uint16_t compression = 1;
  std::uint8_t greyFlag = 0;
};

inline FuzzCase MakeFuzzCase(const std::uint8_t* data, std::size_t size) {
  FuzzCase c;
  if (size < 2) return c;
  const std::uint8_t mode = data[0];
  c.compression = (mode & 2) ? 32773 : 1;
  c.greyFlag = (mode & 4) ? 1 : 0;
  data += 1;
  size -= 1;
  std::size_t blockSize = size;
  std::uint8_t header[40] = {};
  if (mode & 1) {
    std::memcpy(header, data, std::min<std::size_t>(size, 40));
    static const std::uint16_t kDepths[4] = {1, 4, 8, 24};
    const std::uint16_t bits = kDepths[(mode >> 3) & 3];
    const std::int32_t width = 1 + static_cast<std::int32_t>(GetLe16(header + 4) % 700);
    const std::int32_t height = 1 + static_cast<std::int32_t>(GetLe16(header + 8) % 60);
    const std::uint32_t clrUsed = bits == 24 ? 0 : GetLe16(header + 32) % 257;
    PutDibHeader(header, width, height, bits, clrUsed);
    blockSize = std::max<std::size_t>(size, 40 + DibColourCount(bits, clrUsed) * 4 +
                                                std::size_t{DibRowStride(bits, width)} * height);
  }
  c.dib = MemAlloc(blockSize);
  MemLockGuard lock(c.dib);
  if (lock.data() == nullptr) return c;
  std::memcpy(lock.data(), data, size);
  if (mode & 1) std::memcpy(lock.data(), header, 40);
  return c;
}
