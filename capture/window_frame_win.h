// A window's frame as the user sees it, for Window mode and the Object
// tracker: on Windows 10 and 11 the window rectangle adds invisible resize
// borders, through which a strip of what lies behind would be captured.
#pragma once

#include <windows.h>

#include "capture/capture_state.h"

// False when the window has no rectangle (it has gone).
bool VisibleWindowFrame(HWND window, CaptureRectangle* frame);
