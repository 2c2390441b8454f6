// Where a printed capture goes on the page: the one-page layout in
// hundredths of an inch, its conversion to printer pixels, and the document
// name. Plain arithmetic, so that it is tested without a printer.
#pragma once

#include <cstdint>

#include "messages/status.h"

// What the printer reports of its page (GetDeviceCaps).
struct PrinterPage {
  std::int32_t width;           // HORZRES, printable width in pixels
  std::int32_t height;          // VERTRES, printable height in pixels
  std::int32_t pixelsPerInchX;  // LOGPIXELSX
  std::int32_t pixelsPerInchY;  // LOGPIXELSY
};

// The image's extent at the page's top-left corner, and where the file-name
// line goes.
struct PrintPlacement {
  std::int32_t widthHundredths;
  std::int32_t heightHundredths;
  std::int32_t textX;  // printer pixels
  std::int32_t textY;
};

// Lays a captured image of imageWidth x imageHeight pixels out on the page,
// keeping an inch at the bottom for the file name when `withFileName`.
// StatusNoPrintableArea when the page (or what is left of it) has no room,
// StatusBadArgument for an image without pixels.
Status LayOutPrintedImage(const PrinterPage& page, bool withFileName, std::int32_t imageWidth,
                          std::int32_t imageHeight, PrintPlacement* placement);

struct PrinterRect {
  std::int32_t left;
  std::int32_t top;
  std::int32_t width;
  std::int32_t height;
};

// Hundredths of an inch to printer pixels at the given densities.
// StatusBadArgument when a position or extent comes out negative, or an
// edge lies beyond what a device coordinate can hold.
Status HundredthsToPrinterPixels(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                                 std::int32_t pixelsPerInchX, std::int32_t pixelsPerInchY, PrinterRect* rect);

// The name the spooler shows: the saved file's name without its directory,
// or "Pictrap" when the capture was not saved.
const char* PrintDocumentName(const char* fileName);
