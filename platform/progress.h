// Progress and cancel for long operations. On Windows a channel is the status
// window: percentages go to it as the progress message, and the cancel
// message its Cancel button posts is looked for while draining the thread's
// queue. A null channel means "no status window": nothing is sent or drained.
#pragma once

struct ProgressChannel;  // opaque; the status window's HWND on Windows

constexpr unsigned kProgressMessage = 0x401;  // WM_USER + 1, sent to the status window
constexpr unsigned kCancelMessage = 0x402;    // WM_USER + 2, posted to the main window

void SendProgress(ProgressChannel* channel, unsigned percent);
// Takes the thread's queued messages one by one, dispatching each, until the
// queue is empty (false) or the cancel message comes out (true; it is not
// dispatched, and what was queued behind it stays queued).
bool DrainAndCheckCancel(ProgressChannel* channel);
