// The packed-DIB rules, the grey check and the block copy.
#include <gtest/gtest.h>

#include "dib_builder.h"
#include "imaging/dib.h"
#ifndef _WIN32
#include "platform/memory_host.h"
#endif

namespace {

TEST(DibRules, StrideColoursAndOffsets) {
  EXPECT_EQ(DibRowStride(1, 1), 4u);
  EXPECT_EQ(DibRowStride(1, 32), 4u);
  EXPECT_EQ(DibRowStride(1, 33), 8u);
  EXPECT_EQ(DibRowStride(4, 9), 8u);
  EXPECT_EQ(DibRowStride(8, 5), 8u);
  EXPECT_EQ(DibRowStride(24, 1), 4u);
  EXPECT_EQ(DibRowStride(24, 3), 12u);
  EXPECT_EQ(DibRowStride(24, 0x7FFFFFFF), 0u) << "a stride past 32 bits is reported as 0";

  EXPECT_EQ(DibColourCount(1, 0), 2u);
  EXPECT_EQ(DibColourCount(4, 0), 16u);
  EXPECT_EQ(DibColourCount(8, 0), 256u);
  EXPECT_EQ(DibColourCount(8, 17), 17u);
  EXPECT_EQ(DibColourCount(24, 0), 0u);

  MemHandle h = MakeDib(5, 3, 8, 256);

  MemOwner hOwner(h);
  MemLockGuard lock(h);
  DibLayout l;
  ASSERT_EQ(CheckDibLayout(lock.data(), lock.size(), &l), StatusOk);
  EXPECT_EQ(l.colours, 256u);
  EXPECT_EQ(l.stride, 8u);
  EXPECT_EQ(l.pixelOffset, 40u + 1024u);
  EXPECT_EQ(l.imageSize, 24u);
  EXPECT_EQ(GetLe32(lock.data() + DibSizeImageField), 24u);
  EXPECT_EQ(GetLe32(lock.data() + DibClrImportantField), 256u);
}

// Each case breaks one invariant; none may be accepted.
TEST(DibRules, MalformedHeadersAreRefused) {
  struct Case {
    const char* what;
    DibField field;
    std::uint32_t value;
  };
  const Case cases[] = {
      {"depth 2", DibBitCountField, 2},       {"depth 16", DibBitCountField, 16},
      {"depth 32", DibBitCountField, 32},     {"depth 0", DibBitCountField, 0},
      {"width 0", DibWidthField, 0},          {"height 0", DibHeightField, 0},
      {"negative width", DibWidthField, 0xFFFFFFFF},
      {"top-down height", DibHeightField, 0xFFFFFFFE},
      {"biClrUsed 257", DibClrUsedField, 257}, {"header size 12", DibSizeField, 12},
      {"header size 124", DibSizeField, 124},
      {"header size past the block", DibSizeField, 0x7FFFFFF0},
      {"one row more than the block holds", DibHeightField, 5},
      {"huge width", DibWidthField, 0x7FFFFFFF}, {"huge height", DibHeightField, 0x7FFFFFFF},
  };
  for (const Case& c : cases) {
    MemHandle h = MakeDib(7, 4, 8, 256);
    MemOwner hOwner(h);
    SetHeaderField(h, c.field, c.value);
    MemLockGuard lock(h);
    DibLayout l;
    EXPECT_EQ(CheckDibLayout(lock.data(), lock.size(), &l), StatusBadArgument) << c.what;
  }

  // biClrUsed larger than the default table moves the pixels past the block.
  MemHandle h = MakeDib(8, 8, 4, 0);
  MemOwner hOwner(h);
  SetHeaderField(h, DibClrUsedField, 200);
  {
    MemLockGuard lock(h);
    DibLayout l;
    EXPECT_EQ(CheckDibLayout(lock.data(), lock.size(), &l), StatusBadArgument);
    EXPECT_EQ(CheckDibLayout(lock.data(), 39, &l), StatusBadArgument) << "shorter than a header";
    EXPECT_EQ(CheckDibLayout(nullptr, 100, &l), StatusBadArgument);
  }
}

TEST(DibRules, HugeDimensionsDoNotWrapAround) {
  // 24 x 0x40000000 would wrap a 32-bit stride product to a small number.
  MemHandle h = MakeDib(4, 4, 24, 0);
  MemOwner hOwner(h);
  SetHeaderField(h, DibWidthField, 0x2AAAAAAB);
  SetHeaderField(h, DibHeightField, 0x00000003);
  MemLockGuard lock(h);
  DibLayout l;
  EXPECT_EQ(CheckDibLayout(lock.data(), lock.size(), &l), StatusBadArgument);
}

TEST(NormaliseGreyDib, ScrambledGreyTableBecomesIdentityRamp) {
  const int width = 3, height = 2;  // stride 4: one padding byte a row
  MemHandle h = MakeDib(width, height, 8, 256);
  MemOwner hOwner(h);
  for (std::uint32_t i = 0; i < 256; ++i) {
    const auto level = static_cast<std::uint8_t>(255 - ((i * 7) % 256));  // a permutation
    SetColour(h, i, level, level, level);
  }
  const std::uint8_t pixels[8] = {0, 1, 2, 3, 200, 201, 255, 128};
  {
    MemLockGuard lock(h);
    std::memcpy(lock.data() + 40 + 1024, pixels, sizeof pixels);
  }
  EXPECT_EQ(NormaliseGreyDib(h), 1);
  MemLockGuard lock(h);
  const std::uint8_t* table = lock.data() + 40;
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(table[i * 4], i);
    EXPECT_EQ(table[i * 4 + 1], i);
    EXPECT_EQ(table[i * 4 + 2], i);
    EXPECT_EQ(table[i * 4 + 3], 0);
  }
  for (int k = 0; k < 8; ++k) {
    const auto expected = static_cast<std::uint8_t>(255 - ((pixels[k] * 7) % 256));
    EXPECT_EQ(lock.data()[40 + 1024 + k], expected) << "byte " << k << ", padding included";
  }
}

