// The packed DIB: a 40-byte BITMAPINFOHEADER, its colour table and bottom-up
// pixel rows in one memory block. Every Part that reads or makes one goes
// through these rules, so that a block whose header lies about its size is
// refused in one place.
#pragma once

#include <cstddef>
#include <cstdint>

#include "messages/status.h"
#include "platform/memory.h"

constexpr std::uint32_t kDibHeaderSize = 40;
constexpr std::uint32_t kDibMaxColours = 256;

// Byte offsets of the header fields.
enum DibField : std::size_t {
  DibSizeField = 0,
  DibWidthField = 4,
  DibHeightField = 8,
  DibPlanesField = 12,
  DibBitCountField = 14,
  DibCompressionField = 16,
  DibSizeImageField = 20,
  DibXPelsField = 24,
  DibYPelsField = 28,
  DibClrUsedField = 32,
  DibClrImportantField = 36,
};

// Where everything lies in a block that passed CheckDibLayout.
struct DibLayout {
  std::uint32_t headerSize;
  std::int32_t width;
  std::int32_t height;
  std::uint16_t bitCount;
  std::uint32_t clrUsed;
  std::uint32_t colours;      // colour-table entries by the colour-table rule
  std::uint32_t stride;       // bytes per row, a multiple of 4
  std::uint32_t pixelOffset;  // header plus colour table
  std::uint32_t imageSize;    // stride times height
};

// Colour-table rule: biClrUsed when nonzero, else 2^bitCount up to 8 bits, else 0.
std::uint32_t DibColourCount(std::uint16_t bitCount, std::uint32_t clrUsed);
// Row stride ((bitCount * width + 31) / 32) * 4; 0 when it would not fit 32 bits.
std::uint32_t DibRowStride(std::uint16_t bitCount, std::int32_t width);

// Reads and checks the header at the start of a block of `blockSize` bytes:
// depth 1, 4, 8 or 24, width and height at least 1, biClrUsed at most 256,
// and header + colour table + stride * height within the
// block. biSize must be exactly 40: the writers and the conversions lay out
// their output for that header. Returns StatusOk or StatusBadArgument.
Status CheckDibLayout(const std::uint8_t* block, std::size_t blockSize, DibLayout* layout);

// Writes a fresh header for an uncompressed image: biSizeImage is stride *
// height and biClrImportant equals biClrUsed; the resolution fields are 0.
void PutDibHeader(std::uint8_t* block, std::int32_t width, std::int32_t height,
                  std::uint16_t bitCount, std::uint32_t clrUsed);

// 1 when the image's colour table is all grey, after normalising a 256-entry
// grey table to the identity ramp (pixels remapped); 0 otherwise. A 4- or
// 8-bit image arriving with biClrUsed 0 gets 16 or 256. A malformed block
// yields 0 and is not touched.
int NormaliseGreyDib(MemHandle dib);

// A byte-for-byte copy of the whole block (its full allocated size).
Status CopyDib(MemHandle source, MemHandle* copy);

// A palette entry in the order of PALETTEENTRY.
struct PaletteColour {
  std::uint8_t red, green, blue, flags;
};

// The entries CreateDibPalette builds: the colour table when biClrUsed is
// nonzero, else the fixed 8 x 8 x 4 colour cube. Returns the count (at most 256).
std::uint32_t BuildDibPaletteColours(const std::uint8_t* block, const DibLayout& layout,
                                     PaletteColour colours[kDibMaxColours]);
