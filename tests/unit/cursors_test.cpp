// The pictures of the cursors "CROSS" and "MOVE" say what their form says:
// sizes, hot spots, the crosshair's lines and the arrow's extent and outline.
#include <gtest/gtest.h>

#include <algorithm>

#include "cursor_art.h"

namespace {

TEST(Cursors, CrossIsTheCrosshairOfItsDescription) {
  CursorArt art;
  ASSERT_TRUE(ReadCursorArt(CursorArtPath("cross"), &art));
  EXPECT_EQ(art.width, 32);
  EXPECT_EQ(art.height, 32);
  EXPECT_EQ(art.hotX, 11);
  EXPECT_EQ(art.hotY, 11);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      // Black: column 11 from row 0 to 23, row 11 from column 0 to 22.
      const bool black = (x == 11 && y <= 23) || (y == 11 && x <= 22);
      // White: beside those lines on both sides, where no line is.
      const bool white = !black && (((x == 10 || x == 12) && y <= 23) || ((y == 10 || y == 12) && x <= 22));
      const char want = black ? '#' : white ? 'o' : '.';
      EXPECT_EQ(art.At(x, y), want) << x << "," << y;
    }
  }
}

TEST(Cursors, MoveIsAWhiteArrowOutlinedInBlackCentredOnItsHotSpot) {
  CursorArt art;
  ASSERT_TRUE(ReadCursorArt(CursorArtPath("move"), &art));
  EXPECT_EQ(art.width, 32);
  EXPECT_EQ(art.height, 32);
  EXPECT_EQ(art.hotX, 12);
  EXPECT_EQ(art.hotY, 12);
  int left = 32, top = 32, right = -1, bottom = -1;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const char c = art.At(x, y);
      if (c == '.') continue;
      left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
      // Four-headed: the same under a quarter turn about the hot spot.
      EXPECT_EQ(art.At(24 - y, x), c) << x << "," << y;
      bool touchesWhite = false;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          const int nx = x + dx, ny = y + dy;
          const char n = nx < 0 || ny < 0 || nx >= 32 || ny >= 32 ? '.' : art.At(nx, ny);
          touchesWhite |= n == 'o';
          if (c == 'o') {
            EXPECT_NE(n, '.') << "white at " << x << "," << y << " must be outlined";
          }
        }
      }
      if (c == '#') {
        EXPECT_TRUE(touchesWhite) << "black at " << x << "," << y << " is outline only";
      }
    }
  }
  EXPECT_EQ(right - left + 1, 25);
  EXPECT_EQ(bottom - top + 1, 25);
  EXPECT_EQ((left + right) / 2, art.hotX);
  EXPECT_EQ((top + bottom) / 2, art.hotY);
  EXPECT_EQ(art.At(12, 12), 'o');
  EXPECT_EQ(art.At(12, 0), '#') << "the tips reach the edge of the 25 by 25";
  EXPECT_EQ(art.At(0, 12), '#');
}

}  // namespace
