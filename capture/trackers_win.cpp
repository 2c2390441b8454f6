// The selection trackers in their plainest form: the selection itself, with
// no feedback drawn on the screen yet. Area takes a drag of the left button,
// Object the window under a left click, Defined Size a box that follows the
// pointer until a left click. All of it runs inside whichever process owns
// the window under the pointer, so every result goes to the shared state.
#include "capture/trackers_win.h"

#include "capture/sbhook32.h"
#include "capture/shared_state_win.h"

namespace {

bool InstallTracker(HOOKPROC procedure) {
  RemoveTracker();
  HHOOK hook = SetWindowsHookExA(WH_MOUSE, procedure, LibraryModule(), 0);
  g_state.TrackerHookHandle = ToState(hook);
  return hook != nullptr;
}

LRESULT PassOn(int code, WPARAM wParam, LPARAM lParam) {
  return CallNextHookEx(FromState<HHOOK>(g_state.TrackerHookHandle), code, wParam, lParam);
}

CapturePoint EventPoint(LPARAM lParam) {
  const auto* event = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam);
  return CapturePoint{event->pt.x, event->pt.y};
}

// The rectangle is written before the flag: CaptureScreen reads it only
// after seeing the flag set.
void CompleteSelection() { const_cast<volatile std::int32_t&>(g_state.SelectionDone) = 1; }

}  // namespace

bool InstallAreaTracker() { return InstallTracker(MouseHookArea); }
bool InstallObjectTracker() { return InstallTracker(MouseHookObject); }
bool InstallBoxTracker() { return InstallTracker(MouseHookBox); }

void RemoveTracker() {
  if (g_state.TrackerHookHandle == 0) return;
  UnhookWindowsHookEx(FromState<HHOOK>(g_state.TrackerHookHandle));
  g_state.TrackerHookHandle = 0;
}

void DrawBoxOutline() {}

extern "C" LRESULT WINAPI MouseHookArea(int code, WPARAM wParam, LPARAM lParam) {
  if (code < 0) return PassOn(code, wParam, lParam);
  const CapturePoint p = EventPoint(lParam);
  switch (wParam) {
    case WM_LBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
      g_state.Anchor = p;
      g_state.Current = p;
      g_state.Tracking = 1;
      return 1;
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
      if (g_state.Tracking != 0) g_state.Current = p;
      break;
    case WM_LBUTTONUP:
    case WM_NCLBUTTONUP:
      if (g_state.Tracking == 0) break;
      // Inclusive corners, whichever way the drag went.
      g_state.CaptureRect = CaptureRectangle{g_state.Anchor.x < p.x ? g_state.Anchor.x : p.x,
                                             g_state.Anchor.y < p.y ? g_state.Anchor.y : p.y,
                                             g_state.Anchor.x < p.x ? p.x : g_state.Anchor.x,
                                             g_state.Anchor.y < p.y ? p.y : g_state.Anchor.y};
      g_state.Tracking = 0;
      CompleteSelection();
      return 1;
    default:
      break;
  }
  return PassOn(code, wParam, lParam);
}

extern "C" LRESULT WINAPI MouseHookObject(int code, WPARAM wParam, LPARAM lParam) {
  if (code < 0 || (wParam != WM_LBUTTONDOWN && wParam != WM_NCLBUTTONDOWN)) return PassOn(code, wParam, lParam);
  const CapturePoint p = EventPoint(lParam);
  HWND picked = WindowFromPoint(POINT{p.x, p.y});
  RECT r{};
  if (picked == nullptr || !GetWindowRect(picked, &r)) return PassOn(code, wParam, lParam);
  g_state.PickedWindow = ToState(picked);
  g_state.CaptureRect = CaptureRectangle{r.left, r.top, r.right, r.bottom};
  CompleteSelection();
  return 1;
}

extern "C" LRESULT WINAPI MouseHookBox(int code, WPARAM wParam, LPARAM lParam) {
  if (code < 0) return PassOn(code, wParam, lParam);
  const CapturePoint p = EventPoint(lParam);
  // The box keeps the pointer at its anchor, its inclusive size fixed.
  const std::int32_t w = g_state.BoxWidth - 1, h = g_state.BoxHeight - 1;
  const std::int32_t left = p.x - g_state.Anchor.x, top = p.y - g_state.Anchor.y;
  switch (wParam) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
      g_state.CaptureRect = CaptureRectangle{left, top, left + w, top + h};
      break;
    case WM_LBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
      CompleteSelection();
      return 1;
    default:
      break;
  }
  return PassOn(code, wParam, lParam);
}
