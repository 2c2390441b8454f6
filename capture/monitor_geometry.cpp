// The arithmetic of several monitors; see monitor_geometry.h.
#include "capture/monitor_geometry.h"

#include <algorithm>

#include "capture/grab_geometry.h"

namespace {

std::int32_t Saturated(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

// Lengths and distances are worked out in 64 bits: two 32-bit coordinates
// can be 2^32 apart, and a monitor's table comes from the system.
std::int64_t Span(std::int32_t low, std::int32_t high) {
  return std::max<std::int64_t>(0, std::int64_t{high} - low);
}

// The smallest rectangle holding both.
CaptureRectangle Union(const CaptureRectangle& a, const CaptureRectangle& b) {
  return CaptureRectangle{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                          std::max(a.bottom, b.bottom)};
}

// An area of up to (2^32 - 1) squared still fits 64 unsigned bits.
std::uint64_t Area(const CaptureRectangle& r) {
  return static_cast<std::uint64_t>(Span(r.left, r.right)) * static_cast<std::uint64_t>(Span(r.top, r.bottom));
}

// Each distance held at 2^31, so that the sum of their squares cannot wrap.
std::uint64_t SquaredDistance(std::int64_t dx, std::int64_t dy) {
  const std::uint64_t x = static_cast<std::uint64_t>(std::min<std::int64_t>(dx, std::int64_t{1} << 31));
  const std::uint64_t y = static_cast<std::uint64_t>(std::min<std::int64_t>(dy, std::int64_t{1} << 31));
  return x * x + y * y;
}

// How far apart two ranges are: 0 when they overlap or touch.
std::int64_t Apart(std::int32_t lowA, std::int32_t highA, std::int32_t lowB, std::int32_t highB) {
  return std::max<std::int64_t>({0, std::int64_t{lowB} - highA, std::int64_t{lowA} - highB});
}

bool Contains(const CaptureRectangle& outer, const CaptureRectangle& inner) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

}  // namespace

bool AddToMonitorTable(MonitorTable* table, const CaptureRectangle& monitor) {
  if (table == nullptr || table->count < 0 || table->count >= kMaxMonitors || IsEmptyCaptureRect(monitor)) return false;
  table->monitor[table->count++] = monitor;
  return true;
}

std::int32_t RectWidth(const CaptureRectangle& r) { return Saturated(Span(r.left, r.right)); }

std::int32_t RectHeight(const CaptureRectangle& r) { return Saturated(Span(r.top, r.bottom)); }

CaptureRectangle VirtualScreenRect(std::int32_t x, std::int32_t y, std::int32_t cx, std::int32_t cy) {
  return CaptureRectangle{x, y, Saturated(std::int64_t{x} + cx), Saturated(std::int64_t{y} + cy)};
}

CaptureRectangle MonitorsBounds(const MonitorTable& table) {
  if (table.count <= 0) return CaptureRectangle{0, 0, 0, 0};
  CaptureRectangle b = table.monitor[0];
  for (int i = 1; i < table.count && i < kMaxMonitors; ++i) b = Union(b, table.monitor[i]);
  return b;
}

CapturePoint ClampToArea(CapturePoint p, const CaptureRectangle& area) {
  // An area turned inside out pins the point to its left and top.
  return CapturePoint{std::clamp(p.x, area.left, std::max(area.left, area.right)),
                      std::clamp(p.y, area.top, std::max(area.top, area.bottom))};
}

bool IntersectCaptureRects(const CaptureRectangle& a, const CaptureRectangle& b, CaptureRectangle* out) {
  const CaptureRectangle i{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                           std::min(a.bottom, b.bottom)};
  const bool any = !IsEmptyCaptureRect(i);
  if (out != nullptr) *out = any ? i : CaptureRectangle{0, 0, 0, 0};
  return any;
}

Status ClipToMonitors(const CaptureRectangle& wanted, const MonitorTable& table, CaptureRectangle* clipped) {
  if (clipped != nullptr) *clipped = CaptureRectangle{0, 0, 0, 0};
  bool any = false;
  CaptureRectangle b{};
  for (int i = 0; i < table.count && i < kMaxMonitors; ++i) {
    CaptureRectangle part;
    if (!IntersectCaptureRects(wanted, table.monitor[i], &part)) continue;
    b = any ? Union(b, part) : part;
    any = true;
  }
  if (!any) return StatusEmptyCapture;
  if (Span(b.left, b.right) > kLongestCaptureSide || Span(b.top, b.bottom) > kLongestCaptureSide) {
    return StatusBadArgument;
  }
  if (clipped != nullptr) *clipped = b;
  return StatusOk;
}

// The area is cut into horizontal bands at every monitor's top and bottom;
// within one band each monitor either covers its full height or none of it,
// so the band's gaps are the spaces between the monitors' ranges across it.
int UncoveredParts(const CaptureRectangle& area, const MonitorTable& table, CaptureRectangle* parts,
                   int capacity) {
  if (IsEmptyCaptureRect(area) || parts == nullptr || capacity <= 0) return 0;
  const int monitors = std::clamp(table.count, 0, kMaxMonitors);
  std::int32_t edges[2 * kMaxMonitors + 2];
  int edgeCount = 0;
  edges[edgeCount++] = area.top;
  edges[edgeCount++] = area.bottom;
  for (int i = 0; i < monitors; ++i) {
    for (const std::int32_t y : {table.monitor[i].top, table.monitor[i].bottom}) {
      if (y > area.top && y < area.bottom) edges[edgeCount++] = y;
    }
  }
  std::sort(edges, edges + edgeCount);
  edgeCount = static_cast<int>(std::unique(edges, edges + edgeCount) - edges);

  int n = 0;
  for (int e = 0; e + 1 < edgeCount; ++e) {
    const std::int32_t top = edges[e], bottom = edges[e + 1];
    struct Range {
      std::int32_t left, right;
    };
    Range covered[kMaxMonitors];
    int rangeCount = 0;
    for (int i = 0; i < monitors; ++i) {
      const CaptureRectangle& m = table.monitor[i];
      if (m.top > top || m.bottom < bottom) continue;
      const Range r{std::max(m.left, area.left), std::min(m.right, area.right)};
      if (r.left < r.right) covered[rangeCount++] = r;
    }
    std::sort(covered, covered + rangeCount, [](const Range& a, const Range& b) { return a.left < b.left; });
    std::int32_t x = area.left;
    for (int i = 0; i <= rangeCount; ++i) {
      const std::int32_t next = i < rangeCount ? covered[i].left : area.right;
      if (next > x) {
        if (n == capacity) return n;
        parts[n++] = CaptureRectangle{x, top, next, bottom};
      }
      if (i < rangeCount) x = std::max(x, covered[i].right);
    }
  }
  return n;
}

int MonitorHoldingMost(const CaptureRectangle& r, const MonitorTable& table) {
  int best = -1;
  std::uint64_t bestArea = 0;
  for (int i = 0; i < table.count && i < kMaxMonitors; ++i) {
    CaptureRectangle part;
    if (!IntersectCaptureRects(r, table.monitor[i], &part)) continue;
    const std::uint64_t area = Area(part);
    if (best < 0 || area > bestArea) best = i, bestArea = area;
  }
  if (best >= 0) return best;
  std::uint64_t bestDistance = 0;
  for (int i = 0; i < table.count && i < kMaxMonitors; ++i) {
    const CaptureRectangle& m = table.monitor[i];
    const std::uint64_t d =
        SquaredDistance(Apart(r.left, r.right, m.left, m.right), Apart(r.top, r.bottom, m.top, m.bottom));
    if (best < 0 || d < bestDistance) best = i, bestDistance = d;
  }
  return best;
}

int MonitorAtOrNearest(CapturePoint p, const MonitorTable& table) {
  // A point is the pixel right and below it: on a monitor when that pixel
  // is, and as far from one as that pixel is.
  const CaptureRectangle pixel{p.x, p.y, Saturated(std::int64_t{p.x} + 1), Saturated(std::int64_t{p.y} + 1)};
  return MonitorHoldingMost(pixel, table);
}

CaptureRectangle ChooseWindowFrame(const WindowFrameFacts& f) {
  CaptureRectangle frame = f.windowRect;
  // The compositor's frame lies inside the window rectangle, which adds the
  // invisible resize borders. One that does not (empty, or outside it) was
  // measured in other pixels or is not a frame at all.
  if (f.hasVisibleFrame && !IsEmptyCaptureRect(f.visibleFrame) && Contains(f.windowRect, f.visibleFrame)) {
    frame = f.visibleFrame;
  }
  // A maximised window reaches past its monitor's work area by its borders;
  // what the user sees of it is inside the work area. One kept smaller than
  // the area keeps its own frame.
  CaptureRectangle inside;
  if (f.maximised && f.hasWorkArea && IntersectCaptureRects(frame, f.workArea, &inside)) frame = inside;
  return frame;
}

std::int32_t KeepSpanWithin(std::int32_t start, std::int32_t size, std::int32_t low, std::int32_t high) {
  std::int64_t s = start;
  if (s + size > high) s = std::int64_t{high} - size;
  if (s < low) s = low;
  return Saturated(s);
}

std::int32_t CentreSpan(std::int32_t size, std::int32_t low, std::int32_t high) {
  return KeepSpanWithin(Saturated(low + (std::int64_t{high} - low - size) / 2), size, low, high);
}

CapturePoint ReadoutOriginOnMonitor(const Band& band, std::int32_t cx, std::int32_t cy,
                                    const MonitorTable& table) {
  const int on = MonitorAtOrNearest(band.b, table);
  if (on < 0) return ReadoutOrigin(band, cx, cy);
  const CaptureRectangle& m = table.monitor[on];
  const CapturePoint at = ReadoutOrigin(Band{ClampToArea(band.a, m), ClampToArea(band.b, m)}, cx, cy);
  if (table.count < 2) return at;
  // A part narrower than the text would put it across the edge, onto the
  // other monitor or into a gap.
  return CapturePoint{KeepSpanWithin(at.x, cx, m.left, m.right), KeepSpanWithin(at.y, cy, m.top, m.bottom)};
}
