// Black-and-white conversion. The colour decision is made once per colour
// table entry; each pixel is then a table lookup and a bit shift.
#include "imaging/blackwhite.h"

#include <cstring>

#include "imaging/bytes.h"
#include "imaging/dib.h"
#include "imaging/grey_rows.h"
#include "imaging/greyscale.h"
#include "imaging/luminance.h"

const std::uint8_t kToneCurve[256] = {
    1,   1,   1,   1,   1,   1,   1,   1,   1,   1,   1,   1,   1,   1,   1,   1,
    1,   1,   1,   1,   1,   1,   1,   1,   1,   1,   1,   1,   1,   1,   1,   1,
    1,   1,   1,   1,   1,   1,   1,   2,   3,   4,   5,   6,   7,   8,   9,   10,
    11,  12,  13,  14,  15,  16,  17,  18,  19,  20,  21,  22,  23,  24,  25,  26,
    27,  28,  29,  30,  31,  32,  32,  33,  34,  35,  35,  36,  37,  39,  39,  40,
    41,  42,  43,  44,  45,  46,  47,  47,  48,  49,  50,  51,  52,  53,  54,  55,
    56,  57,  58,  58,  59,  60,  62,  62,  63,  64,  65,  66,  67,  68,  69,  70,
    71,  72,  73,  74,  75,  76,  77,  78,  80,  81,  82,  83,  85,  86,  87,  88,
    89,  90,  91,  93,  94,  95,  96,  97,  99,  100, 101, 102, 103, 105, 106, 107,
    108, 110, 112, 114, 115, 116, 118, 120, 122, 124, 126, 128, 130, 132, 134, 136,
    138, 140, 143, 145, 147, 149, 152, 154, 156, 159, 161, 164, 166, 169, 171, 174,
    176, 178, 179, 181, 183, 185, 186, 188, 189, 190, 192, 194, 196, 198, 200, 202,
    204, 206, 208, 210, 212, 214, 217, 219, 221, 224, 227, 230, 232, 235, 237, 239,
    242, 245, 248, 251, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254,
    254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254,
    254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254,
};

