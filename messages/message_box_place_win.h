// Message boxes on the monitor the user is working on. Both binaries show
// them (SHOTBOX its own, SBMSG32 the status sentences), on SHOTBOX's main
// thread or, for the notices given while it is busy, on short threads of
// their own; the system places a box by its owner, SHOTBOX's icon or its
// status window, not by the window the user works in.
#pragma once

#include <windows.h>

#include "capture/monitor_geometry.h"

namespace message_box_place {

struct State {
  HHOOK hook;
  HMONITOR target;  // the foreground window's monitor when the guard began
  bool placed;
};
// One per thread: the notice boxes come up on threads of their own while a
// box of the main thread may be up.
inline thread_local State g_placement = {nullptr, nullptr, false};

// Where the system put it when that is on the working monitor already (so
// that with one monitor a box that fits stays put), only pushed wholly into
// its work area; otherwise centred in that work area.
inline void MoveOntoTarget(HWND box) {
  if (g_placement.target == nullptr) return;
  RECT r;
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetWindowRect(box, &r) || !GetMonitorInfoA(g_placement.target, &info)) return;
  const RECT& w = info.rcWork;
  const int cx = r.right - r.left, cy = r.bottom - r.top;
  const bool there = MonitorFromWindow(box, MONITOR_DEFAULTTONULL) == g_placement.target;
  const int x = there ? KeepSpanWithin(r.left, cx, w.left, w.right) : CentreSpan(cx, w.left, w.right);
  const int y = there ? KeepSpanWithin(r.top, cy, w.top, w.bottom) : CentreSpan(cy, w.top, w.bottom);
  if (x != r.left || y != r.top) SetWindowPos(box, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The box is placed when it is first activated, as it is shown: it has its
// size by then. Only the first dialog-class window counts.
inline LRESULT CALLBACK PlaceOnActivation(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && !g_placement.placed) {
    HWND window = reinterpret_cast<HWND>(wParam);
    char name[8] = "";
    if (GetClassNameA(window, name, sizeof name) > 0 && lstrcmpA(name, "#32770") == 0) {
      g_placement.placed = true;
      MoveOntoTarget(window);
    }
  }
  return CallNextHookEx(g_placement.hook, code, wParam, lParam);
}

}  // namespace message_box_place

// A message box shown while this lives goes onto the foreground window's
// monitor. A guard made while another lives does nothing: the outer one
// places the box.
class MessageBoxPlacement {
 public:
  MessageBoxPlacement() {
    using namespace message_box_place;
    if (g_placement.hook != nullptr) return;
    HWND front = GetForegroundWindow();
    g_placement.target = front != nullptr ? MonitorFromWindow(front, MONITOR_DEFAULTTONULL) : nullptr;
    g_placement.placed = false;
    if (g_placement.target == nullptr) return;
    g_placement.hook = SetWindowsHookExA(WH_CBT, PlaceOnActivation, nullptr, GetCurrentThreadId());
    owner_ = g_placement.hook != nullptr;
  }
  ~MessageBoxPlacement() {
    using namespace message_box_place;
    if (!owner_) return;
    UnhookWindowsHookEx(g_placement.hook);
    g_placement = State{nullptr, nullptr, false};
  }
  MessageBoxPlacement(const MessageBoxPlacement&) = delete;
  MessageBoxPlacement& operator=(const MessageBoxPlacement&) = delete;

 private:
  bool owner_ = false;
};
