// The status window. Its procedure is a short switch over small handlers;
// all its state is in one record, since one window exists per run.
#include "shell/status_window.h"

#include <cstdio>

#include "capture/monitor_geometry.h"
#include "capture/monitors_win.h"
#include "imaging/gdi_guards_win.h"
#include "platform/progress_win.h"

namespace {

constexpr char kClassName[] = "Status";
constexpr int kWidth = 270;
constexpr int kHeight = 128;
constexpr int kCancelId = 2;
constexpr RECT kTextLine = {8, 4, 260, 27};
constexpr RECT kPercentText = {14, 32, 254, 50};

struct StatusWindowState {
  HWND window;
  int dpi;  // the layout below is drawn for 96 and scaled to this
  HWND button;
  HWND owner;
  WNDPROC buttonProc;
  const char* text;
  bool shown;
  int percent;
  int filledRight;
  DWORD advancedAt;  // when the bar last grew
};

StatusWindowState g_status = {nullptr, 96, nullptr, nullptr, nullptr, "", false, 0, StatusBarRight(0), 0};

// A writer reports a step every few rows, a hundred in a few milliseconds,
// and each repaint costs the better part of a millisecond under Wine. A step
// smaller than kSmallAdvance waits until kAdvanceGapMs have passed since the
// bar last grew; larger steps (a print job's) and the end always show, so a
// long step never sits behind a stale bar.
constexpr DWORD kAdvanceGapMs = 40;
constexpr int kSmallAdvance = 10;

// The program is DPI aware, so the system no longer enlarges this window on
// a scaled display while its caption and text grow: unscaled, the Cancel
// button fell off the bottom at 200%. Every layout figure goes through here;
// at 96 it is the figure itself.
int Scaled(int v) { return MulDiv(v, g_status.dpi, 96); }
RECT Scaled(const RECT& r) { return {Scaled(r.left), Scaled(r.top), Scaled(r.right), Scaled(r.bottom)}; }

int ScreenDpi() {
  WindowDc screen(nullptr);
  const int dpi = screen.get() != nullptr ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
  return dpi > 0 ? dpi : 96;
}

// 50, 75 in the owner's client area, kept wholly on the screen. The program's
// main window is an icon, and a minimised window on Windows sits at
// -32000, -32000: its client point is far off every side. The area is the
// work area of the monitor the user is working on, the foreground window's
// (else the monitor under the point, the primary one when the point is on
// none), so the taskbar does not cover the Cancel button either; each axis
// is kept within it as KeepSpanWithin says.
POINT Placement() {
  POINT p = {Scaled(50), Scaled(75)};
  ClientToScreen(g_status.owner, &p);
  RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  HWND front = GetForegroundWindow();
  HMONITOR working = front != nullptr ? MonitorFromWindow(front, MONITOR_DEFAULTTONULL) : nullptr;
  if (working == nullptr) working = MonitorFromPoint(p, MONITOR_DEFAULTTOPRIMARY);
  monitors_win::WorkAreaOf(working, &area);
  p.x = KeepSpanWithin(p.x, Scaled(kWidth), area.left, area.right);
  p.y = KeepSpanWithin(p.y, Scaled(kHeight), area.top, area.bottom);
  return p;
}

void DrawTextLine(HDC dc) {
  RECT line = Scaled(kTextLine);
  FillRect(dc, &line, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
  DrawTextA(dc, g_status.text ? g_status.text : "", -1, &line, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
}

void RestoreColours(HDC dc, int oldMode) {
  SetBkMode(dc, oldMode);
  SetBkColor(dc, GetSysColor(COLOR_WINDOW));
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
}

void Line(HDC dc, int x1, int y1, int x2, int y2) {
  MoveToEx(dc, Scaled(x1), Scaled(y1), nullptr);
  LineTo(dc, Scaled(x2), Scaled(y2));
}

LRESULT OnPaint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  SetTextColor(dc, RGB(0, 0, 0));
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  RECT empty = Scaled(RECT{g_status.filledRight + 1, 31, 254, 51});
  if (empty.left < empty.right) FillRect(dc, &empty, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  DrawTextLine(dc);
  {
    // The sunken frame: light edges right and below, dark edges left and above.
    GdiObject<HPEN> white(CreatePen(PS_SOLID, Scaled(1), RGB(255, 255, 255)));
    GdiObject<HPEN> grey(CreatePen(PS_SOLID, Scaled(1), RGB(128, 128, 128)));
    Selection pen(dc, white.get());
    Line(dc, 12, 52, 256, 52);
    Line(dc, 11, 53, 257, 53);
    Line(dc, 255, 52, 255, 31);
    Line(dc, 256, 53, 256, 30);
    SelectObject(dc, grey.get());
    Line(dc, 11, 30, 257, 30);
    Line(dc, 12, 31, 256, 31);
    Line(dc, 11, 30, 11, 53);
    Line(dc, 12, 31, 12, 52);
  }
  RECT filled = Scaled(RECT{13, 31, g_status.filledRight, 51});
  if (filled.left < filled.right) FillRect(dc, &filled, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
  char percent[8];
  std::snprintf(percent, sizeof percent, "%d%%", g_status.percent);
  RECT percentArea = Scaled(kPercentText);
  DrawTextA(dc, percent, -1, &percentArea, DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_NOCLIP);
  RestoreColours(dc, oldMode);
  EndPaint(window, &ps);
  return 0;
}

LRESULT OnEraseBackground(HWND window, HDC dc) {
  RECT r;
  if (GetClipBox(dc, &r) == ERROR) GetClientRect(window, &r);
  Selection brush(dc, GetStockObject(LTGRAY_BRUSH));
  PatBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, PATCOPY);
  return 1;
}

LRESULT OnProgress(HWND window, int p) {
  // Enter and Esc must reach the Cancel button while an operation runs.
  if (GetActiveWindow() == g_status.owner && g_status.owner != nullptr) {
    SetActiveWindow(window);
    SetFocus(g_status.button);
  }
  if (GetFocus() == window) SetFocus(g_status.button);
  if (p == g_status.percent) return 0;
  if (p < g_status.percent) {
    g_status.filledRight = StatusBarRight(p);
    InvalidateRect(window, nullptr, FALSE);
    g_status.percent = p;
    return 0;
  }
  if (p > 100) return 0;
  const DWORD now = GetTickCount();
  if (p < 100 && p - g_status.percent < kSmallAdvance && now - g_status.advancedAt < kAdvanceGapMs) return 0;
  g_status.advancedAt = now;
  const int newRight = StatusBarRight(p);
  RECT strip = Scaled(RECT{g_status.filledRight, 32, newRight, 51});
  InvalidateRect(window, &strip, FALSE);
  g_status.filledRight = newRight;
  RECT percentArea = Scaled(kPercentText);
  InvalidateRect(window, &percentArea, FALSE);
  g_status.percent = p;
  return 0;
}

// Wine puts what a thread painted on the screen only when the thread next
// looks for messages, or 50 ms after it last did; a save that never drains
// its queue would leave the window showing what it showed the time before.
// A zero wait for no input is such a look, and costs nothing on Windows.
void PresentNow() { MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, 0); }

LRESULT OnTextChanged(HWND window) {
  {
    WindowDc dc(window);
    if (dc.get() == nullptr) return 0;
    SetTextColor(dc.get(), RGB(0, 0, 0));
    const int oldMode = SetBkMode(dc.get(), TRANSPARENT);
    DrawTextLine(dc.get());
    RestoreColours(dc.get(), oldMode);
  }
  PresentNow();
  return 0;
}

// The press is recorded for the operation shown now; the message only wakes
// the operation's pump, and tells it which operation it belongs to.
void OnCancel() {
  const std::uint32_t operation = PressCancel(StatusCancelBook());
  if (operation != 0) PostMessageA(g_status.owner, kCancelMessage, operation, 0);
}

// Cancel messages still queued belong to an operation that has ended.
void DropQueuedCancels() {
  MSG msg;
  while (g_status.owner != nullptr &&
         PeekMessageA(&msg, g_status.owner, kCancelMessage, kCancelMessage, PM_REMOVE | PM_NOYIELD)) {
  }
}

LRESULT CALLBACK StatusWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kProgressMessage:
      return OnProgress(window, static_cast<int>(wParam));
    case kStatusTextMessage:
      return OnTextChanged(window);
    case WM_PAINT:
      return OnPaint(window);
    case WM_ERASEBKGND:
      return OnEraseBackground(window, reinterpret_cast<HDC>(wParam));
    case WM_COMMAND:
      if (wParam == kCancelId) OnCancel();
      return 0;
    case WM_CLOSE:
      MessageBeep(0xFFFFFFFF);
      return 0;
    case WM_SHOWWINDOW:
      // The system shows owned pop-ups with their owner; this one appears
      // only when an operation shows it.
      if (!g_status.shown) return 0;
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK CancelButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  // Pressed at once rather than posted, so that it counts for the operation
  // shown now; a held key presses once.
  if (message == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE) &&
      CancelKeyPresses(static_cast<std::uint32_t>(lParam))) {
    OnCancel();
  }
  return CallWindowProcA(g_status.buttonProc, button, message, wParam, lParam);
}

}  // namespace