TEST(NormaliseGreyDib, ColourOrOutOfRuleImagesAreNotTouched) {
  struct Case {
    const char* what;
    std::uint16_t bits;
    std::uint32_t clrUsed;
    int nonGreyIndex;  // -1: all grey
  };
  const Case cases[] = {
      {"8-bit with one entry green != blue", 8, 256, 77},
      {"8-bit with one entry red != blue", 8, 256, 255},
      {"4-bit colour", 4, 16, 3},
      {"1-bit black and white", 1, 2, -1},
      {"8-bit with 17 grey entries", 8, 17, -1},
  };
  for (const Case& c : cases) {
    MemHandle h = MakeDib(5, 2, c.bits, c.clrUsed);
    MemOwner hOwner(h);
    const std::uint32_t n = DibColourCount(c.bits, c.clrUsed);
    for (std::uint32_t i = 0; i < n; ++i) {
      const auto level = static_cast<std::uint8_t>(n - 1 - i);
      SetColour(h, i, level, level, level);
    }
    if (c.nonGreyIndex == 77) SetColour(h, 77, 10, 11, 10);
    if (c.nonGreyIndex == 255) SetColour(h, 255, 10, 10, 12);
    if (c.nonGreyIndex == 3) SetColour(h, 3, 0, 0, 255);
    const auto before = BlockBytes(h);
    EXPECT_EQ(NormaliseGreyDib(h), 0) << c.what;
    EXPECT_EQ(BlockBytes(h), before) << c.what;
  }
  MemHandle rgb = MakeDib(3, 3, 24, 0);
  MemOwner rgbOwner(rgb);
  const auto before = BlockBytes(rgb);
  EXPECT_EQ(NormaliseGreyDib(rgb), 0);
  EXPECT_EQ(BlockBytes(rgb), before);
  EXPECT_EQ(NormaliseGreyDib(nullptr), 0);
}

TEST(NormaliseGreyDib, FourBitTables) {
  MemHandle grey = MakeDib(3, 1, 4, 16);
  MemOwner greyOwner(grey);
  for (std::uint32_t i = 0; i < 16; ++i) {
    const auto level = static_cast<std::uint8_t>((i * 53) % 256);
    SetColour(grey, i, level, level, level);
  }
  const auto before = BlockBytes(grey);
  EXPECT_EQ(NormaliseGreyDib(grey), 1);
  EXPECT_EQ(BlockBytes(grey), before) << "a 16-entry grey table keeps its order";

  for (bool isGrey : {true, false}) {
    MemHandle h = MakeDib(3, 1, 4, 0);
    MemOwner hOwner(h);
    if (!isGrey) SetColour(h, 5, 1, 2, 3);
    EXPECT_EQ(NormaliseGreyDib(h), isGrey ? 1 : 0);
    MemLockGuard lock(h);
    EXPECT_EQ(GetLe32(lock.data() + DibClrUsedField), 16u) << "biClrUsed is filled in either way";
  }
}

TEST(NormaliseGreyDib, EightBitWithoutCountGetsTheFullTable) {
  MemHandle h = MakeDib(2, 2, 8, 0);
  MemOwner hOwner(h);
  for (std::uint32_t i = 0; i < 256; ++i) SetColour(h, i, 9, 9, 9);
  EXPECT_EQ(NormaliseGreyDib(h), 1);
  MemLockGuard lock(h);
  EXPECT_EQ(GetLe32(lock.data() + DibClrUsedField), 256u);
  EXPECT_EQ(lock.data()[40 + 4 * 200], 200) << "normalised to the identity ramp";
  EXPECT_EQ(lock.data()[40 + 1024], 9) << "index 0 showed level 9";
}

