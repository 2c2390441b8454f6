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
    std::uint8_t rows[2];  // the first byte of each row, bottom row first
  } cases[] = {{8, 5, {1, 4}}, {4, 16, {0x2C, 0xB3}}, {1, 2, {0x50, 0xA0}}};
  for (const auto& c : cases) {
    MemHandle h = MakeDib(2, 2, c.bits, c.clrUsed);
    MemOwner owner(h);
    for (std::uint32_t i = 0; i < c.clrUsed; ++i) {
      SetColour(h, i, static_cast<std::uint8_t>(15 * i + 10), static_cast<std::uint8_t>(200 - 12 * i),
                static_cast<std::uint8_t>(90 + 9 * i));
    }
    MemLockGuard lock(h);
    std::uint8_t* pixels = lock.data() + 40 + 4 * c.clrUsed;
    pixels[0] = c.rows[0];
    pixels[4] = c.rows[1];
    if (c.bits == 8) pixels[1] = pixels[5] = 2;  // the second pixel of both rows
    HPALETTE palette = nullptr;
    ASSERT_EQ(CreateDibPalette(h, &palette), StatusOk);
    HBITMAP bitmap = nullptr;
    ASSERT_EQ(DibToBitmap(h, palette, &bitmap), StatusOk) << c.bits;
    ASSERT_NE(bitmap, nullptr) << c.bits;

    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, 2, 2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::uint8_t back[2 * 8] = {};
    HDC dc = GetDC(nullptr);
    ASSERT_EQ(GetDIBits(dc, bitmap, 0, 2, back, &info, DIB_RGB_COLORS), 2);
    ReleaseDC(nullptr, dc);
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 2; ++x) {
        const int index = c.bits == 8 ? pixels[4 * y + x] : (pixels[4 * y] >> (8 - c.bits * (x + 1))) & ((1 << c.bits) - 1);
        EXPECT_EQ(std::memcmp(back + 8 * y + 3 * x, lock.data() + 40 + 4 * index, 3), 0)
            << c.bits << " bits, pixel " << x << "," << y << ", index " << index;
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
