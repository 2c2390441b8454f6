// Greyscale and inversion, checked against plain reference arithmetic.
#include <gtest/gtest.h>

#include <random>

#include "dib_builder.h"
#include "imaging/greyscale.h"
#include "imaging/luminance.h"
#ifndef _WIN32
#include "platform/memory_host.h"
#endif

namespace {

int PlainLuminance(int r, int g, int b) { return (r * 30 + g * 59 + b * 11) / 100; }

// A 24-bit image with pseudo-random pixels and random padding bytes.
MemHandle RandomRgb(std::int32_t width, std::int32_t height, unsigned seed) {
  MemHandle h = MakeDib(width, height, 24, 0);
  MemLockGuard lock(h);
  std::mt19937 rng(seed);
  for (std::size_t i = 40; i < lock.size(); ++i) lock.data()[i] = static_cast<std::uint8_t>(rng());
  return h;
}

std::uint8_t* Pixels(const MemLockGuard& lock) {
  DibLayout l;
  CheckDibLayout(lock.data(), lock.size(), &l);
  return lock.data() + l.pixelOffset;
}

TEST(Luminance, FastDivisionIsExactForEverySum) {
  for (std::uint32_t sum = 0; sum <= 25500; ++sum) ASSERT_EQ(DivideBy100(sum), sum / 100) << sum;
  EXPECT_EQ(Luminance(0, 0, 255), 28);
  EXPECT_EQ(Luminance(0, 255, 0), 150);
  EXPECT_EQ(Luminance(255, 0, 0), 76);
  EXPECT_EQ(Luminance(255, 255, 255), 255);
  EXPECT_EQ(Luminance(0, 0, 0), 0);
  EXPECT_EQ(Luminance(1, 1, 1), 1);
}

TEST(ConvertRgb24ToGrey8, HeaderRampAndEveryPixel) {
  for (std::int32_t width : {1, 3, 5, 6, 13, 31}) {
    const std::int32_t height = 3;
    MemHandle src = RandomRgb(width, height, static_cast<unsigned>(width));
    MemOwner srcOwner(src);
    SetHeaderField(src, DibXPelsField, 3780);
    SetHeaderField(src, DibYPelsField, 2835);
    const auto before = BlockBytes(src);
    MemHandle grey = nullptr;
    ASSERT_EQ(ConvertRgb24ToGrey8(src, &grey), StatusOk);
    MemOwner greyOwner(grey);
    EXPECT_EQ(BlockBytes(src), before) << "the input is not touched";

    MemLockGuard in(src), out(grey);
    const std::uint32_t stride8 = DibRowStride(8, width), stride24 = DibRowStride(24, width);
    const std::uint8_t* o = out.data();
    EXPECT_EQ(GetLe16(o + DibBitCountField), 8);
    EXPECT_EQ(GetLe32(o + DibClrUsedField), 256u);
    EXPECT_EQ(GetLe32(o + DibClrImportantField), 256u);
    EXPECT_EQ(GetLe32(o + DibSizeImageField), stride8 * height);
    for (DibField f : {DibSizeField, DibWidthField, DibHeightField, DibCompressionField, DibXPelsField,
                       DibYPelsField}) {
      EXPECT_EQ(GetLe32(o + f), GetLe32(in.data() + f)) << "field at " << f;
    }
    EXPECT_EQ(GetLe16(o + DibPlanesField), 1);
    for (int i = 0; i < 256; ++i) {
      ASSERT_EQ(o[40 + 4 * i], i);
      ASSERT_EQ(o[40 + 4 * i + 1], i);
      ASSERT_EQ(o[40 + 4 * i + 2], i);
      ASSERT_EQ(o[40 + 4 * i + 3], 0);
    }
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* s = in.data() + 40 + y * stride24;
      const std::uint8_t* d = o + 1064 + y * stride8;
      for (int x = 0; x < width; ++x) {
        ASSERT_EQ(d[x], PlainLuminance(s[3 * x + 2], s[3 * x + 1], s[3 * x])) << width << " " << x << "," << y;
      }
      for (std::uint32_t x = width; x < stride8; ++x) EXPECT_EQ(d[x], 0) << "padding";
    }
  }
}

