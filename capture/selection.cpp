// The selection trackers' decisions; see selection.h.
#include "capture/selection.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <utility>

namespace {

constexpr std::uint32_t kMouseMove = 0x200, kNcMouseMove = 0xA0;
constexpr std::uint32_t kLeftDown = 0x201, kNcLeftDown = 0xA1;
constexpr std::uint32_t kLeftUp = 0x202, kNcLeftUp = 0xA2;
constexpr std::uint32_t kLeftDouble = 0x203, kNcLeftDouble = 0xA3;
constexpr int kHookAction = 0, kHookNoRemove = 3;
constexpr std::uint32_t kKeyReleased = 0x80000000u;  // transition state
constexpr std::uint32_t kKeyWasDown = 0x40000000u;   // previous key state: an auto-repeat

// The shared flags are plain 32-bit variables of the shared section; every
// process that maps it reaches them through these atomic views.
std::atomic_ref<std::int32_t> Flag(std::int32_t& v) { return std::atomic_ref<std::int32_t>(v); }

}  // namespace

MouseEvent ClassifyMouseMessage(std::uint32_t message) {
  switch (message) {
    case kMouseMove:
    case kNcMouseMove: return MouseEvent::Move;
    case kLeftDown:
    case kNcLeftDown:
    // The second press of a double click reaches a window that asks for
    // double clicks in this form; it is a press all the same, and an
    // application must not act on it either.
    case kLeftDouble:
    case kNcLeftDouble: return MouseEvent::LeftPress;
    case kLeftUp:
    case kNcLeftUp: return MouseEvent::LeftRelease;
    default: return MouseEvent::Other;
  }
}

CapturePoint ClampToScreen(CapturePoint p, std::int32_t screenWidth, std::int32_t screenHeight) {
  return CapturePoint{std::clamp(p.x, std::int32_t{0}, std::max(screenWidth, std::int32_t{0})),
                      std::clamp(p.y, std::int32_t{0}, std::max(screenHeight, std::int32_t{0}))};
}

bool TryEnterTracker(std::int32_t& inHook) { return Flag(inHook).exchange(1, std::memory_order_acquire) == 0; }

void LeaveTracker(std::int32_t& inHook) { Flag(inHook).store(0, std::memory_order_release); }

void ResetSelection(CaptureState& s) {
  Flag(s.SelectionDone).store(0);
  Flag(s.SelectionCancelled).store(0);
  Flag(s.InHook).store(0);
}

void PublishSelection(CaptureState& s) { Flag(s.SelectionDone).store(1, std::memory_order_release); }

bool SelectionCompleted(CaptureState& s) { return Flag(s.SelectionDone).load(std::memory_order_acquire) != 0; }

bool SelectionCancelledByUser(CaptureState& s) {
  return Flag(s.SelectionCancelled).load(std::memory_order_acquire) != 0;
}

bool SelectionEnded(CaptureState& s) { return SelectionCompleted(s) || SelectionCancelledByUser(s); }

TrackerAction AreaAction(CaptureState& s, MouseEvent e) {
  if (SelectionEnded(s)) return TrackerAction::PassOn;
  switch (e) {
    case MouseEvent::Move: return s.Tracking == 0 ? TrackerAction::Idle : TrackerAction::Follow;
    case MouseEvent::LeftPress: return TrackerAction::Swallow;
    case MouseEvent::LeftRelease: return s.Tracking == 0 ? TrackerAction::Start : TrackerAction::Finish;
    case MouseEvent::Other: break;
  }
  return TrackerAction::PassOn;
}

// Object and Defined Size follow every move and end on the press; releases
// included, everything else reaches the applications.
TrackerAction ObjectAction(CaptureState& s, MouseEvent e) {
  if (SelectionEnded(s)) return TrackerAction::PassOn;
  if (e == MouseEvent::Move) return TrackerAction::Follow;
  if (e == MouseEvent::LeftPress) return TrackerAction::Finish;
  return TrackerAction::PassOn;
}