BOOL RegisterStatusClass(HINSTANCE instance) {
  WNDCLASSA wc{};
  wc.style = CS_SAVEBITS;
  wc.lpfnWndProc = StatusWindowProc;
  wc.hInstance = instance;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kClassName;
  return RegisterClassA(&wc) != 0;
}

HWND CreateStatusWindow(HWND owner, HINSTANCE instance, const char* caption, const char* buttonText) {
  g_status.owner = owner;
  g_status.dpi = ScreenDpi();
  const POINT at = Placement();
  g_status.window = CreateWindowExA(0, kClassName, caption, WS_POPUP | WS_CAPTION, at.x, at.y, Scaled(kWidth),
                                    Scaled(kHeight), owner, nullptr, instance, nullptr);
  if (g_status.window == nullptr) return nullptr;
  g_status.button = CreateWindowExA(0, "Button", buttonText, WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, Scaled(102),
                                    Scaled(63), Scaled(66), Scaled(26), g_status.window, reinterpret_cast<HMENU>(kCancelId), instance, nullptr);
  g_status.buttonProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(g_status.button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CancelButtonProc)));
  return g_status.window;
}

void ShowStatus(const char* text) {
  if (g_status.window == nullptr) return;
  const POINT at = Placement();
  MoveWindow(g_status.window, at.x, at.y, Scaled(kWidth), Scaled(kHeight), FALSE);
  g_status.text = text;
  g_status.shown = true;
  BeginOperation(StatusCancelBook());
  DropQueuedCancels();
  // The bar starts empty for the operation about to run, not full from the
  // last one: a short operation may never drain the queue before it ends.
  g_status.percent = 0;
  g_status.filledRight = StatusBarRight(0);
  g_status.advancedAt = GetTickCount() - kAdvanceGapMs;
  // Shown active only when this program is the one in front. A capture runs
  // while another application has the keyboard, and its keys stay there:
  // activating the window here would change nothing on Windows, where a
  // program in the background cannot take the foreground, but under Wine it
  // moves X's input focus to this thread and leaves it there after the
  // window hides, so the user's typing goes nowhere.
  HWND front = GetForegroundWindow();
  const bool inFront = front != nullptr && GetWindowThreadProcessId(front, nullptr) == GetCurrentThreadId();
  ShowWindow(g_status.window, inFront ? SW_RESTORE : SW_SHOWNOACTIVATE);
  ShowWindow(g_status.button, SW_SHOWNOACTIVATE);
  // All of it, whatever the system believes it kept from the last showing.
  RedrawWindow(g_status.window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PresentNow();
}

void HideStatus() {
  g_status.shown = false;
  EndOperation(StatusCancelBook());
  DropQueuedCancels();
  if (g_status.window == nullptr) return;
  ShowWindow(g_status.button, SW_HIDE);
  ShowWindow(g_status.window, SW_HIDE);
}

void DestroyStatusWindow(HWND owner) {
  const HWND focus = GetFocus();
  const bool hadFocus = focus != nullptr && (focus == g_status.window || focus == g_status.button);
  if (g_status.button != nullptr) DestroyWindow(g_status.button);
  if (g_status.window != nullptr) DestroyWindow(g_status.window);
  if (hadFocus) SetFocus(owner);
  g_status.button = nullptr;
  g_status.window = nullptr;
}

ProgressChannel* StatusChannel() { return reinterpret_cast<ProgressChannel*>(g_status.window); }
