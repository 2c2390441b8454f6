// Progress through the status window and cancel through the thread's queue.
#include <windows.h>

#include "platform/progress.h"

void SendProgress(ProgressChannel* channel, unsigned percent) {
  if (channel != nullptr) SendMessageA(reinterpret_cast<HWND>(channel), kProgressMessage, percent, 0);
}

bool DrainAndCheckCancel(ProgressChannel* channel) {
  if (channel == nullptr) return false;
  bool cancelled = false;
  MSG msg;
  // The queue is drained completely even after a cancel, so that paint and
  // input messages queued behind it are not left waiting for the next drain.
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == kCancelMessage) cancelled = true;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return cancelled;
}
