// The printed page's layout. A capture 640 pixels wide spans the page width;
// narrower ones are printed proportionally smaller, wider or taller ones are
// shrunk to fit, and the image always keeps square pixels.
#include "printing/print_layout.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

// Image pixels that span the whole page width.
constexpr double kFullWidthPixels = 640.0;
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

std::int32_t TruncatedHundredths(double value) {
  // Only an absurd printer (billions of pixels at one per inch) gets here
  // past the 32-bit range; it is held at the largest extent instead of wrapping.
  if (!(value < static_cast<double>(kInt32Max))) return static_cast<std::int32_t>(kInt32Max);
  return static_cast<std::int32_t>(std::trunc(value));
}

}  // namespace

Status LayOutPrintedImage(const PrinterPage& page, bool withFileName, std::int32_t imageWidth,
                          std::int32_t imageHeight, PrintPlacement* placement) {
  if (placement == nullptr || imageWidth < 1 || imageHeight < 1) return StatusBadArgument;
  // The file name takes one inch off the bottom and sits 5 pixels below the image area.
  const std::int64_t areaHeight =
      withFileName ? std::int64_t{page.height} - page.pixelsPerInchY : std::int64_t{page.height};
  if (page.width < 1 || areaHeight < 1 || page.pixelsPerInchX < 1 || page.pixelsPerInchY < 1) {
    return StatusNoPrintableArea;
  }

  // The ratios are single-precision values; every product and quotient is
  // formed in double precision.
  const double width = page.width;
  const double height = static_cast<double>(areaHeight);
  const float aspect = static_cast<float>(static_cast<double>(page.pixelsPerInchY) / page.pixelsPerInchX);
  const float pageRatio = static_cast<float>(height / width);
  float sx = static_cast<float>(imageWidth / kFullWidthPixels);
  float sy = static_cast<float>(imageHeight / (static_cast<double>(pageRatio) * kFullWidthPixels) *
                                static_cast<double>(aspect));
  if (sx > 1.0f) {
    sy = static_cast<float>(static_cast<double>(sy) / sx);
    sx = 1.0f;
  }
  if (sy > 1.0f) {
    sx = static_cast<float>(static_cast<double>(sx) / sy);
    sy = 1.0f;
  }

  PrintPlacement p{};
  p.widthHundredths = TruncatedHundredths(width * sx / (page.pixelsPerInchX / 100.0));
  p.heightHundredths = TruncatedHundredths(height * sy / (page.pixelsPerInchY / 100.0));
  p.textX = 0;
  p.textY = withFileName ? static_cast<std::int32_t>(areaHeight) + 5 : 0;
  *placement = p;
  return StatusOk;
}

Status HundredthsToPrinterPixels(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                                 std::int32_t pixelsPerInchX, std::int32_t pixelsPerInchY, PrinterRect* rect) {
  if (rect == nullptr) return StatusBadArgument;
  // 32-bit values multiplied in 64 bits cannot overflow, so a negative value
  // is refused as negative instead of wrapping round to a large positive one.
  const std::int64_t l = std::int64_t{left} * pixelsPerInchX / 100;
  const std::int64_t t = std::int64_t{top} * pixelsPerInchY / 100;
  const std::int64_t w = std::int64_t{width} * pixelsPerInchX / 100;
  const std::int64_t h = std::int64_t{height} * pixelsPerInchY / 100;
  if (l < 0 || t < 0 || w < 0 || h < 0) return StatusBadArgument;
  // GDI takes each coordinate as a 32-bit int: both edges must fit.
  if (l + w > kInt32Max || t + h > kInt32Max) return StatusBadArgument;
  *rect = PrinterRect{static_cast<std::int32_t>(l), static_cast<std::int32_t>(t), static_cast<std::int32_t>(w),
                      static_cast<std::int32_t>(h)};
  return StatusOk;
}

const char* PrintDocumentName(const char* fileName) {
  if (fileName == nullptr || fileName[0] == '\0') return "Pictrap";
  // The spooler shows the part after the last backslash, the path's file name.
  const char* slash = std::strrchr(fileName, '\\');
  return slash != nullptr ? slash + 1 : fileName;
}