namespace {

// white[i] is 1 when colour-table entry i's curved level lies strictly above
// the threshold. Indices past the table (possible only in a 4- or 8-bit image
// whose biClrUsed is short) count as black.
void BuildWhiteTable(const std::uint8_t* table, std::uint32_t entries, std::uint8_t white[256]) {
  std::uint8_t curved[256] = {};
  std::uint8_t smallest = 255, largest = 0;
  for (std::uint32_t i = 0; i < entries; ++i) {
    const std::uint8_t* q = table + i * 4;
    curved[i] = kToneCurve[Luminance(q[2], q[1], q[0])];
    if (curved[i] < smallest) smallest = curved[i];
    if (curved[i] > largest) largest = curved[i];
  }
  const unsigned threshold = (unsigned{smallest} + largest) / 2;
  for (std::uint32_t i = 0; i < 256; ++i) white[i] = i < entries && curved[i] > threshold ? 1 : 0;
}

// The index from which on every entry is white and before which every one is
// black, as in a grey ramp; -1 when the white entries are not one such tail
// (or there are none).
int WhiteFrom(const std::uint8_t white[256]) {
  int cut = 0;
  while (cut < 256 && white[cut] == 0) ++cut;
  if (cut == 256) return -1;
  for (int i = cut; i < 256; ++i) {
    if (white[i] == 0) return -1;
  }
  return cut;
}

// Indices of one stored row, widened to one byte per pixel.
void ReadRowIndices(const std::uint8_t* row, std::uint16_t bitCount, std::int32_t width,
                    const std::uint8_t white[256], std::uint8_t* __restrict out) {
  if (bitCount == 8) {
    for (std::int32_t x = 0; x < width; ++x) out[x] = white[row[x]];
  } else {
    for (std::int32_t x = 0; x < width; ++x) {
      const std::uint8_t b = row[x / 2];
      out[x] = white[(x & 1) ? (b & 0x0F) : (b >> 4)];
    }
  }
}

// Packs one bit per pixel, leftmost in the most significant bit; the bits
// past the right edge stay 0.
void PackRow(const std::uint8_t* __restrict bits, std::int32_t width, std::uint8_t* __restrict out) {
  const std::int32_t whole = width / 8;
  for (std::int32_t i = 0; i < whole; ++i) {
    const std::uint8_t* b = bits + 8 * i;
    out[i] = static_cast<std::uint8_t>(b[0] << 7 | b[1] << 6 | b[2] << 5 | b[3] << 4 | b[4] << 3 |
                                       b[5] << 2 | b[6] << 1 | b[7]);
  }
  if (const std::int32_t rest = width % 8; rest != 0) {
    unsigned v = 0;
    for (std::int32_t k = 0; k < rest; ++k) v = (v << 1) | bits[8 * whole + k];
    out[whole] = static_cast<std::uint8_t>(v << (8 - rest));
  }
}

// Converts a 4- or 8-bit working image that passed the layout check.
Status ConvertWorkingImage(ProgressChannel* status, MemHandle working, MemHandle* bw) {
  MemLockGuard src(working);
  DibLayout l;
  if (CheckDibLayout(src.data(), src.size(), &l) != StatusOk) return StatusBadArgument;

  const std::uint32_t stride = DibRowStride(1, l.width);
  MemOwner output(MemAlloc(std::size_t{stride} * static_cast<std::size_t>(l.height) + kDibHeaderSize + 8));
  if (output.get() == nullptr) return StatusNoMemory;
  MemOwner rowBuffer(MemAlloc(static_cast<std::size_t>(l.width)));
  if (rowBuffer.get() == nullptr) return StatusNoMemory;
  MemLockGuard out(output.get());
  MemLockGuard row(rowBuffer.get());
  if (out.data() == nullptr || row.data() == nullptr) return StatusNoMemory;

  std::memcpy(out.data(), src.data(), kDibHeaderSize);
  PutLe16(out.data() + DibBitCountField, 1);
  PutLe32(out.data() + DibSizeImageField, stride * static_cast<std::uint32_t>(l.height));
  PutLe32(out.data() + DibClrUsedField, 2);
  PutLe32(out.data() + DibClrImportantField, 2);
  std::uint8_t* table = out.data() + kDibHeaderSize;
  std::memset(table, 0, 4);
  std::memset(table + 4, 255, 3);
  table[7] = 0;

  std::uint8_t white[256];
  BuildWhiteTable(src.data() + l.headerSize, l.colours, white);

  const std::uint8_t* pixels = src.data() + l.pixelOffset;
  std::uint8_t* bits = table + 8;
  // A grey ramp (every 24-bit image's working image) turns white from one
  // index on: then a row is a comparison, 16 pixels at a time.
  const int cut = l.bitCount == 8 ? WhiteFrom(white) : -1;
  const ThresholdRowFn thresholdRow = ChooseThresholdRow();
  // Top row of the picture first, as the progress counts rows.
  for (std::int32_t k = 1; k <= l.height; ++k) {
    const std::int32_t y = l.height - k;
    if (status != nullptr) {
      if (DrainAndCheckCancel(status)) return StatusCancelled;
      SendProgress(status, static_cast<unsigned>(k * 100 / l.height));
    }
    const std::uint8_t* in = pixels + static_cast<std::size_t>(y) * l.stride;
    std::uint8_t* out = bits + static_cast<std::size_t>(y) * stride;
    if (cut >= 0) {
      thresholdRow(in, l.width, static_cast<std::uint8_t>(cut), out);
    } else {
      ReadRowIndices(in, l.bitCount, l.width, white, row.data());
      PackRow(row.data(), l.width, out);
    }
  }
  SendProgress(status, 100);
  *bw = output.release();
  return StatusOk;
}

}  // namespace

Status MakeBlackWhiteDib(ProgressChannel* status, MemHandle dib, MemHandle* bw) {
  if (dib == nullptr || bw == nullptr) return StatusBadArgument;
  DibLayout in;
  {
    MemLockGuard lock(dib);
    if (CheckDibLayout(lock.data(), lock.size(), &in) != StatusOk || in.width > kBlackWhiteMaxSide ||
        in.height > kBlackWhiteMaxSide) {
      return StatusBadArgument;
    }
  }
  *bw = nullptr;
  SendProgress(status, 0);
  if (in.bitCount == 1) return StatusBadArgument;
  if (in.bitCount != 24) return ConvertWorkingImage(status, dib, bw);

  MemHandle grey = nullptr;
  const Status s = ConvertRgb24ToGrey8(dib, &grey);
  if (s != StatusOk) return s;
  MemOwner greyOwner(grey);
  return ConvertWorkingImage(status, grey, bw);
}
