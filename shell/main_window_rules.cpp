// The main window's rules; see main_window_rules.h.
#include "shell/main_window_rules.h"

namespace {
constexpr std::uint32_t kRestore = 0xF120;       // SC_RESTORE
constexpr std::uint32_t kCaptureSetup = 0xF121;  // IDM_CAPTURE_SETUP
}  // namespace

bool IsRestoreRequest(std::uint32_t command) {
  return (command & 0xFFF0u) == kRestore && command != kCaptureSetup;
}

// Refusing the restore is not enough: a window manager that de-iconifies
// the window itself has shown the frame before the program is asked, and the
// system may restore it by other paths. So any change that would leave the
// window shown but not iconic is made to hide it instead, and it becomes an
// icon again afterwards. Should the window never be seen iconic (a system
// that sets the state only after this notice), the refusals stop after a
// few, since a frame is better than no window at all.
IconKeeping KeepAnIcon(const PositionChange& c, int* strikes) {
  const bool shownAfter = c.show || (c.visible && !c.hide);
  if (!shownAfter) return {false, false, false};
  if (c.iconic) {
    *strikes = 0;
    return {false, false, false};
  }
  if (*strikes >= kMaxIconStrikes) return {false, false, false};
  ++*strikes;
  return {c.show, c.visible && !c.hide, true};
}