TEST(ConvertRgb24ToGrey8, RefusesOtherDepthsAndNulls) {
  MemHandle h = MakeDib(4, 4, 8, 256);
  MemOwner owner(h);
  MemHandle sentinel = reinterpret_cast<MemHandle>(&h), out = sentinel;
  EXPECT_EQ(ConvertRgb24ToGrey8(h, &out), StatusBadArgument);
  EXPECT_EQ(ConvertRgb24ToGrey8(nullptr, &out), StatusBadArgument);
  EXPECT_EQ(out, sentinel);
}

TEST(MakeGreyscaleDib, PaletteImagesKeepTheirIndices) {
  MemHandle h = MakeDib(7, 2, 8, 256);
  MemOwner owner(h);
  for (std::uint32_t i = 0; i < 256; ++i) SetColour(h, i, i, 255 - i, (i * 3) % 256);
  SetColour(h, 10, 0, 100, 0);  // luminance 59
  SetColour(h, 11, 0, 0, 196);  // luminance 58 (196 * 30 / 100)
  SetColour(h, 12, 0, 100, 1);  // luminance 59, like entry 10
  {
    MemLockGuard lock(h);
    lock.data()[40 + 4 * 10 + 3] = 0x5A;  // reserved bytes survive
    for (int k = 0; k < 16; ++k) Pixels(lock)[k] = static_cast<std::uint8_t>(k * 17);
  }
  MemHandle grey = nullptr;
  ASSERT_EQ(MakeGreyscaleDib(h, &grey), StatusOk);
  MemOwner greyOwner(grey);
  MemLockGuard in(h), out(grey);
  EXPECT_EQ(std::memcmp(Pixels(in), Pixels(out), 16), 0) << "indices untouched";
  for (int i = 0; i < 256; ++i) {
    const std::uint8_t* s = in.data() + 40 + 4 * i;
    const std::uint8_t* d = out.data() + 40 + 4 * i;
    const int level = PlainLuminance(s[2], s[1], s[0]);
    ASSERT_EQ(d[0], level);
    ASSERT_EQ(d[1], level);
    ASSERT_EQ(d[2], level);
    ASSERT_EQ(d[3], s[3]);
  }
  EXPECT_EQ(std::memcmp(out.data() + 40 + 40, out.data() + 40 + 48, 3), 0) << "equal luminance, equal grey";
}

TEST(MakeGreyscaleDib, BlackAndWhiteStaysAsItIs) {
  MemHandle h = MakeDib(9, 2, 1, 2);
  MemOwner owner(h);
  SetColour(h, 1, 255, 255, 255);
  MemHandle grey = nullptr;
  ASSERT_EQ(MakeGreyscaleDib(h, &grey), StatusOk);
  MemOwner greyOwner(grey);
  EXPECT_EQ(BlockBytes(grey), BlockBytes(h));
}

TEST(InvertDib, OneBitRowsClearBitsPastTheEdge) {
  MemHandle h = MakeDib(10, 2, 1, 2);
  MemOwner owner(h);
  {
    MemLockGuard lock(h);
    std::uint8_t* p = Pixels(lock);
    const std::uint8_t rows[8] = {0x0F, 0x55, 0xAB, 0xCD, 0xF0, 0x80, 0x00, 0x11};
    std::memcpy(p, rows, 8);
  }
  MemHandle inv = nullptr;
  ASSERT_EQ(InvertDib(h, &inv), StatusOk);
  MemOwner invOwner(inv);
  MemLockGuard out(inv);
  const std::uint8_t expected[8] = {0xF0, 0x80, 0xAB, 0xCD, 0x0F, 0x40, 0x00, 0x11};
  EXPECT_EQ(std::memcmp(Pixels(out), expected, 8), 0);

  MemHandle wide = MakeDib(16, 1, 1, 2);
  MemOwner wideOwner(wide);
  {
    MemLockGuard lock(wide);
    Pixels(lock)[2] = 0x77;  // padding
  }
  MemHandle inv2 = nullptr;
  ASSERT_EQ(InvertDib(wide, &inv2), StatusOk);
  MemOwner inv2Owner(inv2);
  MemLockGuard out2(inv2);
  const std::uint8_t expected2[4] = {0xFF, 0xFF, 0x77, 0x00};
  EXPECT_EQ(std::memcmp(Pixels(out2), expected2, 4), 0) << "no partial byte at a multiple of 8";
}

