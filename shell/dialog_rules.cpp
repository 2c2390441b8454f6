// Dialog rules with no window behind them.
#include "shell/dialog_rules.h"

#include <cstdio>
#include <cstring>

#include "shell/resource.h"

void FormatColourCount(int bitsPerPixel, char* out, std::size_t size) {
  if (out == nullptr || size == 0) return;
  // The large counts are written as a number whose last digit gives way to
  // its unit: 320 -> "32K", 640 -> "64K", 160 -> "16.7M".
  int number = bitsPerPixel;
  const char* unit = nullptr;
  switch (bitsPerPixel) {
    case 1: number = 2; break;
    case 4: number = 16; break;
    case 8: number = 256; break;
    case 15: number = 320; unit = "K"; break;
    case 16: number = 640; unit = "K"; break;
    case 24:
    case 32: number = 160; unit = ".7M"; break;
    default: break;
  }
  char digits[16];
  const int n = std::snprintf(digits, sizeof digits, "%d", number);
  if (unit != nullptr && n > 0) digits[n - 1] = '\0';
  std::snprintf(out, size, "%s%s", digits, unit != nullptr ? unit : "");
}

void FormatVideoInfo(int width, int height, int bitsPerPixel, char* out, std::size_t size) {
  if (out == nullptr || size == 0) return;
  // Room for any number FormatColourCount may write and its unit: an
  // optimised native build proves the shorter buffer could cut it off and
  // stops on the warning.
  char colours[20];
  FormatColourCount(bitsPerPixel, colours, sizeof colours);
  std::snprintf(out, size, "%d x %d x %s", width, height, colours);
}

CaptureSetupModel StartCaptureSetup(const Settings& s) {
  CaptureSetupModel m{};
  m.mode = s.Mode;
  m.key = s.Key;
  m.greyscale = s.Greyscale != 0;
  m.blackWhite = s.Dither != 0;
  m.printer = s.Print != 0;
  m.disk = s.AutoSave != 0;
  m.storedIncFileName = s.IncFileName != 0;
  return m;
}

CaptureSetupEnabling CaptureSetupEnablingOf(const CaptureSetupModel& m) {
  CaptureSetupEnabling e{};
  e.includeCursor = m.mode != 0 && m.mode != 5;
  e.definedSize = m.mode == 5;
  // Each locks the other while it is checked. With both checked (from the
  // file) Greyscale is in charge: it stays usable, and once it is cleared
  // the checked Convert to B&W locks it like any other time.
  e.greyscale = m.greyscale || !m.blackWhite;
  e.blackWhite = !m.greyscale;
  e.diskSetup = m.disk;
  e.incFileName = m.printer && m.disk;
  return e;
}

CaptureSetupUpdate CaptureSetupCommand(CaptureSetupModel* m, int id, bool checked) {
  CaptureSetupUpdate u{};
  if (id >= IDC_MODE_AREA && id <= IDC_MODE_DEFINED_SIZE) {
    m->mode = id - IDC_MODE_AREA;
    u.focusWidth = id == IDC_MODE_DEFINED_SIZE;
  } else if (id >= IDC_KEY_F1 && id <= IDC_KEY_F12) {
    m->key = static_cast<std::uint8_t>(id - IDC_KEY_F1);
  } else if (id == IDC_GREYSCALE) {
    m->greyscale = checked;
  } else if (id == IDC_BLACK_WHITE) {
    m->blackWhite = checked;
  } else if (id == IDC_TO_PRINTER || id == IDC_TO_DISK) {
    (id == IDC_TO_PRINTER ? m->printer : m->disk) = checked;
    // Coming back into use, the box shows the stored choice again.
    u.restoreIncFileName = m->printer && m->disk;
  }
  u.enabling = CaptureSetupEnablingOf(*m);
  return u;
}

std::int32_t CorrectDefinedSize(const char* text, std::int32_t extent, bool* rewrite) {
  char first[10] = "";
  std::snprintf(first, sizeof first, "%s", text != nullptr ? text : "");
  std::int32_t value = ParseProfileInt(first);
  if (value < 2 || value > extent) value = extent;
  // Whatever else the box holds (leading zeros, blanks, characters past the
  // ninth) it must show the number the record takes, or the box would say
  // 0000000640 while the capture box is 64 pixels wide.
  char shown[16];
  std::snprintf(shown, sizeof shown, "%ld", static_cast<long>(value));
  if (rewrite != nullptr) *rewrite = text == nullptr || std::strcmp(text, shown) != 0;
  return value;
}

std::size_t ToEditLineEndings(const char* text, std::size_t length, char* out, std::size_t size) {
  if (out == nullptr || size == 0) return 0;
  std::size_t n = 0;
  for (std::size_t i = 0; i < length && text[i] != '\0'; ++i) {
    const char c = text[i];
    if (c == '\r') continue;  // CR LF and lone LF end lines alike
    const bool lineEnd = c == '\n';
    if (n + (lineEnd ? 2 : 1) >= size) break;
    if (lineEnd) out[n++] = '\r';
    out[n++] = c;
  }
  out[n] = '\0';
  return n;
}

// OK must be told by a result of its own: 0 is also what a dialog destroyed
// with its owner returns, and that one nobody confirmed.
bool SetupConfirmed(std::intptr_t result, std::intptr_t okResult, bool ownerAlive) {
  return ownerAlive && okResult != 0 && result == okResult;
}
