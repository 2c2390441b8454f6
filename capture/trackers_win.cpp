// The selection trackers' hook procedures and their feedback. The decisions
// (which event acts, the corners, the box, the readout's text and place, the
// frame's bars) are in selection.cpp; these procedures read the pointer, ask
// them, draw and publish. Everything they keep is in the shared section,
// since each call may come from a different application's process.
#include "capture/trackers_win.h"

#include <cstdio>
#include <cstring>

#include "capture/monitor_geometry.h"
#include "capture/monitors_win.h"
#include "capture/sbhook32.h"
#include "capture/selection.h"
#include "capture/shared_state_win.h"
#include "capture/window_frame_win.h"
#include "imaging/gdi_guards_win.h"

namespace {

// A cursor is loaded in the process that sets it, from that process's own
// copy of the library: a cursor handle made in SHOTBOX need not be usable in
// the application whose thread runs the hook. Loaded once per process, with
// no function-local statics: their guards would bring the C++ runtime's
// exception support into the library, and two threads loading a cursor at
// once both get the same shared handle anyway.
HCURSOR g_crossCursor = nullptr;
HCURSOR g_moveCursor = nullptr;

HCURSOR LoadedCursor(HCURSOR& cursor, const char* name) {
  if (cursor == nullptr) cursor = LoadCursorA(LibraryModule(), name);
  return cursor;
}

HCURSOR CrossCursorHere() { return LoadedCursor(g_crossCursor, "CROSS"); }

HCURSOR MoveCursorHere() { return LoadedCursor(g_moveCursor, "MOVE"); }

void ShowTrackerCursor(HCURSOR cursor) {
  SetCursor(cursor);
  EnsureCursorShown();
}

// InHook for one hook call. A call that finds it taken is swallowed and
// ignored, whatever it is: another thread is drawing.
class TrackerEntry {
 public:
  TrackerEntry() : entered_(TryEnterTracker(g_state.InHook)) {}
  ~TrackerEntry() { Leave(); }
  TrackerEntry(const TrackerEntry&) = delete;
  TrackerEntry& operator=(const TrackerEntry&) = delete;
  bool entered() const { return entered_; }
  void Leave() {
    if (entered_) LeaveTracker(g_state.InHook);
    entered_ = false;
  }

