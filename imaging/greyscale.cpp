// Greyscale and inversion. The pixel loops run over locked memory with no
// allocation beyond the one new block; the greyscale rows use the vector
// loop the processor runs best, and the others are written so the compiler
// can vectorise them.
#include "imaging/greyscale.h"

#include <cstring>

#include "imaging/bytes.h"
#include "imaging/dib.h"
#include "imaging/grey_rows.h"
#include "imaging/luminance.h"

namespace {

void ComplementBytes(std::uint8_t* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) p[i] = static_cast<std::uint8_t>(~p[i]);
}

void InvertOneBitRows(std::uint8_t* pixels, const DibLayout& l) {
  const std::size_t whole = static_cast<std::size_t>(l.width) / 8;
  const unsigned rest = static_cast<unsigned>(l.width) % 8;
  const auto edgeMask = static_cast<std::uint8_t>(0xFFu << (8 - rest));
  for (std::int32_t y = 0; y < l.height; ++y) {
    std::uint8_t* row = pixels + static_cast<std::size_t>(y) * l.stride;
    ComplementBytes(row, whole);
    // Bits past the right edge become 0 rather than inverted padding.
    if (rest != 0) row[whole] = static_cast<std::uint8_t>(~row[whole] & edgeMask);
  }
}

void InvertEachRow(std::uint8_t* pixels, const DibLayout& l, std::size_t bytesPerRow) {
  for (std::int32_t y = 0; y < l.height; ++y) {
    ComplementBytes(pixels + static_cast<std::size_t>(y) * l.stride, bytesPerRow);
  }
}

void InvertColourTable(std::uint8_t* table, std::uint32_t entries) {
  for (std::uint32_t i = 0; i < entries; ++i) {
    std::uint8_t* q = table + i * 4;
    q[0] = static_cast<std::uint8_t>(255 - q[0]);
    q[1] = static_cast<std::uint8_t>(255 - q[1]);
    q[2] = static_cast<std::uint8_t>(255 - q[2]);
    q[3] = 0;
  }
}

}  // namespace

Status ConvertRgb24ToGrey8(MemHandle dib, MemHandle* grey) {
  if (dib == nullptr || grey == nullptr) return StatusBadArgument;
  MemLockGuard from(dib);
  DibLayout l;
  if (CheckDibLayout(from.data(), from.size(), &l) != StatusOk || l.bitCount != 24) {
    return StatusBadArgument;
  }
  *grey = nullptr;
  const std::uint32_t stride8 = DibRowStride(8, l.width);
  const std::size_t pixelBytes = std::size_t{stride8} * static_cast<std::size_t>(l.height);
  MemHandle block = MemAlloc(pixelBytes + kDibHeaderSize + 1024);
  if (block == nullptr) return StatusNoMemory;
  {
    MemLockGuard to(block);
    if (to.data() == nullptr) {
      MemFree(block);
      return StatusNoMemory;
    }
    std::uint8_t* out = to.data();
    std::memcpy(out, from.data(), kDibHeaderSize);
    PutLe32(out + DibSizeImageField, static_cast<std::uint32_t>(pixelBytes));
    PutLe16(out + DibBitCountField, 8);
    PutLe32(out + DibClrUsedField, 256);
    PutLe32(out + DibClrImportantField, 256);
    std::uint8_t* table = out + kDibHeaderSize;
    for (std::uint32_t i = 0; i < 256; ++i) {
      table[i * 4] = table[i * 4 + 1] = table[i * 4 + 2] = static_cast<std::uint8_t>(i);
    }
    const std::uint8_t* src = from.data() + l.pixelOffset;
    std::uint8_t* dst = table + 1024;
    const GreyRowFn greyRow = ChooseGreyRow();
    for (std::int32_t y = 0; y < l.height; ++y) {
      greyRow(src + static_cast<std::size_t>(y) * l.stride, dst + static_cast<std::size_t>(y) * stride8, l.width);
    }
  }
  *grey = block;
  return StatusOk;
}

Status MakeGreyscaleDib(MemHandle dib, MemHandle* grey) {
  if (dib == nullptr || grey == nullptr) return StatusBadArgument;
  DibLayout l;
  {
    MemLockGuard lock(dib);
    if (CheckDibLayout(lock.data(), lock.size(), &l) != StatusOk) return StatusBadArgument;
  }
  if (l.bitCount == 24) return ConvertRgb24ToGrey8(dib, grey);

  MemHandle copy = nullptr;
  const Status s = CopyDib(dib, &copy);
  *grey = nullptr;
  if (s != StatusOk) return s;
  {
    MemLockGuard lock(copy);
    std::uint8_t* table = lock.data() + l.headerSize;
    for (std::uint32_t i = 0; i < l.colours; ++i) {
      std::uint8_t* q = table + i * 4;
      q[0] = q[1] = q[2] = Luminance(q[2], q[1], q[0]);  // reserved byte stays
    }
  }
  *grey = copy;
  return StatusOk;
}

Status InvertDib(MemHandle dib, MemHandle* inverted) {
  if (dib == nullptr || inverted == nullptr) return StatusBadArgument;
  {
    MemLockGuard lock(dib);
    DibLayout l;
    if (CheckDibLayout(lock.data(), lock.size(), &l) != StatusOk) return StatusBadArgument;
  }
  const bool isGrey = NormaliseGreyDib(dib) == 1;
  MemHandle block = nullptr;
  const Status s = CopyDib(dib, &block);
  *inverted = nullptr;
  if (s != StatusOk) return s;
  {
    MemLockGuard to(block);
    DibLayout l;
    CheckDibLayout(to.data(), to.size(), &l);  // the copy of a block that passed
    std::uint8_t* pixels = to.data() + l.pixelOffset;
    if (l.bitCount == 1) {
      InvertOneBitRows(pixels, l);
    } else if (l.bitCount == 24) {
      InvertEachRow(pixels, l, std::size_t{3} * static_cast<std::size_t>(l.width));
    } else if (l.bitCount == 8 && isGrey && l.colours == 256) {
      // The identity ramp: index and grey level are one, and 255 - i is an
      // entry. A smaller grey table has its entries inverted instead.
      InvertEachRow(pixels, l, static_cast<std::size_t>(l.width));
    } else {
      InvertColourTable(to.data() + l.headerSize, l.colours);
    }
  }
  *inverted = block;
  return StatusOk;
}
