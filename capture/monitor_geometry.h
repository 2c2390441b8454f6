// The arithmetic of several monitors, free of the platform: the virtual
// screen's bounds, the pointer clamped to it, a capture clipped to the
// monitors that exist and the gaps between them, the monitor a rectangle or
// a point belongs to, a window's visible frame, and where the Area readout
// and a placed window go. Every rectangle is in physical pixels of the
// virtual screen, whose origin is the primary monitor's top-left corner;
// right and bottom are exclusive unless a function says otherwise.
#pragma once

#include <cstdint>

#include "capture/capture_state.h"
#include "capture/selection.h"
#include "messages/status.h"

// As many monitors as are taken into account; more are left out.
constexpr int kMaxMonitors = 16;

struct MonitorTable {
  CaptureRectangle monitor[kMaxMonitors];
  int count;
};
// False, with the table unchanged, for an empty monitor or a full table.
bool AddToMonitorTable(MonitorTable* table, const CaptureRectangle& monitor);

// The longest side a capture may have: the writers' limit.
constexpr std::int64_t kLongestCaptureSide = 32767;

// Width and height without overflow: 0 for an empty side, and saturated at
// the 32-bit maximum.
std::int32_t RectWidth(const CaptureRectangle& r);
std::int32_t RectHeight(const CaptureRectangle& r);

// The virtual screen from its metrics (origin and size); an end beyond the
// 32-bit range is held at its limit.
CaptureRectangle VirtualScreenRect(std::int32_t x, std::int32_t y, std::int32_t cx, std::int32_t cy);
// The smallest rectangle holding every monitor; all zero for none.
CaptureRectangle MonitorsBounds(const MonitorTable& table);

// x into left..right and y into top..bottom, all bounds inclusive: the
// largest value is one past the last pixel, as the trackers' corners take it.
CapturePoint ClampToArea(CapturePoint p, const CaptureRectangle& area);

// False, and `out` all zero, when the two have no pixel in common.
bool IntersectCaptureRects(const CaptureRectangle& a, const CaptureRectangle& b, CaptureRectangle* out);

// The capture cut to what the monitors show: the smallest rectangle holding
// every part of `wanted` on a monitor. 802 when no part is on any monitor
// (also for an empty `wanted` or table), 101 when what is left is longer
// than kLongestCaptureSide on a side.
Status ClipToMonitors(const CaptureRectangle& wanted, const MonitorTable& table, CaptureRectangle* clipped);

// The parts of `area` on no monitor (the gaps of a layout that is not a
// rectangle), as rectangles that do not overlap, at most `capacity` of them;
// returns how many. A capacity of kMaxUncoveredParts always suffices.
constexpr int kMaxUncoveredParts = (2 * kMaxMonitors + 1) * (kMaxMonitors + 1);
int UncoveredParts(const CaptureRectangle& area, const MonitorTable& table, CaptureRectangle* parts,
                   int capacity);

// The index of the monitor holding most of `r` (the first of equals); when
// it touches none, the nearest. -1 for an empty table.
int MonitorHoldingMost(const CaptureRectangle& r, const MonitorTable& table);
// The index of the monitor `p` is on, else the nearest one; -1 for none.
int MonitorAtOrNearest(CapturePoint p, const MonitorTable& table);

// What is known of a window for its capture: its window rectangle, the
// frame the compositor draws (when it said), and for a maximised top-level
// window the work area of its monitor.
struct WindowFrameFacts {
  CaptureRectangle windowRect;
  bool hasVisibleFrame;
  CaptureRectangle visibleFrame;
  bool maximised;
  bool hasWorkArea;
  CaptureRectangle workArea;
};
CaptureRectangle ChooseWindowFrame(const WindowFrameFacts& facts);

// The start of a `size`-long span moved to lie within [low, high): off the
// far edge first, then off the near one, so that a span longer than the
// area keeps its start (a window's caption) in reach.
std::int32_t KeepSpanWithin(std::int32_t start, std::int32_t size, std::int32_t low, std::int32_t high);
// The start of a `size`-long span centred in [low, high) (halves rounding
// toward zero), kept within it as above.
std::int32_t CentreSpan(std::int32_t size, std::int32_t low, std::int32_t high);

// The Area readout's top-left corner for a text of cx by cy: centred on the
// part of the band on the pointer's monitor (the monitor of band.b), so that
// it follows the pointer onto its monitor and not into a gap or onto the
// other one, and kept wholly on it. On one monitor this is ReadoutOrigin itself. An empty table
// leaves the band whole.
CapturePoint ReadoutOriginOnMonitor(const Band& band, std::int32_t cx, std::int32_t cy,
                                    const MonitorTable& table);
