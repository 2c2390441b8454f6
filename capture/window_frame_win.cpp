// The visible frame: the compositor's extended frame bounds where dwmapi.dll
// gives them, else the window rectangle; the choice is ChooseWindowFrame's.
#include "capture/window_frame_win.h"

#include "capture/monitor_geometry.h"
#include "capture/monitors_win.h"
#include "platform/system_library_win.h"

namespace {

using DwmGetWindowAttributeProc = HRESULT(WINAPI*)(HWND, DWORD, void*, DWORD);
constexpr DWORD kExtendedFrameBounds = 9;  // DWMWA_EXTENDED_FRAME_BOUNDS

// dwmapi.dll is absent before Vista and may be under Wine, so it is looked
// up at run time, once per process: this runs inside whichever program owns
// the window under the pointer. Plain zero-initialised variables, no static
// constructor; two threads looking it up at once find the same function, so
// the race is harmless. The library is never freed: the function may be in
// use on another thread, and the process ends with it loaded anyway.
LONG g_dwmLookedUp = 0;
DwmGetWindowAttributeProc g_dwmGetWindowAttribute = nullptr;

DwmGetWindowAttributeProc DwmAttributeReader() {
  if (InterlockedCompareExchange(&g_dwmLookedUp, 0, 0) != 0) return g_dwmGetWindowAttribute;
  HMODULE dwm = LoadSystemLibrary("dwmapi.dll");
  if (dwm != nullptr) {
    g_dwmGetWindowAttribute =
        reinterpret_cast<DwmGetWindowAttributeProc>(reinterpret_cast<void*>(GetProcAddress(dwm, "DwmGetWindowAttribute")));
  }
  InterlockedExchange(&g_dwmLookedUp, 1);
  return g_dwmGetWindowAttribute;
}

}  // namespace

bool VisibleWindowFrame(HWND window, CaptureRectangle* frame) {
  RECT r;
  if (window == nullptr || !GetWindowRect(window, &r)) return false;
  WindowFrameFacts facts{monitors_win::FromRect(r), false, {}, false, false, {}};
  // A control inside a window has no frame of its own, and a maximised
  // child (an MDI document) is bounded by its parent, not by a work area.
  if ((GetWindowLongA(window, GWL_STYLE) & WS_CHILD) == 0) {
    RECT visible;
    const DwmGetWindowAttributeProc get = DwmAttributeReader();
    if (get != nullptr && SUCCEEDED(get(window, kExtendedFrameBounds, &visible, sizeof visible))) {
      facts.hasVisibleFrame = true;
      facts.visibleFrame = monitors_win::FromRect(visible);
    }
    if (IsZoomed(window)) {
      facts.maximised = true;
      RECT work;
      if (monitors_win::WorkAreaOf(MonitorFromWindow(window, MONITOR_DEFAULTTONULL), &work)) {
        facts.hasWorkArea = true;
        facts.workArea = monitors_win::FromRect(work);
      }
    }
  }
  *frame = ChooseWindowFrame(facts);
  return true;
}