 private:
  bool entered_;
};

// The guard is let go first: the next hooks may take their time. They run
// with the application's own DPI awareness.
LRESULT PassOn(TrackerEntry& entry, PhysicalPixels& pixels, int code, WPARAM wParam, LPARAM lParam) {
  entry.Leave();
  pixels.Restore();
  return CallNextHookEx(FromState<HHOOK>(g_state.TrackerHookHandle), code, wParam, lParam);
}

// Positions are always read from the system, never from the hook data.
CapturePoint PointerOnScreen() {
  POINT p{};
  GetCursorPos(&p);
  return ClampToArea(CapturePoint{p.x, p.y}, VirtualScreen());
}

void DrawCurrentBand() {
  DrawSizeBand(g_state.Anchor.x, g_state.Anchor.y, g_state.Current.x, g_state.Current.y);
}

// An outline through the corners with every pixel inverted (R2_NOT), each
// once: LineTo leaves out a line's last point, which is the next line's
// first (see OutlinePath).
void InvertOutline(HDC dc, int x1, int y1, int x2, int y2) {
  CapturePoint path[kOutlinePoints];
  const int n = OutlinePath(Band{{x1, y1}, {x2, y2}}, path);
  if (n == 0) return;
  GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
  Selection selected(dc, pen.get());
  const int previousMix = SetROP2(dc, R2_NOT);
  MoveToEx(dc, path[0].x, path[0].y, nullptr);
  for (int i = 1; i < n; ++i) LineTo(dc, path[i].x, path[i].y);
  SetROP2(dc, previousMix);
}

// The readout's glyphs invert the screen and the pixels around them stay:
// the text is written white on black into a monochrome bitmap, whose 1 bits
// become the screen context's background colour (white) and its 0 bits the
// text colour (black) when it is combined with the screen by XOR. Without
// the bitmap the outline stands alone.
void InvertReadout(HDC screen, const Band& band) {
  char text[kReadoutSize];
  FormatReadout(band, text, sizeof text);
  const int length = static_cast<int>(std::strlen(text));
  SIZE size{};
  if (!GetTextExtentPoint32A(screen, text, length, &size) || size.cx <= 0 || size.cy <= 0) return;
  OwnedDc memory(CreateCompatibleDC(screen));
  GdiObject<HBITMAP> bitmap(CreateBitmap(size.cx, size.cy, 1, 1, nullptr));
  if (memory.get() == nullptr || bitmap.get() == nullptr) return;
  Selection selected(memory.get(), bitmap.get());
  if (!selected.ok()) return;
  Selection font(memory.get(), GetCurrentObject(screen, OBJ_FONT));
  SetTextColor(memory.get(), RGB(255, 255, 255));
  SetBkColor(memory.get(), RGB(0, 0, 0));
  const RECT whole{0, 0, size.cx, size.cy};
  ExtTextOutA(memory.get(), 0, 0, ETO_OPAQUE, &whole, text, static_cast<UINT>(length), nullptr);
  SetTextColor(screen, RGB(0, 0, 0));
  SetBkColor(screen, RGB(255, 255, 255));
  // On the pointer's monitor: a band across an edge would otherwise centre
  // it on the other monitor or in a gap between them.
  MonitorTable monitors;
  ListMonitors(&monitors);
  const CapturePoint at = ReadoutOriginOnMonitor(band, size.cx, size.cy, monitors);
  BitBlt(screen, at.x, at.y, size.cx, size.cy, memory.get(), 0, 0, SRCINVERT);
}

void SelectionEventName(char* name, std::size_t size) {
  std::snprintf(name, size, "Pictrap.SelectionEnded.%08X", static_cast<unsigned>(g_state.NotifyWindow));
}

// The feedback is drawn on a display context: the whole screen, over every
// window, whichever process draws. The screen's window context (GetDC of no
// window) is the desktop window's, and in the thread that owns the desktop
// window it is clipped by every window on it; a tracker runs there whenever
// the pointer is over the bare desktop (under Wine the desktop belongs to a
// process of its own), and its half-drawn feedback, erased in full by the
// next application, would leave inverted pixels behind.
//
// Such a context counts from the primary monitor's corner on Windows but from
// the virtual screen's corner under Wine, where a monitor left of or above
// the primary put every band that far from the pointer. Its clip box tells
// where it counts from, and its window origin makes it count as the screen
// does.
HDC OpenScreen() {
  HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  RECT clip{};
  if (screen != nullptr && GetClipBox(screen, &clip) != ERROR) {
    const CaptureRectangle desktop = VirtualScreen();
    SetWindowOrgEx(screen, desktop.left - clip.left, desktop.top - clip.top, nullptr);
  }
  return screen;
}

// The grab starts as soon as the flag is seen, in another process, so what
// this thread erased must be on the screen first: GDI may batch a thread's
// drawing and a display server may still hold it in this connection's queue
// (under Wine, an X connection). Reading a pixel back waits for both.
void SettleScreen() {
  GdiFlush();
  OwnedDc screen(OpenScreen());
  if (screen.get() != nullptr) GetPixel(screen.get(), 0, 0);
}

// CaptureRect is written and the feedback erased; the flag, then the wake-up.
void EndSelection() {
  SettleScreen();
  PublishSelection(g_state);
  SignalSelectionEnded();
}

bool InstallTracker(HOOKPROC procedure) {
  RemoveTracker();
  HHOOK hook = SetWindowsHookExA(WH_MOUSE, procedure, LibraryModule(), 0);
  g_state.TrackerHookHandle = ToState(hook);
  return hook != nullptr;
}

}  // namespace

void EnsureCursorShown() {
  if (ShowCursor(TRUE) > 0) ShowCursor(FALSE);
}

bool InstallAreaTracker() { return InstallTracker(MouseHookArea); }

bool InstallObjectTracker() {
  if (!InstallTracker(MouseHookObject)) return false;
  HWND picked = WindowAtCursor();
  g_state.PickedWindow = ToState(picked);
  InvertWindowFrame(picked);
  return true;
}

bool InstallBoxTracker() { return InstallTracker(MouseHookBox); }

void RemoveTracker() {
  if (g_state.TrackerHookHandle == 0) return;
  UnhookWindowsHookEx(FromState<HHOOK>(g_state.TrackerHookHandle));
  g_state.TrackerHookHandle = 0;
}

HANDLE CreateSelectionEndedEvent() {
  char name[64];
  SelectionEventName(name, sizeof name);
  return CreateEventA(nullptr, FALSE, FALSE, name);
}

void SignalSelectionEnded() {
  char name[64];
  SelectionEventName(name, sizeof name);
  const KernelHandle event(OpenEventA(EVENT_MODIFY_STATE, FALSE, name));
  if (event.get() != nullptr) SetEvent(event.get());
}

TrackerHold::TrackerHold(DWORD timeoutMs) : held_(TryEnterTracker(g_state.InHook)) {
  const DWORD start = GetTickCount();
  while (!held_ && GetTickCount() - start < timeoutMs) {
    Sleep(1);
    held_ = TryEnterTracker(g_state.InHook);
  }
}

void TrackerHold::Release() {
  if (held_) LeaveTracker(g_state.InHook);
  held_ = false;
}

void DrawSizeBand(int x1, int y1, int x2, int y2) {
  OwnedDc screen(OpenScreen());
  if (screen.get() == nullptr) return;
  InvertOutline(screen.get(), x1, y1, x2, y2);
  InvertReadout(screen.get(), Band{{x1, y1}, {x2, y2}});
}

void DrawBoxOutline() {
  OwnedDc screen(OpenScreen());
  if (screen.get() == nullptr) return;
  const CaptureRectangle& r = g_state.CaptureRect;
  InvertOutline(screen.get(), r.left, r.top, r.right, r.bottom);
}

