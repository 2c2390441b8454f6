// The capture pipeline: what the main window does with each capture request.
#pragma once

#include <cstddef>

#include "shell/shell.h"

constexpr UINT kCaptureRequestMessage = WM_USER + 1;

// One capture from request to destinations (clipboard, disk, printer). A
// request while a capture is being processed only shows "I'm Busy!".
void RunCapturePipeline(ShellState& shell);

// The top-level windows of this thread that a capture or a countdown
// disabled, so that nothing open before it (Capture Setup, its Disk Saving
// Setup, a message box) changes or writes the settings meanwhile.
struct HeldWindows {
  HWND window[32];
  std::size_t count;
};
void HoldInput(const ShellState& shell, HeldWindows* held);
// Enables them again; a window gone meanwhile is skipped.
void ReleaseInput(HeldWindows* held);
// The "I'm Busy!" box every request and command gets while busy, and the
// box that refuses the end of the session. Neither waits for the user.
void ShowBusyBox();
void ShowSessionEndRefusal();
// At the end of the run: closes the boxes still up and waits for them.
void EndNoticeBoxes();
// Frees the last capture's image and palette; both handles become null.
void DiscardLastCapture(ShellState& shell);

// The clipboard's PNG, offered by delayed rendering: made for
// WM_RENDERFORMAT, and for WM_RENDERALLFORMATS and at the end while the
// clipboard is still ours, so that it outlives the program; its source goes
// once it is rendered, on WM_DESTROYCLIPBOARD and at the end.
void RenderClipboardFormat(ShellState& shell, UINT format);
void RenderAllClipboardFormats(ShellState& shell);
void ReleaseClipboardImage(ShellState& shell);
