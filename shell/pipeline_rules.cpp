// The pipeline's texts; see pipeline_rules.h.
#include "shell/pipeline_rules.h"

#include <cstdio>
#include <cstring>

#include "shell/naming.h"

namespace {
constexpr char kPrinting[] = "Printing ";
constexpr char kDash[] = "- ";
}  // namespace

void FormatPrintingText(const char* fileName, char* out, std::size_t size) {
  if (out == nullptr || size == 0) return;
  if (fileName == nullptr || fileName[0] == '\0') {
    std::snprintf(out, size, "%s", kPrinting);
    return;
  }
  const char* name = fileName + FileNamePart(fileName);
  const std::size_t fixed = sizeof kPrinting - 1 + sizeof kDash - 1;
  const std::size_t room = size > fixed + 1 ? size - fixed - 1 : 0;
  const std::size_t n = std::strlen(name);
  if (n <= room) {
    std::snprintf(out, size, "%s%s%s", kPrinting, kDash, name);
    return;
  }
  const std::size_t keep = room > 3 ? room - 3 : 0;
  std::snprintf(out, size, "%s%s%.*s...%s", kPrinting, kDash, static_cast<int>(keep - keep / 2), name,
                name + n - keep / 2);
}

void LowerCaseAscii(char* text) {
  if (text == nullptr) return;
  for (; *text != '\0'; ++text) {
    if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
  }
}

std::uint32_t ClipboardRetryDelay(std::uint32_t elapsedMs) {
  if (elapsedMs >= kClipboardPatienceMs) return 0;
  // The last try falls on the deadline itself, not up to a period short of it.
  const std::uint32_t left = kClipboardPatienceMs - elapsedMs;
  return left < kClipboardRetryMs ? left : kClipboardRetryMs;
}

// A dialog open before the capture (Capture Setup, its Disk Saving Setup, a
// message box) could otherwise change the settings, or write them, while the
// pipeline reads them. The main window keeps answering with "I'm Busy!", and
// the status window must keep its Cancel button. A disabled window is left
// alone: it is waiting for a dialog of its own, and enabling it afterwards
// would make that dialog modeless. Hidden windows take no input.
bool HoldForCapture(const OpenWindowFacts& w) {
  return w.visible && w.enabled && !w.mainWindow && !w.statusWindow;
}
