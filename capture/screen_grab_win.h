// The screen grab inside SBHOOK32: the rectangle to a device bitmap, and the
// device bitmap to a packed DIB at the display's depth. CaptureScreen (an
// export, sbhook32.h) runs them for the mode in the shared state.
#pragma once

#include <windows.h>

// Copies the rectangle (right and bottom exclusive), clipped to the screen,
// into a new bitmap compatible with the display, with the pointer drawn when
// the shared state asks for it. 0, 101 (null out address) or 802 (empty
// rectangle, nothing on the screen, no bitmap could be made).
WORD GrabScreenRect(int left, int top, int right, int bottom, HBITMAP* bitmap);
// The bitmap as a packed DIB in a movable global block that the caller owns.
// 0, 101, 102 (no memory) or 801 (the pixels could not be read).
WORD BitmapToPackedDib(HBITMAP bitmap, HGLOBAL* dib);
// Dispatches this thread's messages until a tracker in whatever process owns
// the window under the pointer sets SelectionDone, or Esc cancels the
// selection. It sleeps between looks at the flags: no busy wait.
void WaitForSelection();
