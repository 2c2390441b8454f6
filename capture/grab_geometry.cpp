// Screen-grab arithmetic; see grab_geometry.h.
#include "capture/grab_geometry.h"


#include "capture/monitor_geometry.h"
#include "imaging/dib.h"

bool IsEmptyCaptureRect(const CaptureRectangle& r) { return r.right <= r.left || r.bottom <= r.top; }

CaptureRectangle ClipToScreen(const CaptureRectangle& r, std::int32_t screenWidth, std::int32_t screenHeight) {
  CaptureRectangle c = r;
  if (c.left < 0) c.left = 0;
  if (c.top < 0) c.top = 0;
  if (c.right > screenWidth) c.right = screenWidth;
  if (c.bottom > screenHeight) c.bottom = screenHeight;
  return c;
}

CaptureRectangle InclusiveToExclusive(const CaptureRectangle& r) {
  return CaptureRectangle{r.left, r.top, r.right + 1, r.bottom + 1};
}

CaptureRectangle BoxStartRect(std::int32_t boxWidth, std::int32_t boxHeight) {
  return CaptureRectangle{0, 0, boxWidth - 1, boxHeight - 1};
}

CapturePoint BoxAnchor(std::int32_t boxWidth, std::int32_t boxHeight) {
  return CapturePoint{boxWidth / 2, boxHeight / 2};
}

std::uint16_t NormaliseBitCount(std::uint16_t bits) {
  if (bits == 1 || bits == 4 || bits == 8) return bits;
  if (bits == 2 || bits == 3) return 4;
  if (bits >= 5 && bits <= 7) return 8;
  return 24;
}

bool ComputeCaptureHeader(std::int32_t width, std::int32_t height, std::uint16_t planesTimesBits,
                          CaptureHeader* header) {
  if (header == nullptr || width < 1 || height < 1) return false;
  CaptureHeader h{};
  h.width = width;
  h.height = height;
  h.bitCount = NormaliseBitCount(planesTimesBits);
  h.clrUsed = h.bitCount == 24 ? 0 : 1u << h.bitCount;
  const std::uint64_t sizeImage = std::uint64_t{DibRowStride(h.bitCount, width)} * static_cast<std::uint64_t>(height);
  const std::uint64_t block = kDibHeaderSize + std::uint64_t{h.clrUsed} * 4 + sizeImage;
  if (block > 0xFFFFFFFFull) return false;
  h.sizeImage = static_cast<std::uint32_t>(sizeImage);
  h.blockSize = static_cast<std::size_t>(block);
  *header = h;
  return true;
}

void WriteCaptureHeader(std::uint8_t* block, const CaptureHeader& h) {
  PutDibHeader(block, h.width, h.height, h.bitCount, h.clrUsed);
}

bool ShouldDrawPointer(std::int32_t includeCursor, std::uint16_t mode) {
  return includeCursor != 0 && mode != ModeArea && mode != ModeDefinedSize;
}

CapturePoint PointerDrawPosition(CapturePoint cursor, const CaptureRectangle& clipped, std::int32_t hotX,
                                 std::int32_t hotY) {
  return CapturePoint{cursor.x - clipped.left - hotX, cursor.y - clipped.top - hotY};
}

bool IsOnScreen(const CaptureRectangle& w, const CaptureRectangle& screen) {
  return IntersectCaptureRects(w, screen, nullptr);
}

// Only the showing bit counts: CURSOR_SUPPRESSED (a touch or pen in use)
// means the system draws no pointer either.
bool PointerShowing(bool stateRead, std::uint32_t flags) { return !stateRead || (flags & kCursorShowing) != 0; }
