// The selection trackers' decisions, free of the platform: which mouse
// events act, are swallowed or are passed on; the pointer's clamping; the
// Area corners and the Defined Size box; the size readout's text and place;
// the Object frame's bars; Esc ending a selection; and the guard that keeps
// two hook threads from drawing at once. The hook procedures (trackers_win)
// only read the pointer, ask these and draw.
#pragma once

#include <cstddef>
#include <cstdint>

#include "capture/capture_state.h"

// Each mouse message counts alike in its client and non-client form; a
// double click's second press is a press.
enum class MouseEvent { Move, LeftPress, LeftRelease, Other };
MouseEvent ClassifyMouseMessage(std::uint32_t message);

// x into 0..screenWidth and y into 0..screenHeight, both bounds inclusive:
// the largest value is one past the last pixel.
CapturePoint ClampToScreen(CapturePoint p, std::int32_t screenWidth, std::int32_t screenHeight);

// InHook, tested and set in one interlocked exchange: hooks run on the
// threads of several applications at once, and only one of them may draw.
bool TryEnterTracker(std::int32_t& inHook);
void LeaveTracker(std::int32_t& inHook);

// Before a tracker is installed: no selection is done or cancelled, and no
// tracker can still hold the guard.
void ResetSelection(CaptureState& s);
// SelectionDone set after everything the tracker wrote (CaptureRect first):
// whoever sees the flag sees the rectangle.
void PublishSelection(CaptureState& s);
// Done or cancelled. Once ended, a tracker lets every event pass and draws
// nothing more, so the feedback stays as its last step left it.
bool SelectionEnded(CaptureState& s);
bool SelectionCompleted(CaptureState& s);
bool SelectionCancelledByUser(CaptureState& s);

// What a tracker does with one event.
enum class TrackerAction {
  PassOn,     // CallNextHookEx
  Swallow,    // return 1, nothing else
  Idle,       // Area before its first corner: the cross cursor only
  Follow,     // erase the feedback, follow the pointer, draw it again
  Start,      // Area's first corner
  Finish,     // Area's second corner; Object's and Defined Size's press
};
TrackerAction AreaAction(CaptureState& s, MouseEvent e);
TrackerAction ObjectAction(CaptureState& s, MouseEvent e);
TrackerAction BoxAction(CaptureState& s, MouseEvent e);

// Area: the first corner (Tracking 1, Anchor and Current both at it), the
// pointer followed, and the corners ordered into CaptureRect, right and
// bottom still inclusive (Tracking 0).
void StartArea(CaptureState& s, CapturePoint p);
void FinishArea(CaptureState& s);

// Defined Size: the box moves by the pointer's movement since the last move.
void MoveBox(CaptureState& s, CapturePoint p);

// The rubber band between two corners, in either order.
struct Band {
  CapturePoint a, b;
};
// "%dx%d": the inclusive width and height, the size that will be captured.
// `out` holds at least kReadoutSize bytes.
constexpr std::size_t kReadoutSize = 32;
void FormatReadout(const Band& band, char* out, std::size_t size);
// The readout's top-left corner for a text of cx by cy, centred on the band
// with divisions rounding toward zero; it may stick out of a small band.
CapturePoint ReadoutOrigin(const Band& band, std::int32_t cx, std::int32_t cy);

// The Object frame: bars 3 pixels thick along the inside of a w by h
// window's outer edge, in window coordinates. They never overlap, so
// inverting them twice restores the window; a window narrower or lower than
// 6 pixels gets thinner bars rather than overlapping ones. Returns how many
// of the four bars are not empty, stored first.
struct Bar {
  std::int32_t x, y, width, height;
};
int FrameBars(std::int32_t w, std::int32_t h, Bar bars[4]);

// Esc while a tracker is installed ends the selection; its repeats and its
// release are swallowed with it. Any other key, and Esc at any other time,
// is passed on untouched.
enum class EscapeDecision { PassOn, Cancel, Swallow };
constexpr std::uint32_t kVirtualKeyEscape = 0x1B;
EscapeDecision DecideEscape(CaptureState& s, int code, std::uint32_t virtualKey, std::uint32_t keyData);
