// PNG building blocks, exposed for tests, benchmarks and the clipboard.
#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/deflate.h"
#include "imaging/dib.h"
#include "platform/progress.h"

// How a DIB is stored: the PNG colour type and depth, the palette entries
// written (0 for none), and whether 1-bit pixels are inverted (a white,
// black table stored as grey).
struct PngForm {
  std::uint8_t colourType;  // 0 grey, 2 RGB, 3 palette
  std::uint8_t depth;
  std::uint16_t paletteEntries;
  bool invert;
};

// The smallest exact form of the image: grey for a black, white (or white,
// black) 1-bit table and for the 8-bit grey ramp, RGB for 24 bits, else a
// palette of the DIB's colour table (only as many entries as the depth can
// index), extended with black entries up to the highest index a pixel
// uses, so that no decoder meets an index without a colour.
PngForm ChoosePngForm(const std::uint8_t* block, const DibLayout& layout);

// PNG's filter types.
enum PngFilter : std::uint8_t { PngFilterNone = 0, PngFilterSub = 1, PngFilterUp = 2 };

// Filters one 24-bit row of `n` bytes as a DIB holds it, blue, green, red,
// against the row above (null for the first row) into `out`: the filter
// type byte, then the residues in PNG's order of red, green, blue.
void FilterBgrRow(PngFilter filter, const std::uint8_t* row, const std::uint8_t* above, std::size_t n,
                  std::uint8_t* out);
// The filter a 24-bit row is stored with: of None, Sub and Up, the one whose
// output, read as signed bytes, has the smallest sum of magnitudes. The
// row to be read after this one (`next`, or null) is fetched meanwhile.
PngFilter ChoosePngFilter(const std::uint8_t* row, const std::uint8_t* above, std::size_t n,
                          const std::uint8_t* next);

// A resolution in dots per inch as pHYs keeps it: pixels per metre, rounded.
std::uint32_t PixelsPerMetre(std::uint32_t dotsPerInch);

// Takes `n` bytes of the file; false stops the coding.
using PngOutput = bool (*)(void* context, const std::uint8_t* data, std::uint32_t n);

// Codes a whole DIB as a PNG file through `output`: StatusOk,
// StatusBadArgument, StatusNoMemory, StatusWriteFailed (the output refused)
// or StatusCancelled. Progress and cancel go through `status` every strip
// of rows.
Status EncodePng(ProgressChannel* status, const std::uint8_t* block, std::size_t blockSize,
                 std::uint32_t pixelsPerMetre, PngOutput output, void* context);

// The PNG file of a packed DIB in a memory block of its own (for the
// clipboard), which `*png` receives on StatusOk: StatusBadArgument or
// StatusNoMemory otherwise. The block holds just the file, but for the
// rounding of block sizes (and zeros after it when memory ran short).
Status EncodePngToBlock(MemHandle dib, std::uint32_t pixelsPerMetre, MemHandle* png);
