// Progress through the status window and cancel through the thread's queue.
#include "platform/progress_win.h"

#include <windows.h>

#include "platform/progress.h"

namespace {
CancelBook g_book = {0, 0, 0, 0};
}  // namespace

CancelBook& StatusCancelBook() { return g_book; }

void SendProgress(ProgressChannel* channel, unsigned percent) {
  if (channel != nullptr) SendMessageA(reinterpret_cast<HWND>(channel), kProgressMessage, percent, 0);
}

bool DrainAndCheckCancel(ProgressChannel* channel) {
  if (channel == nullptr) return false;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    // The cancel message carries the operation it was pressed in. This
    // operation's stops it at once; what is queued behind it stays for the
    // message loop the operation returns to. Another's is stale and dropped.
    if (msg.message == kCancelMessage) {
      if (msg.wParam == g_book.running && TakeCancel(g_book)) return true;
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  // The message may have gone to a nested message loop (a box shown while
  // the operation runs), which dispatched it to the main window; the record
  // of the press remains.
  return TakeCancel(g_book);
}
