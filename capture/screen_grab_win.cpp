// CaptureScreen: the rectangle for the mode, one BitBlt of it, the pointer,
// and one GetDIBits into a packed DIB. Every DC, bitmap and palette is held
// by a guard, so every exit path releases it.
#include "capture/screen_grab_win.h"

#include "capture/grab_geometry.h"
#include "capture/monitor_geometry.h"
#include "capture/monitors_win.h"
#include "capture/screen_repaint_win.h"
#include "capture/sbhook32.h"
#include "capture/selection.h"
#include "capture/shared_state_win.h"
#include "capture/trackers_win.h"
#include "capture/window_frame_win.h"
#include "imaging/dib.h"
#include "imaging/gdi_guards_win.h"
#include "messages/status.h"
#include "platform/memory.h"

namespace {

HWND NotifyWindow() { return FromState<HWND>(g_state.NotifyWindow); }

// Where this process's last grab was taken, for the viewer to show it on
// that monitor. The grab runs in the caller's process, so this is the
// caller's own (zero-initialised, not in the shared section).
CaptureRectangle g_lastGrab = {0, 0, 0, 0};
bool g_hasLastGrab = false;

void DrainThreadQueue() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

HCURSOR LibraryCursor(const char* name) { return LoadCursorA(LibraryModule(), name); }

void RestoreArrow() {
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  EnsureCursorShown();
}

// How long the wait for a selection sleeps at most between two looks at
// the shared flags, should no wake-up come.
constexpr DWORD kSelectionPollMs = 10;

// A tracker may still be in the middle of a hook call on another thread when
// the selection ends; it is given this long to finish drawing.
constexpr DWORD kTrackerDrawingWait = 250;

// Each row computes CaptureRect for one mode: 0, 802 when there is nothing
// to capture, 100 when the user abandoned the selection with Esc.
Status AreaRect() {
  g_state.CrossCursor = ToState(LibraryCursor("CROSS"));
  SetCapture(NotifyWindow());
  SetCursor(FromState<HCURSOR>(g_state.CrossCursor));
  EnsureCursorShown();
  ReleaseCapture();
  ResetSelection(g_state);
  g_state.Tracking = 0;
  if (!InstallAreaTracker()) return StatusEmptyCapture;
  WaitForSelection();
  RemoveTracker();
  TrackerHold settled(kTrackerDrawingWait);
  const bool completed = SelectionCompleted(g_state);
  // The tracker erases its band when it completes; a cancelled one leaves it.
  if (!completed && g_state.Tracking != 0) {
    DrawSizeBand(g_state.Anchor.x, g_state.Anchor.y, g_state.Current.x, g_state.Current.y);
  }
  g_state.Tracking = 0;
  settled.Release();
  if (completed) g_state.CaptureRect = InclusiveToExclusive(g_state.CaptureRect);
  RestoreArrow();
  return completed ? StatusOk : StatusCancelled;
}

// The main window is hidden so that the program stays out of its own
// picture, but hiding it is not enough: what lay beneath is repainted by
// other threads, later, so the grab waits (bounded) for them. A window that
// is not on the screen at all (minimised on current Windows) is left as it is,
// and nothing waits. True when the window was hidden.
bool HideForGrab() {
  HWND window = NotifyWindow();
  RECT r;
  if (g_state.HideForFullScreen == 0 || !IsWindowVisible(window) || !GetWindowRect(window, &r)) return false;
  if (!IsOnScreen(CaptureRectangle{r.left, r.top, r.right, r.bottom}, VirtualScreen())) return false;
  ShowWindow(window, SW_HIDE);
  LetScreenRepaint(r);
  return true;
}

// The window is hidden (and the queue drained before) by the caller, which
// shows it again after the grab.
Status FullScreenRect() {
  // Every monitor: the grab blackens what lies on none of them.
  g_state.CaptureRect = VirtualScreen();
  return StatusOk;
}

// With no foreground window there is no client area or window to take; the
// rectangle of an earlier capture would be a different window's.
Status ClientAreaRect() {
  HWND foreground = GetForegroundWindow();
  RECT client;
  if (foreground == nullptr || !GetClientRect(foreground, &client)) return StatusEmptyCapture;
  POINT topLeft{client.left, client.top}, bottomRight{client.right, client.bottom};
  if (!ClientToScreen(foreground, &topLeft) || !ClientToScreen(foreground, &bottomRight)) {
    return StatusEmptyCapture;
  }
  g_state.CaptureRect = CaptureRectangle{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
  return StatusOk;
}

Status WindowRect() {
  CaptureRectangle frame;
  if (!VisibleWindowFrame(GetForegroundWindow(), &frame)) return StatusEmptyCapture;
  g_state.CaptureRect = frame;
  return StatusOk;
}

// The first frame is drawn while the trackers are held off, so that no move
// arriving meanwhile can frame a second window.
Status ObjectRect() {
  {
    ResetSelection(g_state);
    TrackerHold held(kTrackerDrawingWait);
    g_state.PickedWindow = 0;
    if (!InstallObjectTracker()) return StatusEmptyCapture;
  }
  WaitForSelection();
  RemoveTracker();
  TrackerHold settled(kTrackerDrawingWait);
  if (SelectionCompleted(g_state)) return StatusOk;  // the tracker took its frame away
  InvertWindowFrame(FromState<HWND>(g_state.PickedWindow));
  g_state.PickedWindow = 0;
  return StatusCancelled;
}

// The box is drawn while the trackers are held off: the move that setting
// the pointer causes must not reach a tracker before the box is on screen.
Status DefinedSizeRect() {
  {
    ResetSelection(g_state);
    TrackerHold held(kTrackerDrawingWait);
    if (!InstallBoxTracker()) return StatusEmptyCapture;
    g_state.CaptureRect = BoxStartRect(g_state.BoxWidth, g_state.BoxHeight);
    g_state.Anchor = BoxAnchor(g_state.BoxWidth, g_state.BoxHeight);
    SetCursor(LibraryCursor("MOVE"));
    SetCursorPos(g_state.Anchor.x, g_state.Anchor.y);
    EnsureCursorShown();
    DrawBoxOutline();
  }
  WaitForSelection();
  RemoveTracker();
  TrackerHold settled(kTrackerDrawingWait);
  DrawBoxOutline();  // drawn by inversion: the second drawing erases it
  settled.Release();
  const bool completed = SelectionCompleted(g_state);
  if (completed) g_state.CaptureRect = InclusiveToExclusive(g_state.CaptureRect);
  RestoreArrow();
  return completed ? StatusOk : StatusCancelled;
}

struct ModeRow {
  std::uint16_t mode;
  Status (*computeRect)();
};

constexpr ModeRow kModeTable[] = {
    {ModeArea, AreaRect},         {ModeFullScreen, FullScreenRect}, {ModeClientArea, ClientAreaRect},
    {ModeWindow, WindowRect},     {ModeObject, ObjectRect},         {ModeDefinedSize, DefinedSizeRect},
};

// A mode outside the table computes nothing: the grab takes CaptureRect as
// the previous capture left it (all zero at first, which is empty).
Status ComputeCaptureRect(std::uint16_t mode) {
  for (const ModeRow& row : kModeTable) {
    if (row.mode == mode) return row.computeRect();
  }
  return StatusOk;
}

// The pointer on screen now. GetCursorInfo sees the shape another
// application set; where its handle cannot be read from this process, the
// thread's own cursor (what setting the wait cursor returns) stands in, and
// the arrow when this thread has none.
HCURSOR CurrentPointer(ICONINFO* info) {
  CURSORINFO ci{};
  ci.cbSize = sizeof ci;
  const bool read = GetCursorInfo(&ci) != FALSE;
  // Hidden by the application under it (an editor while typing, a player on
  // the whole screen): what the user sees has no pointer, nor does the picture.
  if (!PointerShowing(read, ci.flags)) return nullptr;
  if (read && ci.hCursor != nullptr && GetIconInfo(ci.hCursor, info)) return ci.hCursor;
  HCURSOR own = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  SetCursor(own);
  if (own != nullptr && GetIconInfo(own, info)) return own;
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  return arrow != nullptr && GetIconInfo(arrow, info) ? arrow : nullptr;
}

void DrawPointer(HDC memory, const CaptureRectangle& clipped) {
  POINT at;
  if (!GetCursorPos(&at)) return;
  ICONINFO info{};
  HCURSOR cursor = CurrentPointer(&info);
  if (cursor == nullptr) return;
  // GetIconInfo hands out copies of the cursor's bitmaps.
  GdiObject<HBITMAP> mask(info.hbmMask), colour(info.hbmColor);
  const CapturePoint p = PointerDrawPosition(CapturePoint{at.x, at.y}, clipped,
                                             static_cast<std::int32_t>(info.xHotspot),
                                             static_cast<std::int32_t>(info.yHotspot));
  DrawIcon(memory, p.x, p.y, cursor);
}

// What lies between monitors is no picture of anything; the display may
// hand out stale or undefined pixels there.
void BlackenGaps(HDC memory, const CaptureRectangle& clipped, const MonitorTable& monitors) {
  CaptureRectangle gaps[kMaxUncoveredParts];
  const int n = UncoveredParts(clipped, monitors, gaps, kMaxUncoveredParts);
  for (int i = 0; i < n; ++i) {
    PatBlt(memory, gaps[i].left - clipped.left, gaps[i].top - clipped.top, RectWidth(gaps[i]), RectHeight(gaps[i]),
           BLACKNESS);
  }
}

// The palette the DIB's colours are read through: a copy of the system
// palette on a 256-colour display, the default palette otherwise. The guard
// holds only a palette made here.
Status ChoosePalette(GdiObject<HPALETTE>& created) {
  WindowDc screen;
  if (GetDeviceCaps(screen.get(), SIZEPALETTE) != 256) return StatusOk;
  MemOwner buffer(MemAlloc(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY)));
  if (buffer.get() == nullptr) return StatusNoMemory;
  MemLockGuard lock(buffer.get());
  if (lock.data() == nullptr) return StatusNoMemory;
  auto* log = reinterpret_cast<LOGPALETTE*>(lock.data());
  GetSystemPaletteEntries(screen.get(), 0, 256, log->palPalEntry);
  log->palVersion = 0x300;
  log->palNumEntries = 256;
  created.reset(CreatePalette(log));
  return StatusOk;
}

// Showing a hidden icon with SW_SHOWNOACTIVATE would restore it first, and
// a window that refuses to open then takes the activation from the
// application the user is working in; an icon is shown as an icon.
void ShowAgainWithoutActivation(HWND window) {
  ShowWindow(window, IsIconic(window) ? SW_SHOWMINNOACTIVE : SW_SHOWNOACTIVATE);
}

WORD CaptureWhileBusy(HGLOBAL* dib) {
  const std::uint16_t mode = g_state.Mode;
  bool hidden = false;
  if (mode == ModeFullScreen) {
    DrainThreadQueue();
    hidden = HideForGrab();
  }
  const Status selected = ComputeCaptureRect(mode);
  if (selected == StatusCancelled) return selected;  // nothing is grabbed
  const CaptureRectangle r = g_state.CaptureRect;
  HBITMAP grabbed = nullptr;
  const WORD grab = selected == StatusOk ? GrabScreenRect(r.left, r.top, r.right, r.bottom, &grabbed) : selected;
  if (hidden) ShowAgainWithoutActivation(NotifyWindow());
  GdiObject<HBITMAP> bitmap(grabbed);
  if (grab != StatusOk) return grab;
  if (bitmap.get() == nullptr) return StatusEmptyCapture;
  HGLOBAL made = nullptr;
  const WORD converted = BitmapToPackedDib(bitmap.get(), &made);
  if (converted != StatusOk) return converted;
  *dib = made;
  return StatusOk;
}

}  // namespace

