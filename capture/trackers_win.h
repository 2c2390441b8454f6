// The selection trackers as CaptureScreen drives them for Area, Object and
// Defined Size, and the feedback they draw. Each tracker is a system-wide
// mouse hook (MouseHookArea, MouseHookObject, MouseHookBox) that runs inside
// whichever process owns the window under the pointer, draws its feedback
// by inversion straight onto the screen, leaves the selected rectangle in
// CaptureRect and then sets SelectionDone. Drawing any feedback a second
// time with the same arguments erases it.
#pragma once

#include <windows.h>

// Makes sure the cursor is shown on the calling thread without raising its
// display count above 0. The trackers call it inside other applications, on
// every move: counted up there, it would stay up after the selection, and an
// application that later hides its pointer (a player, a game, an editor
// while the user types) would hide it no more.
void EnsureCursorShown();

// False when the hook could not be installed; nothing is then waited for.
bool InstallAreaTracker();
// Also frames the window under the pointer at once.
bool InstallObjectTracker();
bool InstallBoxTracker();
void RemoveTracker();

// The rubber band from (x1, y1) to (x2, y2), corners included, with its
// "WxH" readout centred on it.
void DrawSizeBand(int x1, int y1, int x2, int y2);
// The Defined Size box at CaptureRect.
void DrawBoxOutline();
// Bars 3 pixels thick along the inside of the window's visible frame (see
// VisibleWindowFrame), caption included, inverted on the screen: the frame
// is what an Object capture of it takes. A handle that is no longer a
// window is skipped.
void InvertWindowFrame(HWND window);
// The window under the pointer, or its visible child control there: a
// hidden child is never picked.
HWND WindowAtCursor();

// The waiting thread's wake-up: an event named after the notify window, set
// by whoever ends the selection (a tracker, or Esc in the keyboard hook) in
// whatever process it runs. The shared flags stay the truth; the event only
// saves the wait its sleep. Null when it cannot be made.
HANDLE CreateSelectionEndedEvent();
void SignalSelectionEnded();

// The trackers' guard (InHook) held by SHOTBOX's own thread: while it is
// held every tracker swallows its events and draws nothing. Taken while
// CaptureScreen draws the first feedback, and after a tracker is removed to
// wait for one that may still be drawing on another thread. A tracker that
// never lets go (its process died inside the hook) is waited for only
// `timeoutMs`.
class TrackerHold {
 public:
  explicit TrackerHold(DWORD timeoutMs);
  ~TrackerHold() { Release(); }
  TrackerHold(const TrackerHold&) = delete;
  TrackerHold& operator=(const TrackerHold&) = delete;
  void Release();

 private:
  bool held_;
};
