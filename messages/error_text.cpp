// Message texts for the status codes; the rest of the system holds only the
// numbers. Codes are matched on their low 16 bits, as callers pass a 32-bit
// value.
#include "messages/error_text.h"

#include <cstdio>

#include "messages/status.h"

namespace {

struct Sentence {
  Status code;
  const char* text;
};

constexpr Sentence kSentences[] = {
    {StatusCancelled, "The operation was cancelled."},
    {StatusBadArgument, "The image or a value given to the operation is not valid."},
    {StatusNoMemory, "There is not enough memory to complete the operation."},
    {StatusCreateFailed, "The file could not be created."},
    {StatusWriteFailed,
     "The file could not be written completely: the disk may be full, or the image is too wide to be "
     "saved as an uncompressed TIFF file."},
    {StatusReadPixelsFailed, "The screen contents could not be read into the image."},
    {StatusEmptyCapture, "Nothing was captured: the capture area is empty or the screen could not be copied."},
    {StatusPrinterNoRaster, "The printer cannot print images."},
    {StatusNoPrinter, "No default printer is available, or its page is too small."},
    {StatusPrintJobFailed, "The print job could not be started, or did not reach the printer."},
    {StatusPrinterDcFailed, "The printer could not be opened."},
    {StatusPrinterSetupNoRaster, "The selected printer cannot print images."},
    {StatusNoPrintableArea, "There is no room on the page to print the image."},
};

}  // namespace

std::size_t FormatErrorSentence(std::uint32_t code, char* buffer, std::size_t size) {
  if (buffer == nullptr || size == 0) return 0;
  const Status status = static_cast<Status>(code & 0xFFFFu);
  int written = -1;
  for (const Sentence& s : kSentences) {
    if (s.code == status) {
      written = std::snprintf(buffer, size, "%s", s.text);
      break;
    }
  }
  if (written < 0) {
    written = std::snprintf(buffer, size, "An unexpected error occurred (error %u).",
                            static_cast<unsigned>(status));
  }
  if (written < 0) {
    buffer[0] = '\0';
    return 0;
  }
  return static_cast<std::size_t>(written) < size ? static_cast<std::size_t>(written) : size - 1;
}