TEST(InvertDib, EightBitGreyInvertsPixelsAndKeepsTheRamp) {
  MemHandle h = MakeDib(3, 1, 8, 256);
  MemOwner owner(h);
  for (std::uint32_t i = 0; i < 256; ++i) SetColour(h, i, 255 - i, 255 - i, 255 - i);  // grey, reversed
  {
    MemLockGuard lock(h);
    const std::uint8_t px[4] = {255, 55, 0, 9};  // levels 0, 200, 255; padding 9
    std::memcpy(Pixels(lock), px, 4);
  }
  MemHandle inv = nullptr;
  ASSERT_EQ(InvertDib(h, &inv), StatusOk);
  MemOwner invOwner(inv);
  MemLockGuard in(h), out(inv);
  EXPECT_EQ(in.data()[40 + 4 * 7], 7) << "the input was normalised in place";
  const std::uint8_t* p = Pixels(out);
  EXPECT_EQ(p[0], 255);
  EXPECT_EQ(p[1], 55);
  EXPECT_EQ(p[2], 0);
  EXPECT_EQ(p[3], in.data()[1064 + 3]) << "padding left alone";
  for (int i = 0; i < 256; ++i) ASSERT_EQ(out.data()[40 + 4 * i], i);
}

TEST(InvertDib, ColourTablesAreInvertedNotPixels) {
  MemHandle colour = MakeDib(5, 2, 8, 256);
  MemOwner colourOwner(colour);
  SetColour(colour, 4, 10, 20, 30);
  {
    MemLockGuard lock(colour);
    lock.data()[40 + 4 * 4 + 3] = 7;
    for (int k = 0; k < 16; ++k) Pixels(lock)[k] = static_cast<std::uint8_t>(k);
  }
  MemHandle inv = nullptr;
  ASSERT_EQ(InvertDib(colour, &inv), StatusOk);
  MemOwner invOwner(inv);
  {
    MemLockGuard in(colour), out(inv);
    const std::uint8_t* e = out.data() + 40 + 16;
    EXPECT_EQ(e[0], 245);
    EXPECT_EQ(e[1], 235);
    EXPECT_EQ(e[2], 225);
    EXPECT_EQ(e[3], 0);
    EXPECT_EQ(std::memcmp(Pixels(in), Pixels(out), 16), 0);
  }

  MemHandle grey4 = MakeDib(5, 2, 4, 16);
  MemOwner grey4Owner(grey4);
  for (std::uint32_t i = 0; i < 16; ++i) SetColour(grey4, i, i * 17, i * 17, i * 17);
  {
    MemLockGuard lock(grey4);
    Pixels(lock)[0] = 0x12;
  }
  MemHandle inv4 = nullptr;
  ASSERT_EQ(InvertDib(grey4, &inv4), StatusOk);
  MemOwner inv4Owner(inv4);
  MemLockGuard out4(inv4);
  EXPECT_EQ(Pixels(out4)[0], 0x12);
  EXPECT_EQ(out4.data()[40 + 4 * 3], 255 - 51);

  // 8 bits with a 16-entry grey table: inverted indices would run from 255
  // down, far past the table's end.
  MemHandle grey8 = MakeDib(16, 1, 8, 16);
  MemOwner grey8Owner(grey8);
  for (std::uint32_t i = 0; i < 16; ++i) SetColour(grey8, i, i * 17, i * 17, i * 17);
  {
    MemLockGuard lock(grey8);
    for (int k = 0; k < 16; ++k) Pixels(lock)[k] = static_cast<std::uint8_t>(k);
  }
  MemHandle inv8 = nullptr;
  ASSERT_EQ(InvertDib(grey8, &inv8), StatusOk);
  MemOwner inv8Owner(inv8);
  MemLockGuard out8(inv8);
  for (int k = 0; k < 16; ++k) EXPECT_EQ(Pixels(out8)[k], k) << "every index stays within the table";
  EXPECT_EQ(out8.data()[40 + 4 * 3], 255 - 51);
}

