// The screen grab's arithmetic, free of the platform: which rectangle each
// mode grabs, clipping to the screen, the display depth a DIB is made at,
// the captured header and block size, and where the pointer is drawn.
#pragma once

#include <cstddef>
#include <cstdint>

#include "capture/capture_state.h"

// The capture modes, as the setting Mode and the shared state number them.
enum CaptureMode : std::uint16_t {
  ModeArea = 0,
  ModeFullScreen = 1,
  ModeClientArea = 2,
  ModeWindow = 3,
  ModeObject = 4,
  ModeDefinedSize = 5,
};

// right <= left or bottom <= top.
bool IsEmptyCaptureRect(const CaptureRectangle& r);
// Left and top raised to 0, right and bottom lowered to the screen size. A
// rectangle wholly off the screen comes out with no positive width or height.
CaptureRectangle ClipToScreen(const CaptureRectangle& r, std::int32_t screenWidth, std::int32_t screenHeight);
// Trackers leave right and bottom inclusive; the grab wants them exclusive.
CaptureRectangle InclusiveToExclusive(const CaptureRectangle& r);

// The Defined Size box as it starts: at the top-left corner, inclusive, with
// the pointer held at its centre.
CaptureRectangle BoxStartRect(std::int32_t boxWidth, std::int32_t boxHeight);
CapturePoint BoxAnchor(std::int32_t boxWidth, std::int32_t boxHeight);

// The display's planes times bits per pixel as a DIB depth: 1, 4 and 8 stay,
// 2 and 3 become 4, 5 to 7 become 8, anything above 8 becomes 24 (and so
// does a display that reports 0).
std::uint16_t NormaliseBitCount(std::uint16_t planesTimesBits);

// The header of a captured DIB and the size of its block.
struct CaptureHeader {
  std::int32_t width;
  std::int32_t height;
  std::uint16_t bitCount;
  std::uint32_t clrUsed;    // 2, 16 or 256 for 1, 4 and 8 bits; 0 for 24
  std::uint32_t sizeImage;  // stride * height
  std::size_t blockSize;    // 40 + 4 * clrUsed + sizeImage
};
// False when the size is not positive or the block would not fit 32 bits.
bool ComputeCaptureHeader(std::int32_t width, std::int32_t height, std::uint16_t planesTimesBits,
                          CaptureHeader* header);
// Writes the 40-byte header the table of the capture describes.
void WriteCaptureHeader(std::uint8_t* block, const CaptureHeader& header);

// Whether the pointer is drawn: asked for, and never in Area or Defined Size,
// whose selection feedback owns the pointer.
bool ShouldDrawPointer(std::int32_t includeCursor, std::uint16_t mode);
// Where the pointer's image goes in the grabbed bitmap: its screen position
// relative to the clipped rectangle, less its hot spot.
CapturePoint PointerDrawPosition(CapturePoint cursor, const CaptureRectangle& clipped, std::int32_t hotX,
                                 std::int32_t hotY);

// Whether a window with this rectangle shows on a screen with that one: they
// overlap in at least one pixel. A minimised window on current Windows lies
// at (-32000, -32000), off every screen, with only its taskbar button.
bool IsOnScreen(const CaptureRectangle& window, const CaptureRectangle& screen);

// CURSOR_SHOWING in GetCursorInfo's flags.
constexpr std::uint32_t kCursorShowing = 1;
// Whether the pointer is on the screen to be drawn: the application under it
// may have hidden it. When its state could not be read it counts as shown.
bool PointerShowing(bool stateRead, std::uint32_t flags);
