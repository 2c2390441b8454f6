// Several monitors: bounds, clamping, clipping and gaps, the monitor chosen,
// the visible frame and the readout's place, over tables of real layouts.
#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>

#include "capture/monitor_geometry.h"

namespace {

using R = CaptureRectangle;

MonitorTable Table(std::initializer_list<R> monitors) {
  MonitorTable t{};
  for (const R& m : monitors) AddToMonitorTable(&t, m);
  return t;
}

const R kPrimary{0, 0, 1024, 768};
const MonitorTable kOne = Table({kPrimary});
const MonitorTable kLeft = Table({kPrimary, {-800, 0, 0, 600}});
const MonitorTable kAbove = Table({kPrimary, {0, -600, 800, 0}});
const MonitorTable kL = Table({kPrimary, {1024, 0, 1824, 600}, {0, 768, 1024, 1536}});
const MonitorTable kSizes = Table({{0, 0, 1920, 1080}, {1920, 0, 3200, 1024}});
// 2880 by 1620 pixels at 150% left of 1920 by 1080 at 100%: physical pixels.
const MonitorTable kScaled = Table({{0, 0, 1920, 1080}, {-2880, 0, 0, 1620}});

bool Same(const R& a, const R& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(Monitors, VirtualScreenBoundsAndTheClampInclusive) {
  struct Case { const MonitorTable* table; R bounds; CapturePoint in, out; } cases[] = {
      {&kOne, kPrimary, {-5, 900}, {0, 768}},
      {&kLeft, {-800, 0, 1024, 768}, {-900, -1}, {-800, 0}},
      {&kAbove, {0, -600, 1024, 768}, {500, -601}, {500, -600}},
      {&kL, {0, 0, 1824, 1536}, {1900, 1600}, {1824, 1536}},
      {&kSizes, {0, 0, 3200, 1080}, {3199, 1079}, {3199, 1079}},
      {&kScaled, {-2880, 0, 1920, 1620}, {-2881, 1620}, {-2880, 1620}},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(Same(MonitorsBounds(*c.table), c.bounds)) << c.bounds.left << "," << c.bounds.top;
    const CapturePoint p = ClampToArea(c.in, c.bounds);
    EXPECT_EQ(p.x, c.out.x);
    EXPECT_EQ(p.y, c.out.y);
  }
  EXPECT_TRUE(Same(VirtualScreenRect(-800, 0, 1824, 768), R{-800, 0, 1024, 768}));
  EXPECT_TRUE(Same(VirtualScreenRect(INT_MAX - 5, INT_MIN, 100, -10), R{INT_MAX - 5, INT_MIN, INT_MAX, INT_MIN}));
  EXPECT_EQ(RectWidth(R{INT_MIN, 0, INT_MAX, 1}), INT_MAX);
  EXPECT_EQ(RectHeight(R{0, 5, 1, -5}), 0);
  MonitorTable full = kOne;
  EXPECT_FALSE(AddToMonitorTable(&full, R{5, 5, 5, 9})) << "empty";
  for (int i = 1; i < kMaxMonitors; ++i) EXPECT_TRUE(AddToMonitorTable(&full, R{i, 0, i + 1, 1}));
  EXPECT_FALSE(AddToMonitorTable(&full, R{-1, 0, 0, 1})) << "more than the table holds are left out";
  EXPECT_EQ(full.count, kMaxMonitors);
}

TEST(Monitors, CaptureClippedToTheMonitorsThatExist) {
  const MonitorTable huge = Table({{0, 0, 20000, 100}, {20000, 0, 32768, 100}});
  struct Case { const MonitorTable* table; R wanted; Status status; R clipped; } cases[] = {
      {&kOne, {-8, -8, 1032, 776}, StatusOk, kPrimary},
      {&kLeft, {-900, -5, 1024, 768}, StatusOk, {-800, 0, 1024, 768}},
      {&kOne, {-800, 0, 1024, 768}, StatusOk, kPrimary},            // the left one was unplugged
      {&kOne, {-800, 0, 0, 600}, StatusEmptyCapture, {}},          // and it was all of the capture
      {&kL, {1100, 650, 1800, 700}, StatusEmptyCapture, {}},       // wholly in the gap
      {&kL, {1000, 500, 1300, 800}, StatusOk, {1000, 500, 1300, 800}},
      {&kAbove, {900, -500, 1000, -10}, StatusEmptyCapture, {}},
      {&huge, {0, 0, 32768, 100}, StatusBadArgument, {}},
      {&huge, {1, 0, 32768, 100}, StatusOk, {1, 0, 32768, 100}},
      {&huge, {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, StatusBadArgument, {}},
      {&kOne, {5, 5, 5, 9}, StatusEmptyCapture, {}},
  };
  for (const Case& c : cases) {
    R clipped{1, 1, 1, 1};
    EXPECT_EQ(ClipToMonitors(c.wanted, *c.table, &clipped), c.status) << c.wanted.left << "," << c.wanted.top;
    EXPECT_TRUE(Same(clipped, c.clipped)) << c.wanted.left << "," << c.wanted.top;
  }
}

// Every pixel of the area is either on a monitor or in exactly one part.
TEST(Monitors, GapsAreWhatNoMonitorShows) {
  const MonitorTable small[] = {
      Table({{0, 0, 16, 12}}),
      Table({{0, 0, 16, 12}, {16, 0, 28, 9}, {0, 12, 16, 24}}),
      Table({{0, 0, 16, 12}, {-13, 3, 0, 9}, {4, -10, 30, 0}}),
      Table({{0, 0, 10, 10}, {5, 5, 20, 20}, {22, 0, 30, 4}}),  // overlapping, as mirrored displays are
  };
  for (const MonitorTable& t : small) {
    const R area = MonitorsBounds(t);
    R parts[kMaxUncoveredParts];
    const int n = UncoveredParts(area, t, parts, kMaxUncoveredParts);
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) {
        int on = 0, in = 0;
        for (int i = 0; i < t.count; ++i) on += IntersectCaptureRects(R{x, y, x + 1, y + 1}, t.monitor[i], nullptr);
        for (int i = 0; i < n; ++i) in += IntersectCaptureRects(R{x, y, x + 1, y + 1}, parts[i], nullptr);
        ASSERT_EQ(in, on == 0 ? 1 : 0) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(UncoveredParts(kPrimary, kOne, nullptr, 4), 0);
  R one[1];
  EXPECT_EQ(UncoveredParts(MonitorsBounds(kL), kL, one, 1), 1) << "never more than the room given";
}

TEST(Monitors, TheMonitorOfARectangleAndOfAPoint) {
  struct Case { const MonitorTable* table; R rect; int most; CapturePoint point; int at; } cases[] = {
      {&kLeft, {-300, 0, 200, 100}, 1, {-1, 599}, 1},
      {&kLeft, {-200, 0, 300, 100}, 0, {-1, 700}, 0},    // below the left one: nearer the primary
      {&kAbove, {0, -100, 100, 100}, 0, {799, -1}, 1},   // equal halves: the first listed
      {&kL, {1200, 700, 1300, 720}, 1, {1500, 760}, 1},  // in the gap: the nearest
      {&kSizes, {5000, 5000, 5001, 5001}, 1, {1920, 0}, 1},
      {&kScaled, {-100, 10, 2000, 20}, 0, {-2880, 1619}, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MonitorHoldingMost(c.rect, *c.table), c.most) << c.rect.left;
    EXPECT_EQ(MonitorAtOrNearest(c.point, *c.table), c.at) << c.point.x << "," << c.point.y;
  }
  EXPECT_EQ(MonitorAtOrNearest({0, 0}, MonitorTable{}), -1);
}

TEST(Monitors, WindowFrameIsTheVisibleOne) {
  const R window{92, 92, 1108, 708}, visible{100, 100, 1100, 700}, work{0, 0, 1024, 728};
  struct Case { bool hasVisible; R visibleFrame; bool maximised; R windowRect, expected; } cases[] = {
      {false, {}, false, window, window},
      {true, visible, false, window, visible},
      {true, {100, 100, 100, 700}, false, window, window},    // empty
      {true, {60, 60, 660, 460}, false, window, window},      // outside: other pixels
      {true, {-8, -8, 1032, 736}, true, {-8, -8, 1032, 736}, work},
      {false, {}, true, {-8, -8, 1032, 736}, work},
      {false, {}, true, {100, 100, 600, 400}, {100, 100, 600, 400}},  // held smaller than the area
      {false, {}, true, {3000, 0, 3500, 400}, {3000, 0, 3500, 400}},  // off every monitor: the grab clips it
  };
  for (const Case& c : cases) {
    const R chosen = ChooseWindowFrame({c.windowRect, c.hasVisible, c.visibleFrame, c.maximised, true, work});
    EXPECT_TRUE(Same(chosen, c.expected)) << chosen.left << "," << chosen.top << "," << chosen.right;
  }
}

TEST(Monitors, PlacedSpansAndTheReadoutStayOnTheirMonitor) {
  EXPECT_EQ(KeepSpanWithin(-32000, 270, -800, 0), -800);
  EXPECT_EQ(KeepSpanWithin(1000, 270, 0, 1024), 754);
  EXPECT_EQ(KeepSpanWithin(10, 2000, 0, 1024), 0) << "too long: its start in reach";
  EXPECT_EQ(CentreSpan(301, -800, 0), -551);
  EXPECT_EQ(CentreSpan(5000, 0, 1024), 0);
  EXPECT_EQ(CentreSpan(10, INT_MIN, INT_MAX), -6);
  // On one monitor the readout is centred on the whole band, as ever, even
  // where it sticks out past the edge.
  for (const Band& b : {Band{{1000, 700}, {1024, 760}}, Band{{0, 0}, {1024, 768}}, Band{{300, 10}, {5, 700}}}) {
    const CapturePoint one = ReadoutOriginOnMonitor(b, 37, 16, kOne), plain = ReadoutOrigin(b, 37, 16);
    EXPECT_EQ(one.x, plain.x);
    EXPECT_EQ(one.y, plain.y);
  }
  // Across the edge it is centred on the pointer's side.
  const CapturePoint right = ReadoutOriginOnMonitor(Band{{-700, 100}, {300, 300}}, 40, 16, kLeft);
  EXPECT_EQ(right.x, 130);
  const CapturePoint left = ReadoutOriginOnMonitor(Band{{300, 100}, {-700, 300}}, 40, 16, kLeft);
  EXPECT_EQ(left.x, -370);
  EXPECT_EQ(left.y, 192);
  const CapturePoint edge = ReadoutOriginOnMonitor(Band{{-700, 100}, {5, 300}}, 60, 16, kLeft);
  EXPECT_EQ(edge.x, 0) << "a sliver of the band on the pointer's monitor: the text still wholly on it";
}

}  // namespace
