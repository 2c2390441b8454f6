// Progress through the status window and cancel through the thread's queue.
#include <windows.h>

#include "platform/progress.h"

void SendProgress(ProgressChannel* channel, unsigned percent) {
  if (channel != nullptr) SendMessageA(reinterpret_cast<HWND>(channel), kProgressMessage, percent, 0);
}

bool DrainAndCheckCancel(ProgressChannel* channel) {
  if (channel == nullptr) return false;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    // The operation stops at once; what is queued behind the cancel stays
    // for the message loop the operation returns to.
    if (msg.message == kCancelMessage) return true;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return false;
}
