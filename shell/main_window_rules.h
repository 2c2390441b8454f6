// The main window's rules, free of the platform: it is an icon and never
// opens, whatever asks it to and under whichever window manager.
#pragma once

#include <cstdint>

// SC_RESTORE in any of its forms (the low four bits are the system's own),
// except Capture Setup, which stands in its place in the system menu with
// the number 0xF121.
bool IsRestoreRequest(std::uint32_t command);

// A change of the main window's position or visibility, as its notice
// describes it: iconic is the state it changes to.
struct PositionChange {
  bool iconic;
  bool visible;  // before the change
  bool show;     // SWP_SHOWWINDOW
  bool hide;     // SWP_HIDEWINDOW
};
struct IconKeeping {
  bool refuseShow;     // clear SWP_SHOWWINDOW
  bool hide;           // set SWP_HIDEWINDOW
  bool minimiseAgain;  // make it an icon once the change is over
};
// What keeps a change from showing a restored frame. `strikes` counts the
// refusals since the window was last shown as an icon.
constexpr int kMaxIconStrikes = 6;
IconKeeping KeepAnIcon(const PositionChange& change, int* strikes);
