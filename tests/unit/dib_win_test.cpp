// The GDI side of the packed-DIB utilities, run under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include "dib_builder.h"
#include "imaging/dib_win.h"

namespace {

TEST(CreateDibPalette, ColourCubeForRgbAndTableForPaletteImages) {
  MemHandle rgb = MakeDib(2, 2, 24, 0);
  MemOwner rgbOwner(rgb);
  HPALETTE palette = nullptr;
  ASSERT_EQ(CreateDibPalette(rgb, &palette), StatusOk);
  ASSERT_NE(palette, nullptr);
  PALETTEENTRY e[256];
  ASSERT_EQ(GetPaletteEntries(palette, 0, 256, e), 256u);
  EXPECT_EQ(e[7].peRed, 224);
  EXPECT_EQ(e[8].peGreen, 32);
  EXPECT_EQ(e[64].peBlue, 64);
  EXPECT_EQ(e[255].peRed, 224);
  EXPECT_EQ(e[255].peGreen, 224);
  EXPECT_EQ(e[255].peBlue, 192);
  DeleteObject(palette);

  MemHandle mono = MakeDib(9, 2, 1, 2);

  MemOwner monoOwner(mono);
  SetColour(mono, 1, 10, 20, 30);
  ASSERT_EQ(CreateDibPalette(mono, &palette), StatusOk);
  WORD count = 0;
  GetObjectA(palette, sizeof count, &count);
  EXPECT_EQ(count, 2);
  GetPaletteEntries(palette, 1, 1, e);
  EXPECT_EQ(e[0].peRed, 30);
  EXPECT_EQ(e[0].peBlue, 10);

  HPALETTE copy = nullptr;
  ASSERT_EQ(CopyPalette(palette, &copy), StatusOk);
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(copy, palette);
  PALETTEENTRY c[2];
  ASSERT_EQ(GetPaletteEntries(copy, 0, 2, c), 2u);
  GetPaletteEntries(palette, 0, 2, e);
  EXPECT_EQ(std::memcmp(c, e, sizeof c), 0);
  DeleteObject(copy);
  DeleteObject(palette);
}

TEST(CreateDibPalette, RefusesNullsAndMalformedBlocks) {
  HPALETTE sentinel = reinterpret_cast<HPALETTE>(0x1234);
  HPALETTE out = sentinel;
  EXPECT_EQ(CreateDibPalette(nullptr, &out), StatusBadArgument);
  EXPECT_EQ(out, sentinel);
  MemHandle h = MakeDib(3, 3, 8, 256);
  MemOwner hOwner(h);
  EXPECT_EQ(CreateDibPalette(h, nullptr), StatusBadArgument);
  SetHeaderField(h, DibClrUsedField, 300);
  EXPECT_EQ(CreateDibPalette(h, &out), StatusBadArgument);
  EXPECT_EQ(out, sentinel);
  EXPECT_EQ(CopyPalette(nullptr, &out), StatusBadArgument);
  EXPECT_EQ(out, sentinel);
}

TEST(DibToBitmap, BitmapHoldsTheDibPixels) {
  const int width = 3, height = 2;
  MemHandle h = MakeDib(width, height, 24, 0);
  MemOwner hOwner(h);
  {
    MemLockGuard lock(h);
    std::uint8_t* px = lock.data() + 40;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        std::uint8_t* p = px + y * 12 + x * 3;
        p[0] = static_cast<std::uint8_t>(40 * x);        // blue
        p[1] = static_cast<std::uint8_t>(100 + 50 * y);  // green
        p[2] = static_cast<std::uint8_t>(255 - 60 * x);  // red
      }
  }
  HBITMAP bitmap = nullptr;
  ASSERT_EQ(DibToBitmap(h, nullptr, &bitmap), StatusOk);
  ASSERT_NE(bitmap, nullptr);

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  std::uint8_t back[24] = {};
  HDC dc = GetDC(nullptr);
  ASSERT_EQ(GetDIBits(dc, bitmap, 0, height, back, &info, DIB_RGB_COLORS), height);
  ReleaseDC(nullptr, dc);
  MemLockGuard lock(h);
  for (int y = 0; y < height; ++y)
    EXPECT_EQ(std::memcmp(back + y * 12, lock.data() + 40 + y * 12, 9), 0) << "row " << y;
  DeleteObject(bitmap);
}