void WaitForSelection() {
  // The tracker runs in whatever process owns the window under the pointer
  // and signals through the shared flags; its event wakes this thread at
  // once, and without it the flags are looked at every 10 ms. Messages of
  // our own are dispatched as they come, the flags tested after each.
  const KernelHandle ended(CreateSelectionEndedEvent());
  HANDLE handles[1] = {ended.get()};
  const DWORD count = ended.get() != nullptr ? 1 : 0;
  MSG msg;
  while (!SelectionEnded(g_state)) {
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
      continue;
    }
    MsgWaitForMultipleObjectsEx(count, handles, kSelectionPollMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

WORD GrabScreenRect(int left, int top, int right, int bottom, HBITMAP* bitmap) {
  const CaptureRectangle wanted{left, top, right, bottom};
  if (IsEmptyCaptureRect(wanted)) return StatusEmptyCapture;
  if (bitmap == nullptr) return StatusBadArgument;
  *bitmap = nullptr;

  // The screen's own DC counts from the primary monitor's corner, as the
  // capture rectangles do, on Windows and under Wine alike; a DC made with
  // CreateDCA("DISPLAY") counts from the virtual screen's corner under Wine,
  // which put every capture beside a monitor left of the primary.
  WindowDc screen;
  if (screen.get() == nullptr) return StatusEmptyCapture;
  OwnedDc memory(CreateCompatibleDC(screen.get()));
  if (memory.get() == nullptr) return StatusEmptyCapture;
  // The display context spans the virtual screen. The monitors are listed
  // now, not when the capture was asked for: one unplugged meanwhile is left
  // out. Wholly off every monitor there is nothing to make a bitmap of (802);
  // a side beyond what the writers take is refused (101).
  MonitorTable monitors;
  ListMonitors(&monitors);
  CaptureRectangle clipped;
  const Status clip = ClipToMonitors(wanted, monitors, &clipped);
  if (clip != StatusOk) return clip;
  const int width = RectWidth(clipped);
  const int height = RectHeight(clipped);

  GdiObject<HBITMAP> grabbed(CreateCompatibleBitmap(screen.get(), width, height));
  if (grabbed.get() == nullptr) return StatusEmptyCapture;
  {
    // The bitmap leaves the memory DC before it is handed out.
    Selection select(memory.get(), grabbed.get());
    if (!select.ok()) return StatusEmptyCapture;
    // CAPTUREBLT takes the layered windows too: tooltips, shadowed menus,
    // translucent windows.
    if (!BitBlt(memory.get(), 0, 0, width, height, screen.get(), clipped.left, clipped.top, SRCCOPY | CAPTUREBLT)) {
      return StatusEmptyCapture;
    }
    BlackenGaps(memory.get(), clipped, monitors);
    if (ShouldDrawPointer(g_state.IncludeCursor, g_state.Mode)) DrawPointer(memory.get(), clipped);
  }
  *bitmap = grabbed.release();
  g_lastGrab = clipped;
  g_hasLastGrab = true;
  return StatusOk;
}

WORD BitmapToPackedDib(HBITMAP bitmap, HGLOBAL* dib) {
  if (dib == nullptr) return StatusBadArgument;
  *dib = nullptr;
  if (bitmap == nullptr) return StatusBadArgument;

  GdiObject<HPALETTE> created;
  if (ChoosePalette(created) != StatusOk) return StatusNoMemory;
  HPALETTE palette = created.get() != nullptr ? created.get()
                                              : static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));

  BITMAP described{};
  if (GetObjectA(bitmap, sizeof described, &described) == 0) return StatusBadArgument;
  CaptureHeader header;
  if (!ComputeCaptureHeader(described.bmWidth, described.bmHeight,
                            static_cast<std::uint16_t>(described.bmPlanes * described.bmBitsPixel), &header)) {
    return StatusNoMemory;
  }
  MemOwner block(MemAlloc(header.blockSize));
  if (block.get() == nullptr) return StatusNoMemory;
  {
    MemLockGuard lock(block.get());
    if (lock.data() == nullptr) return StatusNoMemory;
    WriteCaptureHeader(lock.data(), header);
    WindowDc screen;
    PaletteSelection realised(screen.get(), palette);
    const int lines = GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(header.height & 0xFFFF),
                                lock.data() + kDibHeaderSize + header.clrUsed * 4,
                                reinterpret_cast<BITMAPINFO*>(lock.data()), DIB_RGB_COLORS);
    if (lines == 0) return StatusReadPixelsFailed;
    // GetDIBits may rewrite biSizeImage and biClrUsed; the table's values
    // stand, with the colour table and pixels it filled.
    WriteCaptureHeader(lock.data(), header);
  }
  *dib = reinterpret_cast<HGLOBAL>(block.release());
  return StatusOk;
}

extern "C" WORD WINAPI CaptureScreen(HGLOBAL* dib) {
  if (dib == nullptr) return StatusBadArgument;
  *dib = nullptr;
  g_state.Busy = 1;
  g_hasLastGrab = false;
  const WORD status = CaptureWhileBusy(dib);
  g_state.Busy = 0;
  return status;
}

extern "C" BOOL WINAPI GetLastCaptureRect(RECT* rect) {
  if (rect == nullptr || !g_hasLastGrab) return FALSE;
  *rect = RECT{g_lastGrab.left, g_lastGrab.top, g_lastGrab.right, g_lastGrab.bottom};
  return TRUE;
}