TrackerAction BoxAction(CaptureState& s, MouseEvent e) { return ObjectAction(s, e); }

void StartArea(CaptureState& s, CapturePoint p) {
  s.Tracking = 1;
  s.Anchor = p;
  s.Current = p;
}

void FinishArea(CaptureState& s) {
  if (s.Anchor.y > s.Current.y) std::swap(s.Anchor.y, s.Current.y);
  if (s.Anchor.x > s.Current.x) std::swap(s.Anchor.x, s.Current.x);
  s.CaptureRect = CaptureRectangle{s.Anchor.x, s.Anchor.y, s.Current.x, s.Current.y};
  s.Tracking = 0;
}

void MoveBox(CaptureState& s, CapturePoint p) {
  const std::int32_t dx = p.x - s.Anchor.x, dy = p.y - s.Anchor.y;
  s.Anchor = p;
  s.Current = p;
  s.CaptureRect.left += dx;
  s.CaptureRect.right += dx;
  s.CaptureRect.top += dy;
  s.CaptureRect.bottom += dy;
}

void FormatReadout(const Band& band, char* out, std::size_t size) {
  if (out == nullptr || size == 0) return;
  const std::int64_t dx = std::int64_t{band.b.x} - band.a.x, dy = std::int64_t{band.b.y} - band.a.y;
  std::snprintf(out, size, "%lldx%lld", static_cast<long long>((dx < 0 ? -dx : dx) + 1),
                static_cast<long long>((dy < 0 ? -dy : dy) + 1));
}

CapturePoint ReadoutOrigin(const Band& band, std::int32_t cx, std::int32_t cy) {
  const std::int64_t x1 = band.a.x, y1 = band.a.y, x2 = band.b.x, y2 = band.b.y;
  const std::int64_t left = x2 > x1 ? x1 + (x2 - x1 - cx) / 2 : x2 + (x1 - x2 - cx) / 2;
  const std::int64_t top = y1 + (y2 - y1 - cy) / 2;
  return CapturePoint{static_cast<std::int32_t>(left), static_cast<std::int32_t>(top)};
}

int FrameBars(std::int32_t w, std::int32_t h, Bar bars[4]) {
  if (w <= 0 || h <= 0) return 0;
  const std::int32_t top = std::min(3, h), bottom = std::min(3, h - top);
  const std::int32_t left = std::min(3, w), right = std::min(3, w - left);
  const std::int32_t sideHeight = h - top - bottom;
  int n = 0;
  bars[n++] = Bar{0, 0, w, top};
  if (bottom > 0) bars[n++] = Bar{0, h - bottom, w, bottom};
  if (sideHeight > 0) {
    bars[n++] = Bar{0, top, left, sideHeight};
    if (right > 0) bars[n++] = Bar{w - right, top, right, sideHeight};
  }
  return n;
}

EscapeDecision DecideEscape(CaptureState& s, int code, std::uint32_t virtualKey, std::uint32_t keyData) {
  if (virtualKey != kVirtualKeyEscape || (code != kHookAction && code != kHookNoRemove)) {
    return EscapeDecision::PassOn;
  }
  if (keyData & kKeyReleased) {
    if (s.EscapeHeld == 0) return EscapeDecision::PassOn;
    s.EscapeHeld = 0;
    return EscapeDecision::Swallow;
  }
  if (s.TrackerHookHandle != 0) {
    s.EscapeHeld = 1;
    if (SelectionEnded(s)) return EscapeDecision::Swallow;
    Flag(s.SelectionCancelled).store(1, std::memory_order_release);
    return EscapeDecision::Cancel;
  }
  // The tracker has gone: the cancelling key's auto-repeats still belong to
  // it; a fresh press is the application's again.
  if (s.EscapeHeld != 0 && (keyData & kKeyWasDown)) return EscapeDecision::Swallow;
  s.EscapeHeld = 0;
  return EscapeDecision::PassOn;
}
