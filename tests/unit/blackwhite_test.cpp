// Black-and-white conversion: tone curve, threshold, bit packing, progress,
// cancel, and no block left behind on any path.
#include <gtest/gtest.h>

#include <random>

#include "dib_builder.h"
#include "imaging/blackwhite.h"
#ifndef _WIN32
#include "platform/memory_host.h"
#include "platform/progress_host.h"
#endif

namespace {

int PlainLuminance(int r, int g, int b) { return (r * 30 + g * 59 + b * 11) / 100; }

// The expected 1-bit rows of an image, from the colour-table rule and the
// plain formulas, one bit at a time.
std::vector<std::uint8_t> ReferenceBits(MemHandle h) {
  MemLockGuard lock(h);
  DibLayout l;
  EXPECT_EQ(CheckDibLayout(lock.data(), lock.size(), &l), StatusOk);
  const std::uint8_t* p = lock.data() + l.pixelOffset;
  std::vector<int> level;  // curved level per entry, or per pixel for 24 bits
  int lo = 255, hi = 0;
  auto levelOf = [&](int b, int g, int r) { return kToneCurve[PlainLuminance(r, g, b)]; };
  if (l.bitCount == 24) {
    lo = 1, hi = 254;  // the identity ramp of the working grey image
  } else {
    for (std::uint32_t i = 0; i < l.colours; ++i) {
      const std::uint8_t* q = lock.data() + 40 + 4 * i;
      level.push_back(levelOf(q[0], q[1], q[2]));
      lo = std::min(lo, level.back());
      hi = std::max(hi, level.back());
    }
  }
  const int threshold = (lo + hi) / 2;
  const std::uint32_t stride = DibRowStride(1, l.width);
  std::vector<std::uint8_t> out(std::size_t{stride} * l.height, 0);
  for (int y = 0; y < l.height; ++y) {
    const std::uint8_t* row = p + y * l.stride;
    for (int x = 0; x < l.width; ++x) {
      int v;
      if (l.bitCount == 24) {
        v = levelOf(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
      } else {
        const int index = l.bitCount == 8 ? row[x] : (x % 2 ? row[x / 2] & 15 : row[x / 2] >> 4);
        v = index < static_cast<int>(level.size()) ? level[index] : 0;
      }
      if (v > threshold) out[y * stride + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
  }
  return out;
}

std::vector<std::uint8_t> OutputBits(MemHandle bw) {
  MemLockGuard lock(bw);
  DibLayout l;
  EXPECT_EQ(CheckDibLayout(lock.data(), lock.size(), &l), StatusOk);
  return std::vector<std::uint8_t>(lock.data() + l.pixelOffset, lock.data() + l.pixelOffset + l.imageSize);
}

MemHandle RandomImage(std::int32_t width, std::int32_t height, std::uint16_t bits, unsigned seed) {
  MemHandle h = MakeDib(width, height, bits, bits == 24 ? 0 : (1u << bits));
  MemLockGuard lock(h);
  std::mt19937 rng(seed);
  for (std::size_t i = 40; i < lock.size(); ++i) lock.data()[i] = static_cast<std::uint8_t>(rng());
  return h;
}

TEST(ToneCurve, ShapeAndPinnedValues) {
  for (int i = 1; i < 256; ++i) ASSERT_GE(kToneCurve[i], kToneCurve[i - 1]) << i;
  for (int i = 0; i <= 38; ++i) EXPECT_EQ(kToneCurve[i], 1) << i;
  for (int i = 212; i <= 255; ++i) EXPECT_EQ(kToneCurve[i], 254) << i;
  EXPECT_EQ(kToneCurve[39], 2);
  EXPECT_EQ(kToneCurve[128], 89);
  EXPECT_EQ(kToneCurve[154], 126);
  EXPECT_EQ(kToneCurve[155], 128);
}

TEST(MakeBlackWhiteDib, RgbIsWhiteFromLuminance155) {
  MemHandle h = MakeDib(256, 1, 24, 0);
  MemOwner owner(h);
  {
    MemLockGuard lock(h);
    for (int v = 0; v < 256; ++v) std::memset(lock.data() + 40 + 3 * v, v, 3);
  }
  MemHandle bw = nullptr;
  ASSERT_EQ(MakeBlackWhiteDib(nullptr, h, &bw), StatusOk);
  MemOwner bwOwner(bw);
  const auto bits = OutputBits(bw);
  for (int v = 0; v < 256; ++v) {
    ASSERT_EQ((bits[v / 8] >> (7 - v % 8)) & 1, v >= 155 ? 1 : 0) << v;
  }
}

TEST(MakeBlackWhiteDib, HeaderAndTenPixelRows) {
  MemHandle h = MakeDib(10, 3, 8, 256);
  MemOwner owner(h);
  SetColour(h, 0, 0, 0, 0);
  SetColour(h, 1, 255, 255, 255);
  SetHeaderField(h, DibXPelsField, 2000);
  {
    MemLockGuard lock(h);
    std::uint8_t* p = lock.data() + 1064;
    for (int y = 0; y < 3; ++y) std::memset(p + y * 12, 1, 10);  // all white
  }
  const auto input = BlockBytes(h);
  MemHandle bw = nullptr;
  ASSERT_EQ(MakeBlackWhiteDib(nullptr, h, &bw), StatusOk);
  MemOwner bwOwner(bw);
  EXPECT_EQ(BlockBytes(h), input) << "the input is never modified";
  EXPECT_GE(MemSize(bw), 4u * 3 + 48);
  EXPECT_LT(MemSize(bw), 4u * 3 + 48 + 8) << "no more than the allocator's rounding";
  MemLockGuard lock(bw);
  const std::uint8_t* o = lock.data();
  EXPECT_EQ(GetLe32(o + DibSizeField), 40u);
  EXPECT_EQ(GetLe32(o + DibWidthField), 10u);
  EXPECT_EQ(GetLe32(o + DibHeightField), 3u);
  EXPECT_EQ(GetLe16(o + DibBitCountField), 1);
  EXPECT_EQ(GetLe32(o + DibClrUsedField), 2u);
  EXPECT_EQ(GetLe32(o + DibClrImportantField), 2u);
  EXPECT_EQ(GetLe32(o + DibSizeImageField), 12u);
  EXPECT_EQ(GetLe32(o + DibXPelsField), 2000u);
  const std::uint8_t table[8] = {0, 0, 0, 0, 255, 255, 255, 0};
  EXPECT_EQ(std::memcmp(o + 40, table, 8), 0);
  for (int y = 0; y < 3; ++y) {
    const std::uint8_t row[4] = {0xFF, 0xC0, 0, 0};
    EXPECT_EQ(std::memcmp(o + 48 + 4 * y, row, 4), 0) << "row " << y;
  }
}

TEST(MakeBlackWhiteDib, ThresholdComesFromTheWholeTable) {
  // One colour everywhere: T equals its curved level, so nothing is above it.
  MemHandle same = MakeDib(5, 2, 8, 256);
  MemOwner sameOwner(same);
  for (std::uint32_t i = 0; i < 256; ++i) SetColour(same, i, 200, 200, 200);
  MemHandle bw = nullptr;
  ASSERT_EQ(MakeBlackWhiteDib(nullptr, same, &bw), StatusOk);
  MemOwner bwOwner(bw);
  for (std::uint8_t b : OutputBits(bw)) EXPECT_EQ(b, 0);

  // A narrow range: levels 100..106 in use (curves 59..65) and entry 15 at
  // level 110 (curve 69) used by no pixel, so T = (59 + 69) / 2 = 64: only
  // level 106 lies above it. Without entry 15, T would be 62 and levels 104
  // and 105 would turn white too.
  MemHandle narrow = MakeDib(4, 1, 4, 16);
  MemOwner narrowOwner(narrow);
  for (std::uint32_t i = 0; i < 16; ++i) {
    const auto v = static_cast<std::uint8_t>(i < 14 ? 100 + (i % 6) : (i == 14 ? 106 : 110));
    SetColour(narrow, i, v, v, v);
  }
  {
    MemLockGuard lock(narrow);
    lock.data()[40 + 64] = 0x5E;  // levels 105 and 106
    lock.data()[40 + 65] = 0x40;  // levels 104 and 100
  }
  MemHandle bw2 = nullptr;
  ASSERT_EQ(MakeBlackWhiteDib(nullptr, narrow, &bw2), StatusOk);
  MemOwner bw2Owner(bw2);
  EXPECT_EQ(OutputBits(bw2)[0], 0x40) << "only level 106 lies above the threshold";
}

TEST(MakeBlackWhiteDib, WholeImagesMatchTheReference) {
  for (std::uint16_t bits : {4, 8, 24}) {
    for (std::int32_t width : {1, 3, 7, 9, 13, 33, 100}) {
      MemHandle h = RandomImage(width, 5, bits, static_cast<unsigned>(bits * 1000 + width));
      MemOwner owner(h);
      if (bits != 24) {  // a table that spans dark to light, in random order
        std::mt19937 rng(static_cast<unsigned>(width));
        const std::uint32_t n = 1u << bits;
        for (std::uint32_t i = 0; i < n; ++i) {
          const auto v = static_cast<std::uint8_t>(i * 255 / (n - 1));
          SetColour(h, (i * 7) % n, v, static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(255 - v));
        }
      }
      MemHandle bw = nullptr;
      ASSERT_EQ(MakeBlackWhiteDib(nullptr, h, &bw), StatusOk);
      MemOwner bwOwner(bw);
      EXPECT_EQ(OutputBits(bw), ReferenceBits(h)) << bits << " bits, width " << width;
    }
  }
}

TEST(MakeBlackWhiteDib, RefusesWhatItCannotConvert) {
  MemHandle sentinel = reinterpret_cast<MemHandle>(&sentinel);
  MemHandle out = sentinel;
  EXPECT_EQ(MakeBlackWhiteDib(nullptr, nullptr, &out), StatusBadArgument);
  EXPECT_EQ(out, sentinel);

  MemHandle wide = MakeDib(kBlackWhiteMaxSide + 1, 1, 8, 256);
  MemOwner wideOwner(wide);
  EXPECT_EQ(MakeBlackWhiteDib(nullptr, wide, &out), StatusBadArgument);
  EXPECT_EQ(out, sentinel);
  MemHandle tall = MakeDib(1, kBlackWhiteMaxSide + 1, 4, 16);
  MemOwner tallOwner(tall);
  EXPECT_EQ(MakeBlackWhiteDib(nullptr, tall, &out), StatusBadArgument);
  MemHandle edge = MakeDib(kBlackWhiteMaxSide, 1, 8, 256);
  MemOwner edgeOwner(edge);
  MemHandle bw = nullptr;
  EXPECT_EQ(MakeBlackWhiteDib(nullptr, edge, &bw), StatusOk);
  MemOwner bwOwner(bw);

  MemHandle lying = MakeDib(8, 8, 8, 256);
  MemOwner lyingOwner(lying);
  SetHeaderField(lying, DibHeightField, 9);
  EXPECT_EQ(MakeBlackWhiteDib(nullptr, lying, &out), StatusBadArgument);
  EXPECT_EQ(out, sentinel);
}

#ifndef _WIN32
std::vector<unsigned> ExpectedProgress(int height) {
  std::vector<unsigned> v{0};
  for (int k = 1; k <= height; ++k) v.push_back(static_cast<unsigned>(k * 100 / height));
  v.push_back(100);
  return v;
}

TEST(MakeBlackWhiteDib, ProgressBeforeEveryRow) {
  std::vector<unsigned> sent[201];
  for (int height : {1, 200, 3}) {
    MemHandle h = MakeDib(5, height, 24, 0);
    MemOwner owner(h);
    ProgressChannel channel;
    MemHandle bw = nullptr;
    ASSERT_EQ(MakeBlackWhiteDib(&channel, h, &bw), StatusOk);
    MemOwner bwOwner(bw);
    EXPECT_EQ(channel.sent, ExpectedProgress(height)) << height;
    EXPECT_EQ(channel.drains, height);
    sent[height] = channel.sent;
  }
  // What the conversion sent, pinned without the helper's arithmetic.
  EXPECT_EQ(sent[1], (std::vector<unsigned>{0, 100, 100}));
  EXPECT_EQ(sent[3], (std::vector<unsigned>{0, 33, 66, 100, 100}));
  ASSERT_EQ(sent[200].size(), 202u);
  EXPECT_EQ(sent[200][1], 0u) << "row 1 of 200 is 0 %";
  EXPECT_EQ(sent[200][2], 1u);
  EXPECT_EQ(sent[200][200], 100u);
}

TEST(MakeBlackWhiteDib, OneBitIsRefusedAfterProgressZero) {
  MemHandle h = MakeDib(9, 2, 1, 2);
  MemOwner owner(h);
  ProgressChannel channel;
  const std::size_t live = HostMemLiveBlocks();
  MemHandle out = reinterpret_cast<MemHandle>(&channel);
  EXPECT_EQ(MakeBlackWhiteDib(&channel, h, &out), StatusBadArgument);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(channel.sent, std::vector<unsigned>{0});
  EXPECT_EQ(HostMemLiveBlocks(), live);
}

TEST(MakeBlackWhiteDib, CancelAtAnyRowReleasesEverything) {
  const int height = 40;
  for (std::uint16_t bits : {8, 24}) {
    MemHandle h = RandomImage(13, height, bits, 5);
    MemOwner owner(h);
    const auto input = BlockBytes(h);
    for (int drain : {1, height / 2, height}) {
      ProgressChannel channel;
      channel.cancelAtDrain = drain;
      const std::size_t live = HostMemLiveBlocks();
      MemHandle out = reinterpret_cast<MemHandle>(&channel);
      EXPECT_EQ(MakeBlackWhiteDib(&channel, h, &out), StatusCancelled) << drain;
      EXPECT_EQ(out, nullptr);
      EXPECT_EQ(HostMemLiveBlocks(), live) << bits << " bits, cancel at row " << drain;
      EXPECT_EQ(HostMemOpenLocks(), 0u);
      const auto expected = ExpectedProgress(height);
      EXPECT_EQ(channel.sent, std::vector<unsigned>(expected.begin(), expected.begin() + drain))
          << "no progress after the cancel";
      EXPECT_EQ(BlockBytes(h), input);
    }
  }
}

TEST(MakeBlackWhiteDib, EachFailedAllocationReleasesEverything) {
  // 24 bits: the grey image, the output, the row buffer; 8 bits: the last two.
  for (auto [bits, allocations] : {std::pair<std::uint16_t, int>{24, 3}, {8, 2}}) {
    MemHandle h = RandomImage(11, 6, bits, 9);
    MemOwner owner(h);
    for (int failing = 0; failing < allocations; ++failing) {
      const std::size_t live = HostMemLiveBlocks();
      ProgressChannel channel;
      MemHandle out = reinterpret_cast<MemHandle>(&channel);
      HostMemFailAllocation(failing);
      EXPECT_EQ(MakeBlackWhiteDib(&channel, h, &out), StatusNoMemory) << bits << " " << failing;
      HostMemFailAllocation(-1);
      EXPECT_EQ(out, nullptr);
      EXPECT_EQ(HostMemLiveBlocks(), live) << bits << " bits, allocation " << failing;
      EXPECT_EQ(HostMemOpenLocks(), 0u);
    }
    // One allocation more than the conversion makes: it succeeds.
    HostMemFailAllocation(allocations);
    MemHandle bw = nullptr;
    EXPECT_EQ(MakeBlackWhiteDib(nullptr, h, &bw), StatusOk);
    HostMemFailAllocation(-1);
    MemFree(bw);
  }
}
#endif

}  // namespace
