// SBHOOK32's cursor resources as Windows loads them: the hot spots and the
// AND and XOR masks of their pictures.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "cursor_art.h"

namespace {

void ExpectCursorIsItsPicture(const char* resource, const char* picture) {
  CursorArt art;
  ASSERT_TRUE(ReadCursorArt(CursorArtPath(picture), &art));
  HMODULE library = LoadLibraryExA("SBHOOK32.DLL", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(library, nullptr);
  HCURSOR cursor = static_cast<HCURSOR>(LoadImageA(library, resource, IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
  ASSERT_NE(cursor, nullptr) << resource;
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(cursor, &info));
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(static_cast<int>(info.xHotspot), art.hotX) << resource;
  EXPECT_EQ(static_cast<int>(info.yHotspot), art.hotY) << resource;
  EXPECT_EQ(info.hbmColor, nullptr) << "monochrome: one mask of AND over XOR";
  BITMAP described{};
  ASSERT_TRUE(GetObjectA(info.hbmMask, sizeof described, &described));
  ASSERT_EQ(described.bmWidth, art.width);
  ASSERT_EQ(described.bmHeight, 2 * art.height);
  struct {
    BITMAPINFOHEADER h;
    RGBQUAD colours[2];
  } header{};
  header.h = BITMAPINFOHEADER{sizeof header.h, art.width, -2 * art.height, 1, 1, BI_RGB, 0, 0, 0, 0, 0};
  const int stride = (art.width + 31) / 32 * 4;
  std::vector<unsigned char> bits(static_cast<size_t>(stride) * 2 * art.height);
  HDC screen = GetDC(nullptr);
  const int lines = GetDIBits(screen, info.hbmMask, 0, 2 * art.height, bits.data(),
                              reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  ASSERT_EQ(lines, 2 * art.height);
  auto bit = [&](int x, int y) { return (bits[y * stride + x / 8] >> (7 - x % 8)) & 1; };
  for (int y = 0; y < art.height; ++y) {
    for (int x = 0; x < art.width; ++x) {
      const char want = art.At(x, y);
      const int andBit = bit(x, y), xorBit = bit(x, y + art.height);
      const char got = andBit ? (xorBit ? '~' : '.') : (xorBit ? 'o' : '#');
      EXPECT_EQ(got, want) << resource << " at " << x << "," << y;
    }
  }
  DeleteObject(info.hbmMask);
  DestroyCursor(cursor);
  FreeLibrary(library);
}

TEST(CursorResources, CrossAndMoveAreTheirPictures) {
  ExpectCursorIsItsPicture("CROSS", "cross");
  ExpectCursorIsItsPicture("MOVE", "move");
}

}  // namespace
