// The rules behind the About box, the Capture Setup dialog and the help
// window that do not need a window: texts, enabling, corrections.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shell/settings.h"

// About: the number of colours a display of `bitsPerPixel` shows, as text:
// "2", "16", "256", "32K", "64K", "16.7M", or the bit count itself.
void FormatColourCount(int bitsPerPixel, char* out, std::size_t size);
// "1024 x 768 x 16.7M": the desktop's client size and the colour count.
void FormatVideoInfo(int width, int height, int bitsPerPixel, char* out, std::size_t size);

// Capture Setup's working copies while it is open. The four switches follow
// their check boxes; `storedIncFileName` is the setting the dialog opened with.
struct CaptureSetupModel {
  std::int32_t mode;
  std::uint8_t key;
  bool greyscale;
  bool blackWhite;
  bool printer;
  bool disk;
  bool storedIncFileName;
};

// Which controls are enabled for a state of the model.
struct CaptureSetupEnabling {
  bool includeCursor;  // Include Cursor: not for Area nor Defined Size
  bool definedSize;    // the width and height boxes and the "x": Defined Size only
  bool greyscale;      // Greyscale and Convert to B&W exclude each other
  bool blackWhite;
  bool diskSetup;      // Setup...: while Disk is on
  bool incFileName;    // Include File Name: while Printer and Disk are both on
};

// What one command asks of the dialog besides the enabling.
struct CaptureSetupUpdate {
  CaptureSetupEnabling enabling;
  bool restoreIncFileName;  // check Include File Name from the stored setting
  bool focusWidth;          // give the width box the focus
};

// The working copies from the settings. A file with both Greyscale and
// Dither on opens with Greyscale in charge: Convert to B&W stays checked
// but is disabled, and OK keeps both.
CaptureSetupModel StartCaptureSetup(const Settings& settings);
CaptureSetupEnabling CaptureSetupEnablingOf(const CaptureSetupModel& model);
// A click on control `id`; `checked` is the state its check box or radio
// button shows after the click. Unknown ids change nothing.
CaptureSetupUpdate CaptureSetupCommand(CaptureSetupModel* model, int id, bool checked);

// The results Capture Setup ends with (IDOK and IDCANCEL).
constexpr std::intptr_t kSetupOkResult = 1;
constexpr std::intptr_t kSetupCancelResult = 2;
// Whether a setup dialog was confirmed, so that its choices may be saved and
// the hot key armed again: it ended with `okResult` while its owner still
// exists. A dialog destroyed with its owner (the program closed under it)
// returns 0, and -1 when it could not be shown.
bool SetupConfirmed(std::intptr_t result, std::intptr_t okResult, bool ownerAlive);

// The Defined Size box's text (the first 9 characters count) read by the
// string-to-integer rule; below 2 or above the desktop's `extent` it is the
// extent. `rewrite` is set when the box's text is not that number in
// decimal, so that the box is made to show it. Pass the box's whole text.
std::int32_t CorrectDefinedSize(const char* text, std::int32_t extent, bool* rewrite);

// Copies resource text to `out` with every line ending as CR LF, as a
// multi-line edit control needs; stops at a NUL or at `length`. Returns the
// length written, always leaving `out` terminated.
std::size_t ToEditLineEndings(const char* text, std::size_t length, char* out, std::size_t size);
