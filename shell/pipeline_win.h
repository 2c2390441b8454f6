// The capture pipeline: what the main window does with each capture request.
#pragma once

#include "shell/shell.h"

constexpr UINT kCaptureRequestMessage = WM_USER + 1;

// One capture from request to destinations (clipboard, disk, printer). A
// request while a capture is being processed only shows "I'm Busy!".
void RunCapturePipeline(ShellState& shell);
// The "I'm Busy!" box every request and command gets while busy, and the
// box that refuses the end of the session. Neither waits for the user.
void ShowBusyBox();
void ShowSessionEndRefusal();
// At the end of the run: closes the boxes still up and waits for them.
void EndNoticeBoxes();
// Frees the last capture's image and palette; both handles become null.
void DiscardLastCapture(ShellState& shell);