// The bars go onto the screen at the window's place rather than through the
// window's own context: the frame is drawn and erased by
// whichever application owns the window under the pointer at the time, and
// a window context taken in one process for another process's window may
// draw nothing at all (so it is under Wine), which would leave a frame
// behind. On the screen the bars also cover any window lying over the
// picked one, which is what its capture will show.
void InvertWindowFrame(HWND window) {
  if (window == nullptr || !IsWindow(window)) return;
  CaptureRectangle r;
  if (!VisibleWindowFrame(window, &r)) return;
  Bar bars[4];
  const int n = FrameBars(RectWidth(r), RectHeight(r), bars);
  if (n == 0) return;
  OwnedDc screen(OpenScreen());
  if (screen.get() == nullptr) return;
  for (int i = 0; i < n; ++i) {
    PatBlt(screen.get(), r.left + bars[i].x, r.top + bars[i].y, bars[i].width, bars[i].height, DSTINVERT);
  }
}

HWND WindowAtCursor() {
  POINT at{};
  GetCursorPos(&at);
  HWND window = WindowFromPoint(at);
  if (window == nullptr) return nullptr;
  POINT client = at;
  ScreenToClient(window, &client);
  HWND child = ChildWindowFromPoint(window, client);
  return child != nullptr && IsWindowVisible(child) ? child : window;
}

extern "C" LRESULT WINAPI MouseHookArea(int code, WPARAM wParam, LPARAM lParam) {
  PhysicalPixels pixels;
  TrackerEntry entry;
  if (!entry.entered()) return 1;
  switch (AreaAction(g_state, ClassifyMouseMessage(static_cast<std::uint32_t>(wParam)))) {
    case TrackerAction::PassOn: return PassOn(entry, pixels, code, wParam, lParam);
    case TrackerAction::Swallow: return 1;
    case TrackerAction::Idle: ShowTrackerCursor(CrossCursorHere()); return 1;
    case TrackerAction::Follow:
      ShowTrackerCursor(CrossCursorHere());
      DrawCurrentBand();
      g_state.Current = PointerOnScreen();
      DrawCurrentBand();
      return 1;
    case TrackerAction::Start:
      StartArea(g_state, PointerOnScreen());
      ShowTrackerCursor(CrossCursorHere());
      DrawCurrentBand();  // a band of one pixel: only its readout shows
      return 1;
    case TrackerAction::Finish:
      DrawCurrentBand();  // erased before the flag: see EndSelection
      FinishArea(g_state);
      EndSelection();
      return 1;
  }
  return PassOn(entry, pixels, code, wParam, lParam);
}

// Guarded like the others: two threads moving the frame at once could each
// invert the same window and leave a frame behind.
extern "C" LRESULT WINAPI MouseHookObject(int code, WPARAM wParam, LPARAM lParam) {
  PhysicalPixels pixels;
  TrackerEntry entry;
  if (!entry.entered()) return 1;
  switch (ObjectAction(g_state, ClassifyMouseMessage(static_cast<std::uint32_t>(wParam)))) {
    case TrackerAction::Follow: {
      HWND under = WindowAtCursor();
      if (ToState(under) == g_state.PickedWindow) return 1;  // same window: the frame stays as it is
      InvertWindowFrame(FromState<HWND>(g_state.PickedWindow));
      // Pending paint goes first, so that it cannot land on the new frame.
      if (under != nullptr) UpdateWindow(under);
      InvertWindowFrame(under);
      g_state.PickedWindow = ToState(under);
      return 1;
    }
    case TrackerAction::Finish: {
      HWND picked = FromState<HWND>(g_state.PickedWindow);
      InvertWindowFrame(picked);
      // A window that has gone since it was framed gives nothing to capture,
      // never the rectangle of an earlier capture.
      CaptureRectangle frame;
      g_state.CaptureRect = VisibleWindowFrame(picked, &frame) ? frame : CaptureRectangle{0, 0, 0, 0};
      EndSelection();
      return 1;
    }
    default: return PassOn(entry, pixels, code, wParam, lParam);
  }
}

extern "C" LRESULT WINAPI MouseHookBox(int code, WPARAM wParam, LPARAM lParam) {
  PhysicalPixels pixels;
  TrackerEntry entry;
  if (!entry.entered()) return 1;
  switch (BoxAction(g_state, ClassifyMouseMessage(static_cast<std::uint32_t>(wParam)))) {
    case TrackerAction::Follow:
      ShowTrackerCursor(MoveCursorHere());
      DrawBoxOutline();
      MoveBox(g_state, PointerOnScreen());
      DrawBoxOutline();
      return 1;
    case TrackerAction::Finish:
      // CaptureRect holds the box where it was last drawn; CaptureScreen
      // erases it.
      EndSelection();
      return 1;
    default: return PassOn(entry, pixels, code, wParam, lParam);
  }
}
