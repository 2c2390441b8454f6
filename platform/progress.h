// Progress and cancel for long operations. On Windows a channel is the status
// window: percentages go to it as the progress message, and the cancel
// message its Cancel button posts is looked for while draining the thread's
// queue. A null channel means "no status window": nothing is sent or drained.
#pragma once

struct ProgressChannel;  // opaque; the status window's HWND on Windows

constexpr unsigned kProgressMessage = 0x401;  // WM_USER + 1, sent to the status window
constexpr unsigned kCancelMessage = 0x402;    // WM_USER + 2, posted to the main window

void SendProgress(ProgressChannel* channel, unsigned percent);
// Drains every queued message of the thread, dispatching each; true when the
// cancel message was among them.
bool DrainAndCheckCancel(ProgressChannel* channel);