TEST(InvertDib, TwiceGivesThePictureBack) {
  for (std::int32_t width : {1, 5, 10, 17, 64}) {
    struct Case {
      std::uint16_t bits;
      std::uint32_t clrUsed;
    };
    for (Case c : {Case{24, 0}, Case{8, 256}, Case{4, 16}, Case{1, 2}}) {
      MemHandle h = MakeDib(width, 3, c.bits, c.clrUsed);
      MemOwner owner(h);
      {
        MemLockGuard lock(h);
        std::mt19937 rng(static_cast<unsigned>(width * 100 + c.bits));
        for (std::size_t i = 40; i < lock.size(); ++i) lock.data()[i] = static_cast<std::uint8_t>(rng());
        for (std::uint32_t i = 0; i < c.clrUsed; ++i) lock.data()[40 + 4 * i + 3] = 0;
        if (c.bits == 1) {  // bits past the right edge are cleared by the first inversion
          const std::uint32_t stride = DibRowStride(1, width);
          for (int y = 0; y < 3; ++y)
            for (std::int32_t x = width; x < static_cast<std::int32_t>(stride * 8); ++x)
              Pixels(lock)[y * stride + x / 8] &= static_cast<std::uint8_t>(~(0x80 >> (x % 8)));
        }
      }
      const auto before = BlockBytes(h);
      MemHandle once = nullptr, twice = nullptr;
      ASSERT_EQ(InvertDib(h, &once), StatusOk);
      MemOwner onceOwner(once);
      ASSERT_EQ(InvertDib(once, &twice), StatusOk);
      MemOwner twiceOwner(twice);
      auto after = BlockBytes(twice);
      after.resize(before.size());
      EXPECT_EQ(after, before) << c.bits << " bits, width " << width;
    }
  }
}

TEST(ImageOperations, RefuseNullsAndMalformedBlocks) {
  MemHandle bad = MakeDib(6, 6, 24, 0);
  MemOwner badOwner(bad);
  SetHeaderField(bad, DibHeightField, 7);
  const auto before = BlockBytes(bad);
  MemHandle sentinel = reinterpret_cast<MemHandle>(&bad);
  for (auto op : {&MakeGreyscaleDib, &InvertDib, &ConvertRgb24ToGrey8}) {
    MemHandle out = sentinel;
    EXPECT_EQ(op(bad, &out), StatusBadArgument);
    EXPECT_EQ(op(nullptr, &out), StatusBadArgument);
    EXPECT_EQ(op(bad, nullptr), StatusBadArgument);
    EXPECT_EQ(out, sentinel);
  }
  EXPECT_EQ(BlockBytes(bad), before);
}

#ifndef _WIN32
TEST(ImageOperations, FailedAllocationReleasesEverything) {
  MemHandle rgb = RandomRgb(9, 4, 1);
  MemOwner rgbOwner(rgb);
  MemHandle pal = MakeDib(9, 4, 8, 256);
  MemOwner palOwner(pal);
  for (MemHandle input : {rgb, pal}) {
    for (auto op : {&MakeGreyscaleDib, &InvertDib}) {
      const std::size_t live = HostMemLiveBlocks();
      MemHandle out = reinterpret_cast<MemHandle>(&rgbOwner);
      HostMemFailAllocation(0);
      EXPECT_EQ(op(input, &out), StatusNoMemory);
      HostMemFailAllocation(-1);
      EXPECT_EQ(out, nullptr);
      EXPECT_EQ(HostMemLiveBlocks(), live);
      EXPECT_EQ(HostMemOpenLocks(), 0u);
    }
  }
}
#endif

}  // namespace
