// The monitors and the virtual screen as the system reports them, for both
// binaries (user32 only, no state: SBHOOK32 runs this inside other programs).
// The caller's thread must be DPI aware per monitor, so that every rectangle
// is in physical pixels.
#pragma once

#include <windows.h>

#include "capture/monitor_geometry.h"

namespace monitors_win {

inline CaptureRectangle FromRect(const RECT& r) { return CaptureRectangle{r.left, r.top, r.right, r.bottom}; }

inline BOOL CALLBACK AddListedMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(monitor, &info)) {
    AddToMonitorTable(reinterpret_cast<MonitorTable*>(data), FromRect(info.rcMonitor));
  }
  return TRUE;
}

// The monitor's work area (without the taskbar); false when the system
// cannot say.
inline bool WorkAreaOf(HMONITOR monitor, RECT* work) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (monitor == nullptr || !GetMonitorInfoA(monitor, &info)) return false;
  *work = info.rcWork;
  return true;
}

}  // namespace monitors_win

// Every monitor attached now. Where none can be listed, the primary screen
// (0, 0, width, height) stands in, as the one screen it was before monitors
// could be listed.
inline void ListMonitors(MonitorTable* table) {
  *table = MonitorTable{};
  EnumDisplayMonitors(nullptr, nullptr, monitors_win::AddListedMonitor, reinterpret_cast<LPARAM>(table));
  if (table->count > 0) return;
  const CaptureRectangle screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  AddToMonitorTable(table, screen);
}

// The rectangle holding every monitor; the primary screen where the system
// has no virtual screen metrics.
inline CaptureRectangle VirtualScreen() {
  const int cx = GetSystemMetrics(SM_CXVIRTUALSCREEN), cy = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (cx <= 0 || cy <= 0) {
    return CaptureRectangle{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  return VirtualScreenRect(GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), cx, cy);
}