TEST(NormaliseGreyDib, MalformedBlockIsLeftAlone) {
  MemHandle h = MakeDib(4, 4, 8, 256);
  MemOwner hOwner(h);
  for (std::uint32_t i = 0; i < 256; ++i) SetColour(h, i, 255 - i, 255 - i, 255 - i);
  SetHeaderField(h, DibHeightField, 100);  // claims rows the block does not hold
  const auto before = BlockBytes(h);
  EXPECT_EQ(NormaliseGreyDib(h), 0);
  EXPECT_EQ(BlockBytes(h), before);
}

TEST(CopyDib, CopiesTheWholeBlock) {
  MemHandle h = MakeDib(3, 3, 24, 0, 13);
  MemOwner hOwner(h);  // spare bytes past the image
  {
    MemLockGuard lock(h);
    for (std::size_t i = 40; i < lock.size(); ++i) lock.data()[i] = static_cast<std::uint8_t>(i * 31);
  }
  MemHandle copy = nullptr;
  ASSERT_EQ(CopyDib(h, &copy), StatusOk);
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(copy, h);
  EXPECT_GE(MemSize(copy), MemSize(h));
  const auto original = BlockBytes(h);
  auto copied = BlockBytes(copy);
  copied.resize(original.size());
  EXPECT_EQ(copied, original) << "surplus bytes included";
  MemFree(copy);
}

TEST(CopyDib, RefusesNullsAndMalformedBlocks) {
  MemHandle h = MakeDib(3, 3, 8, 256);
  MemOwner hOwner(h);
  MemHandle sentinel = reinterpret_cast<MemHandle>(&h);
  MemHandle out = sentinel;
  EXPECT_EQ(CopyDib(nullptr, &out), StatusBadArgument);
  EXPECT_EQ(out, sentinel) << "the out-parameter is not touched";
  EXPECT_EQ(CopyDib(h, nullptr), StatusBadArgument);
  SetHeaderField(h, DibWidthField, 4000);
  EXPECT_EQ(CopyDib(h, &out), StatusBadArgument);
  EXPECT_EQ(out, sentinel);
}

#ifndef _WIN32
TEST(CopyDib, FailedAllocationLeavesNothingBehind) {
  MemHandle h = MakeDib(3, 3, 24, 0);
  MemOwner hOwner(h);
  const std::size_t live = HostMemLiveBlocks();
  MemHandle out = reinterpret_cast<MemHandle>(&h);
  HostMemFailAllocation(0);
  EXPECT_EQ(CopyDib(h, &out), StatusNoMemory);
  HostMemFailAllocation(-1);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(HostMemLiveBlocks(), live);
  EXPECT_EQ(HostMemOpenLocks(), 0u) << "the input is unlocked";
}
#endif

TEST(DibPaletteColours, ColourCubeForRgbImages) {
  MemHandle h = MakeDib(2, 2, 24, 0);
  MemOwner hOwner(h);
  MemLockGuard lock(h);
  DibLayout l;
  ASSERT_EQ(CheckDibLayout(lock.data(), lock.size(), &l), StatusOk);
  PaletteColour c[kDibMaxColours];
  ASSERT_EQ(BuildDibPaletteColours(lock.data(), l, c), 256u);
  auto rgb = [](const PaletteColour& p) { return std::vector<int>{p.red, p.green, p.blue, p.flags}; };
  EXPECT_EQ(rgb(c[0]), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(rgb(c[7]), (std::vector<int>{224, 0, 0, 0}));
  EXPECT_EQ(rgb(c[8]), (std::vector<int>{0, 32, 0, 0}));
  EXPECT_EQ(rgb(c[64]), (std::vector<int>{0, 0, 64, 0}));
  EXPECT_EQ(rgb(c[255]), (std::vector<int>{224, 224, 192, 0}));
}

TEST(DibPaletteColours, ColourTableInRedGreenBlueOrder) {
  MemHandle h = MakeDib(9, 1, 1, 2);
  MemOwner hOwner(h);
  SetColour(h, 0, 1, 2, 3);
  SetColour(h, 1, 250, 251, 252);
  MemLockGuard lock(h);
  DibLayout l;
  ASSERT_EQ(CheckDibLayout(lock.data(), lock.size(), &l), StatusOk);
  PaletteColour c[kDibMaxColours];
  ASSERT_EQ(BuildDibPaletteColours(lock.data(), l, c), 2u);
  EXPECT_EQ(c[0].red, 3);
  EXPECT_EQ(c[0].green, 2);
  EXPECT_EQ(c[0].blue, 1);
  EXPECT_EQ(c[1].red, 252);
  EXPECT_EQ(c[1].blue, 250);
}

}  // namespace
