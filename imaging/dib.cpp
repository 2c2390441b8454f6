// Packed DIB rules, the grey check and the block copy.
#include "imaging/dib.h"

#include <cstring>

#include "imaging/bytes.h"

std::uint32_t DibColourCount(std::uint16_t bitCount, std::uint32_t clrUsed) {
  if (clrUsed != 0) return clrUsed;
  if (bitCount <= 8) return 1u << bitCount;
  return 0;
}

std::uint32_t DibRowStride(std::uint16_t bitCount, std::int32_t width) {
  if (width < 0) return 0;
  const std::uint64_t stride = (static_cast<std::uint64_t>(bitCount) * static_cast<std::uint64_t>(width) + 31) / 32 * 4;
  return stride > 0xFFFFFFFFull ? 0 : static_cast<std::uint32_t>(stride);
}

Status CheckDibLayout(const std::uint8_t* block, std::size_t blockSize, DibLayout* layout) {
  if (block == nullptr || layout == nullptr || blockSize < kDibHeaderSize) return StatusBadArgument;
  DibLayout l{};
  l.headerSize = GetLe32(block + DibSizeField);
  l.width = static_cast<std::int32_t>(GetLe32(block + DibWidthField));
  l.height = static_cast<std::int32_t>(GetLe32(block + DibHeightField));
  l.bitCount = GetLe16(block + DibBitCountField);
  l.clrUsed = GetLe32(block + DibClrUsedField);
  if (l.headerSize != kDibHeaderSize || l.width < 1 || l.height < 1) return StatusBadArgument;
  if (l.bitCount != 1 && l.bitCount != 4 && l.bitCount != 8 && l.bitCount != 24) return StatusBadArgument;
  if (l.clrUsed > kDibMaxColours) return StatusBadArgument;
  l.colours = DibColourCount(l.bitCount, l.clrUsed);
  l.stride = DibRowStride(l.bitCount, l.width);
  // All terms are below 2^32, so the sums and the product fit 64 bits.
  const std::uint64_t pixelOffset = std::uint64_t{l.headerSize} + std::uint64_t{l.colours} * 4;
  const std::uint64_t imageSize = std::uint64_t{l.stride} * static_cast<std::uint64_t>(l.height);
  if (l.stride == 0 || imageSize > 0xFFFFFFFFull) return StatusBadArgument;
  if (pixelOffset + imageSize > blockSize) return StatusBadArgument;
  l.pixelOffset = static_cast<std::uint32_t>(pixelOffset);
  l.imageSize = static_cast<std::uint32_t>(imageSize);
  *layout = l;
  return StatusOk;
}

void PutDibHeader(std::uint8_t* block, std::int32_t width, std::int32_t height,
                  std::uint16_t bitCount, std::uint32_t clrUsed) {
  std::memset(block, 0, kDibHeaderSize);
  PutLe32(block + DibSizeField, kDibHeaderSize);
  PutLe32(block + DibWidthField, static_cast<std::uint32_t>(width));
  PutLe32(block + DibHeightField, static_cast<std::uint32_t>(height));
  PutLe16(block + DibPlanesField, 1);
  PutLe16(block + DibBitCountField, bitCount);
  PutLe32(block + DibSizeImageField, DibRowStride(bitCount, width) * static_cast<std::uint32_t>(height));
  PutLe32(block + DibClrUsedField, clrUsed);
  PutLe32(block + DibClrImportantField, clrUsed);
}

int NormaliseGreyDib(MemHandle dib) {
  MemLockGuard lock(dib);
  DibLayout l;
  if (CheckDibLayout(lock.data(), lock.size(), &l) != StatusOk) return 0;
  if (l.bitCount != 4 && l.bitCount != 8) return 0;

  std::uint8_t* block = lock.data();
  if (l.clrUsed == 0) {
    // The colour-table rule already counted 16 or 256 entries, so the layout
    // does not move; the header now says so explicitly.
    l.clrUsed = l.colours;
    PutLe32(block + DibClrUsedField, l.clrUsed);
  }
  if (l.clrUsed != 16 && l.clrUsed != 256) return 0;

  std::uint8_t* table = block + l.headerSize;
  for (std::uint32_t i = 0; i < l.clrUsed; ++i) {
    const std::uint8_t* q = table + i * 4;  // blue, green, red, reserved
    if (q[1] != q[0] || q[2] != q[0]) return 0;
  }
  if (l.clrUsed == 16) return 1;

  std::uint8_t remap[256];
  for (std::uint32_t i = 0; i < 256; ++i) {
    remap[i] = table[i * 4];
    std::uint8_t* q = table + i * 4;
    q[0] = q[1] = q[2] = static_cast<std::uint8_t>(i);
    q[3] = 0;
  }
  std::uint8_t* pixels = block + l.pixelOffset;
  for (std::uint32_t i = 0; i < l.imageSize; ++i) pixels[i] = remap[pixels[i]];
  return 1;
}

Status CopyDib(MemHandle source, MemHandle* copy) {
  if (source == nullptr || copy == nullptr) return StatusBadArgument;
  MemLockGuard from(source);
  DibLayout l;
  if (CheckDibLayout(from.data(), from.size(), &l) != StatusOk) return StatusBadArgument;
  *copy = nullptr;
  MemHandle block = MemAlloc(from.size());
  if (block == nullptr) return StatusNoMemory;
  {
    MemLockGuard to(block);
    if (to.data() == nullptr) {
      MemFree(block);
      return StatusNoMemory;
    }
    std::memcpy(to.data(), from.data(), from.size());
  }
  *copy = block;
  return StatusOk;
}

std::uint32_t BuildDibPaletteColours(const std::uint8_t* block, const DibLayout& layout,
                                     PaletteColour colours[kDibMaxColours]) {
  if (layout.clrUsed != 0) {
    const std::uint8_t* table = block + layout.headerSize;
    for (std::uint32_t i = 0; i < layout.clrUsed; ++i) {
      colours[i] = PaletteColour{table[i * 4 + 2], table[i * 4 + 1], table[i * 4], 0};
    }
    return layout.clrUsed;
  }
  for (std::uint32_t i = 0; i < kDibMaxColours; ++i) {
    colours[i] = PaletteColour{static_cast<std::uint8_t>((i % 8) * 32),
                               static_cast<std::uint8_t>(((i / 8) % 8) * 32),
                               static_cast<std::uint8_t>((i / 64) * 64), 0};
  }
  return kDibMaxColours;
}
