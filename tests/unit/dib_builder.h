// Builds packed DIBs in memory blocks for tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/bytes.h"
#include "imaging/dib.h"
#include "platform/memory.h"

// A block holding a header for the image, a colour table of `clrUsed`
// entries (or the colour-table rule's count when 0) and `extra` spare bytes.
inline MemHandle MakeDib(std::int32_t width, std::int32_t height, std::uint16_t bitCount,
                         std::uint32_t clrUsed, std::size_t extra = 0) {
  const std::uint32_t colours = DibColourCount(bitCount, clrUsed);
  const std::size_t size = kDibHeaderSize + colours * 4 +
                           std::size_t{DibRowStride(bitCount, width)} * static_cast<std::size_t>(height) + extra;
  MemHandle h = MemAlloc(size);
  MemLockGuard lock(h);
  if (lock.data() == nullptr) return h;
  PutDibHeader(lock.data(), width, height, bitCount, clrUsed);
  return h;
}

inline std::vector<std::uint8_t> BlockBytes(MemHandle h) {
  MemLockGuard lock(h);
  return std::vector<std::uint8_t>(lock.data(), lock.data() + lock.size());
}

inline void SetColour(MemHandle h, std::uint32_t index, std::uint8_t blue, std::uint8_t green,
                      std::uint8_t red) {
  MemLockGuard lock(h);
  if (lock.data() == nullptr) return;
  std::uint8_t* q = lock.data() + kDibHeaderSize + index * 4;
  q[0] = blue;
  q[1] = green;
  q[2] = red;
  q[3] = 0;
}

inline void SetHeaderField(MemHandle h, DibField field, std::uint32_t value) {
  MemLockGuard lock(h);
  if (lock.data() == nullptr) return;
  if (field == DibPlanesField || field == DibBitCountField) {
    PutLe16(lock.data() + field, static_cast<std::uint16_t>(value));
  } else {
    PutLe32(lock.data() + field, value);
  }
}