// The clipboard step's way: a palette image with the palette made from it.
// Each pixel must come back as its own table entry's colour, whatever the
// depth and however short the table (the pixels follow it).
TEST(DibToBitmap, PaletteImagesWithTheirPalette) {
  const struct {
    std::uint16_t bits;
    std::uint32_t clrUsed;
  } cases[] = {{8, 5}, {4, 16}, {1, 2}};
  for (const auto& c : cases) {
    const int width = 4, height = 2;
    MemHandle h = MakeDib(width, height, c.bits, c.clrUsed);
    MemOwner owner(h);
    const std::uint32_t entries = c.clrUsed;
    for (std::uint32_t i = 0; i < entries; ++i) {
      SetColour(h, i, static_cast<std::uint8_t>(40 * i + 10), static_cast<std::uint8_t>(200 - 30 * i),
                static_cast<std::uint8_t>(90 + 20 * i));
    }
    // Indices 0..3 across the bottom row and 3..0 across the top (alternating
    // 0 and 1 for 1 bit), so that a mirrored or shifted read shows.
    std::uint8_t expected[2][4];
    {
      MemLockGuard lock(h);
      std::uint8_t* px = lock.data() + 40 + 4 * entries;
      const std::uint32_t stride = DibRowStride(c.bits, width);
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          const int index = c.bits == 1 ? (y == 0 ? (x & 1) : !(x & 1)) : (y == 0 ? x : 3 - x);
          expected[y][x] = static_cast<std::uint8_t>(index);
          if (c.bits == 8) px[y * stride + x] = static_cast<std::uint8_t>(index);
          if (c.bits == 4) px[y * stride + x / 2] |= static_cast<std::uint8_t>(index << (x % 2 ? 0 : 4));
          if (c.bits == 1) px[y * stride] |= static_cast<std::uint8_t>(index << (7 - x));
        }
      }
    }
    HPALETTE palette = nullptr;
    ASSERT_EQ(CreateDibPalette(h, &palette), StatusOk);
    HBITMAP bitmap = nullptr;
    ASSERT_EQ(DibToBitmap(h, palette, &bitmap), StatusOk) << c.bits;
    ASSERT_NE(bitmap, nullptr) << c.bits;

    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::uint8_t back[2 * 12] = {};
    HDC dc = GetDC(nullptr);
    ASSERT_EQ(GetDIBits(dc, bitmap, 0, height, back, &info, DIB_RGB_COLORS), height);
    ReleaseDC(nullptr, dc);
    MemLockGuard lock(h);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const std::uint8_t* q = lock.data() + 40 + 4 * expected[y][x];
        EXPECT_EQ(std::memcmp(back + y * 12 + 3 * x, q, 3), 0) << c.bits << " bits, pixel " << x << "," << y;
      }
    }
    DeleteObject(bitmap);
    DeleteObject(palette);
  }
}

TEST(DibToBitmap, NullArguments) {
  HBITMAP out = reinterpret_cast<HBITMAP>(0x1234);
  EXPECT_EQ(DibToBitmap(nullptr, nullptr, &out), StatusBadArgument);
  EXPECT_EQ(out, nullptr) << "set to none before the image is checked";
  MemHandle h = MakeDib(2, 2, 8, 256);
  MemOwner hOwner(h);
  EXPECT_EQ(DibToBitmap(h, nullptr, nullptr), StatusBadArgument);
}

}  // namespace
