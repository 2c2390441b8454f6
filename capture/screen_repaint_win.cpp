// The bounded repaint wait; see screen_repaint_win.h.
#include "capture/screen_repaint_win.h"

namespace {

// Long enough for a loaded machine to repaint, short enough that a hung
// application beneath cannot hold up the close for long.
constexpr DWORD kRepaintWaitMs = 500;
constexpr DWORD kRepaintPollMs = 5;

struct PaintQuery {
  RECT area;
  DWORD self;
  bool pending;
};

BOOL CALLBACK FindPendingPaint(HWND window, LPARAM lParam) {
  auto* query = reinterpret_cast<PaintQuery*>(lParam);
  RECT rect, overlap;
  if (!IsWindowVisible(window) || GetWindowThreadProcessId(window, nullptr) == query->self ||
      !GetWindowRect(window, &rect) || !IntersectRect(&overlap, &rect, &query->area)) {
    return TRUE;
  }
  if (GetUpdateRect(window, nullptr, FALSE)) {
    query->pending = true;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

// The windows beneath repaint in their own threads, and a capture that
// follows at once would take what just left the screen from a screen nobody
// has repainted yet: the viewer's last pixels when the hot key is pressed
// while it is up, the main window's icon in a Full Screen grab. The area is
// marked for repaint at once, and the wait lasts, bounded, until no other
// thread's window there still has part of it to paint. Only the other
// threads are waited for: this thread paints when it next looks at its queue.
void LetScreenRepaint(const RECT& area) {
  RedrawWindow(nullptr, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  const DWORD start = GetTickCount();
  for (;;) {
    PaintQuery query{area, GetCurrentThreadId(), false};
    HWND desktop = GetDesktopWindow();
    if (GetWindowThreadProcessId(desktop, nullptr) != query.self && GetUpdateRect(desktop, nullptr, FALSE)) {
      query.pending = true;
    } else {
      EnumWindows(FindPendingPaint, reinterpret_cast<LPARAM>(&query));
    }
    if (!query.pending || GetTickCount() - start >= kRepaintWaitMs) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, kRepaintPollMs, 0);
  }
}
