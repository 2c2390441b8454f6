// SBHOOK32's cursors as Windows loads them, built from their pictures in
// capture/cursors: 32 by 32, monochrome with transparency, the hot spots,
// the crosshair's lines and the arrow's extent and outline.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The cursor's pixels, top row first: '.' transparent, '#' black, 'o'
// white, '~' inverted; and its hot spot.
struct Loaded {
  std::vector<std::string> rows;
  int hotX = -1, hotY = -1;
};

Loaded LoadFromLibrary(const char* name) {
  Loaded out;
  HMODULE library = LoadLibraryExA("SBHOOK32.DLL", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  EXPECT_NE(library, nullptr);
  HCURSOR cursor = static_cast<HCURSOR>(LoadImageA(library, name, IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
  ICONINFO info{};
  BITMAP described{};
  if (cursor == nullptr || !GetIconInfo(cursor, &info) || info.hbmColor != nullptr ||
      !GetObjectA(info.hbmMask, sizeof described, &described) || described.bmWidth != 32 ||
      described.bmHeight != 64) {
    ADD_FAILURE() << name << " is not a 32 by 32 monochrome cursor";
    return out;
  }
  struct {
    BITMAPINFOHEADER h;
    RGBQUAD colours[2];
  } header{};
  header.h = BITMAPINFOHEADER{sizeof header.h, 32, -64, 1, 1, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<unsigned char> bits(4 * 64);
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(GetDIBits(screen, info.hbmMask, 0, 64, bits.data(), reinterpret_cast<BITMAPINFO*>(&header),
                      DIB_RGB_COLORS), 64);
  ReleaseDC(nullptr, screen);
  // The mask is the AND mask over the XOR mask.
  auto bit = [&](int x, int y) { return (bits[y * 4 + x / 8] >> (7 - x % 8)) & 1; };
  for (int y = 0; y < 32; ++y) {
    std::string row;
    for (int x = 0; x < 32; ++x) row += bit(x, y) ? (bit(x, y + 32) ? '~' : '.') : (bit(x, y + 32) ? 'o' : '#');
    out.rows.push_back(row);
  }
  out.hotX = static_cast<int>(info.xHotspot);
  out.hotY = static_cast<int>(info.yHotspot);
  DeleteObject(info.hbmMask);
  DestroyCursor(cursor);
  FreeLibrary(library);
  return out;
}

TEST(CursorResources, CrossIsACrosshairEdgedInWhite) {
  const Loaded c = LoadFromLibrary("CROSS");
  ASSERT_EQ(c.rows.size(), 32u);
  EXPECT_EQ(c.hotX, 11);
  EXPECT_EQ(c.hotY, 11);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      // Black: column 11 from row 0 to 23, row 11 from column 0 to 22;
      // white beside those lines on both sides, where no line is.
      const bool black = (x == 11 && y <= 23) || (y == 11 && x <= 22);
      const bool white = !black && (((x == 10 || x == 12) && y <= 23) || ((y == 10 || y == 12) && x <= 22));
      EXPECT_EQ(c.rows[y][x], black ? '#' : white ? 'o' : '.') << x << "," << y;
    }
  }
}

TEST(CursorResources, MoveIsAWhiteFourHeadedArrowOutlinedInBlack) {
  const Loaded c = LoadFromLibrary("MOVE");
  ASSERT_EQ(c.rows.size(), 32u);
  EXPECT_EQ(c.hotX, 12);
  EXPECT_EQ(c.hotY, 12);
  auto at = [&](int x, int y) { return x < 0 || y < 0 || x >= 32 || y >= 32 ? '.' : c.rows[y][x]; };
  int left = 32, top = 32, right = -1, bottom = -1;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const char p = at(x, y);
      if (p == '.') continue;
      left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
      EXPECT_EQ(at(24 - y, x), p) << "four heads: the same under a quarter turn, at " << x << "," << y;
      bool touchesWhite = false, touchesClear = false;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          touchesWhite |= at(x + dx, y + dy) == 'o';
          touchesClear |= at(x + dx, y + dy) == '.';
        }
      }
      EXPECT_TRUE(p == 'o' ? !touchesClear : p == '#' && touchesWhite) << "outline at " << x << "," << y;
    }
  }
  EXPECT_EQ(right - left + 1, 25);
  EXPECT_EQ(bottom - top + 1, 25);
  EXPECT_EQ((left + right) / 2, c.hotX) << "centred on the hot spot";
  EXPECT_EQ((top + bottom) / 2, c.hotY);
  EXPECT_EQ(at(12, 12), 'o');
}

}  // namespace
