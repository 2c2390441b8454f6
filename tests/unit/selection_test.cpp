// The selection trackers' decisions: the table of events, clamping, the Area
// corners and their +1, the readout's text and place, the Object frame's
// bars, the Defined Size box, Esc, and the guard between hook threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <utility>

#include "capture/grab_geometry.h"
#include "capture/selection.h"

namespace {

using Action = TrackerAction;

TEST(Selection, MouseMessagesCountAlikeInBothForms) {
  const std::pair<std::uint32_t, MouseEvent> table[] = {
      {0x200, MouseEvent::Move},        {0xA0, MouseEvent::Move},         {0x201, MouseEvent::LeftPress},
      {0xA1, MouseEvent::LeftPress},    {0x203, MouseEvent::LeftPress},   {0xA3, MouseEvent::LeftPress},
      {0x202, MouseEvent::LeftRelease}, {0xA2, MouseEvent::LeftRelease},  {0x204, MouseEvent::Other},
      {0x205, MouseEvent::Other},       {0xA4, MouseEvent::Other},        {0x207, MouseEvent::Other},
      {0x20A, MouseEvent::Other},       {0x2A1, MouseEvent::Other},       {0, MouseEvent::Other},
  };
  for (auto [message, event] : table) EXPECT_EQ(ClassifyMouseMessage(message), event) << std::hex << message;
}

TEST(Selection, PointerClampedToTheScreenBoundsInclusive) {
  struct Case {
    CapturePoint in, out;
  };
  const Case cases[] = {
      {{10, 20}, {10, 20}},     {{-5, -1}, {0, 0}},         {{1024, 768}, {1024, 768}},
      {{1025, 900}, {1024, 768}}, {{-3000, 5000}, {0, 768}}, {{1023, 0}, {1023, 0}},
  };
  for (const Case& c : cases) {
    const CapturePoint p = ClampToScreen(c.in, 1024, 768);
    EXPECT_EQ(p.x, c.out.x) << c.in.x;
    EXPECT_EQ(p.y, c.out.y) << c.in.y;
  }
}

TEST(Selection, WhichEventsActInEachTracker) {
  enum Ended { Open, Done, Cancelled };
  struct Case {
    Action (*tracker)(CaptureState&, MouseEvent);
    std::int32_t tracking;
    Ended ended;
    MouseEvent event;
    Action action;
  };
  const Case cases[] = {
      {AreaAction, 0, Open, MouseEvent::Move, Action::Idle},
      {AreaAction, 1, Open, MouseEvent::Move, Action::Follow},
      {AreaAction, 0, Open, MouseEvent::LeftPress, Action::Swallow},
      {AreaAction, 1, Open, MouseEvent::LeftPress, Action::Swallow},
      {AreaAction, 0, Open, MouseEvent::LeftRelease, Action::Start},
      {AreaAction, 1, Open, MouseEvent::LeftRelease, Action::Finish},
      {AreaAction, 1, Open, MouseEvent::Other, Action::PassOn},
      {AreaAction, 1, Done, MouseEvent::LeftRelease, Action::PassOn},
      {AreaAction, 1, Cancelled, MouseEvent::Move, Action::PassOn},
      {ObjectAction, 0, Open, MouseEvent::Move, Action::Follow},
      {ObjectAction, 0, Open, MouseEvent::LeftPress, Action::Finish},
      {ObjectAction, 0, Open, MouseEvent::LeftRelease, Action::PassOn},
      {ObjectAction, 0, Open, MouseEvent::Other, Action::PassOn},
      {ObjectAction, 0, Done, MouseEvent::Move, Action::PassOn},
      {ObjectAction, 0, Cancelled, MouseEvent::LeftPress, Action::PassOn},
      {BoxAction, 0, Open, MouseEvent::Move, Action::Follow},
      {BoxAction, 0, Open, MouseEvent::LeftPress, Action::Finish},
      {BoxAction, 0, Open, MouseEvent::LeftRelease, Action::PassOn},
      {BoxAction, 0, Done, MouseEvent::Move, Action::PassOn},
  };
  int i = 0;
  for (const Case& c : cases) {
    CaptureState s{};
    s.Tracking = c.tracking;
    s.SelectionDone = c.ended == Done;
    s.SelectionCancelled = c.ended == Cancelled;
    EXPECT_EQ(c.tracker(s, c.event), c.action) << "case " << i++;
  }
}

// The corners as the user sets them, the rectangle the grab then takes and
// the readout the band showed: the capture is the size the readout says.
TEST(Selection, AreaCornersOrderedAndPlusOne) {
  struct Case {
    CapturePoint first, second;
    CaptureRectangle grabbed;
    const char* readout;
  };
  const Case cases[] = {
      {{100, 100}, {299, 199}, {100, 100, 300, 200}, "200x100"},
      {{299, 199}, {100, 100}, {100, 100, 300, 200}, "200x100"},  // right to left, bottom to top
      {{299, 100}, {100, 199}, {100, 100, 300, 200}, "200x100"},
      {{100, 199}, {299, 100}, {100, 100, 300, 200}, "200x100"},
      {{500, 300}, {500, 300}, {500, 300, 501, 301}, "1x1"},    // both releases at one point
      {{500, 300}, {499, 300}, {499, 300, 501, 301}, "2x1"},    // one pixel to the left
      {{1000, 300}, {1023, 310}, {1000, 300, 1024, 311}, "24x11"},  // the last column of 1024
      {{0, 0}, {1024, 768}, {0, 0, 1025, 769}, "1025x769"},    // clamped bounds are inclusive
  };
  for (const Case& c : cases) {
    CaptureState s{};
    StartArea(s, c.first);
    EXPECT_EQ(s.Tracking, 1);
    EXPECT_EQ(s.Anchor.x, c.first.x);
    EXPECT_EQ(s.Current.y, c.first.y);
    s.Current = c.second;
    char text[kReadoutSize];
    FormatReadout(Band{s.Anchor, s.Current}, text, sizeof text);
    EXPECT_STREQ(text, c.readout);
    FinishArea(s);
    EXPECT_EQ(s.Tracking, 0);
    const CaptureRectangle r = InclusiveToExclusive(s.CaptureRect);
    EXPECT_EQ(r.left, c.grabbed.left) << c.readout;
    EXPECT_EQ(r.top, c.grabbed.top) << c.readout;
    EXPECT_EQ(r.right, c.grabbed.right) << c.readout;
    EXPECT_EQ(r.bottom, c.grabbed.bottom) << c.readout;
    EXPECT_EQ(std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top), c.readout);
  }
}

TEST(Selection, ReadoutCentredWithDivisionsTowardZero) {
  struct Case {
    Band band;
    std::int32_t cx, cy;
    CapturePoint origin;
  };
  const Case cases[] = {
      {{{100, 100}, {299, 199}}, 62, 16, {168, 141}},
      {{{299, 199}, {100, 100}}, 62, 16, {168, 142}},  // the reversed y order lands one lower
      {{{500, 300}, {500, 300}}, 22, 16, {489, 292}},  // a band of one pixel: the text sticks out
      {{{500, 300}, {499, 300}}, 23, 16, {488, 292}},
      {{{0, 0}, {2, 0}}, 7, 3, {-2, -1}},              // -5 / 2 is -2, not -3
      {{{2, 3}, {0, 0}}, 7, 4, {-2, 0}},
  };
  for (const Case& c : cases) {
    const CapturePoint p = ReadoutOrigin(c.band, c.cx, c.cy);
    EXPECT_EQ(p.x, c.origin.x) << c.band.a.x << "," << c.band.a.y;
    EXPECT_EQ(p.y, c.origin.y) << c.band.a.x << "," << c.band.a.y;
  }
  char small[4];
  FormatReadout(Band{{0, 0}, {1999, 0}}, small, sizeof small);
  EXPECT_STREQ(small, "200") << "cut to the buffer, never past it";
}

std::set<std::pair<int, int>> Covered(const Bar* bars, int n, bool* overlap) {
  std::set<std::pair<int, int>> pixels;
  *overlap = false;
  for (int i = 0; i < n; ++i) {
    for (int y = bars[i].y; y < bars[i].y + bars[i].height; ++y) {
      for (int x = bars[i].x; x < bars[i].x + bars[i].width; ++x) *overlap |= !pixels.insert({x, y}).second;
    }
  }
  return pixels;
}

TEST(Selection, FrameBarsAlongTheEdgeNeverOverlap) {
  Bar bars[4];
  EXPECT_EQ(FrameBars(0, 40, bars), 0);
  EXPECT_EQ(FrameBars(40, -1, bars), 0);
  // Every size, small ones included: exactly the pixels within 3 of the
  // edge, each once, so that a second inversion restores the window.
  for (int w = 1; w <= 12; ++w) {
    for (int h = 1; h <= 12; ++h) {
      const int n = FrameBars(w, h, bars);
      bool overlap = false;
      const auto pixels = Covered(bars, n, &overlap);
      EXPECT_FALSE(overlap) << w << "x" << h;
      std::set<std::pair<int, int>> edge;
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          if (std::min(std::min(x, w - 1 - x), std::min(y, h - 1 - y)) < 3) edge.insert({x, y});
        }
      }
      EXPECT_EQ(pixels, edge) << w << "x" << h;
      for (int i = 0; i < n; ++i) EXPECT_TRUE(bars[i].width > 0 && bars[i].height > 0) << w << "x" << h;
    }
  }
}

TEST(Selection, DefinedSizeBoxFollowsThePointer) {
  CaptureState s{};
  s.CaptureRect = BoxStartRect(200, 100);
  s.Anchor = BoxAnchor(200, 100);
  ASSERT_EQ(s.Anchor.x, 100);
  ASSERT_EQ(s.Anchor.y, 50);
  MoveBox(s, {100, 50});  // the move that setting the pointer causes
  EXPECT_EQ(InclusiveToExclusive(s.CaptureRect).right, 200) << "left where it starts: 200 by 100";
  MoveBox(s, {400, 300});
  MoveBox(s, ClampToScreen({5000, 300}, 1024, 768));
  EXPECT_EQ(s.Anchor.x, 1024);
  EXPECT_EQ(s.Current.x, 1024);
  const CaptureRectangle box = InclusiveToExclusive(s.CaptureRect);
  EXPECT_EQ(box.left, 924);
  EXPECT_EQ(box.top, 250);
  EXPECT_EQ(box.right - box.left, 200) << "the box keeps its size beyond the edge";
  EXPECT_EQ(box.bottom - box.top, 100);
  const CaptureRectangle grabbed = ClipToScreen(box, 1024, 768);
  EXPECT_EQ(grabbed.right - grabbed.left, 100) << "the grab clips it";
  MoveBox(s, {0, 0});
  EXPECT_EQ(s.CaptureRect.left, -100);
  EXPECT_EQ(s.CaptureRect.top, -50);
}

TEST(Selection, EscapeEndsOnlyAnOpenSelection) {
  constexpr std::uint32_t kPress = 0x00010001, kRepeat = 0x40010001, kRelease = 0xC0010001;
  enum Tracker { None, Installed, InstalledDone };
  struct Step {
    Tracker tracker;
    int code;
    std::uint32_t key, data;
    EscapeDecision decision;
    std::int32_t cancelledAfter, heldAfter;
  };
  using D = EscapeDecision;
  const Step steps[] = {
      {None, 0, kVirtualKeyEscape, kPress, D::PassOn, 0, 0},       // no selection: the application's
      {None, 0, kVirtualKeyEscape, kRelease, D::PassOn, 0, 0},
      {Installed, 0, 0x41, kPress, D::PassOn, 0, 0},               // other keys pass
      {Installed, -1, kVirtualKeyEscape, kPress, D::PassOn, 0, 0},  // not an action code
      {Installed, 0, kVirtualKeyEscape, kPress, D::Cancel, 1, 1},
      {Installed, 0, kVirtualKeyEscape, kRepeat, D::Swallow, 1, 1},
      {None, 0, kVirtualKeyEscape, kRepeat, D::Swallow, 1, 1},     // tracker gone, key still held
      {None, 0, kVirtualKeyEscape, kRelease, D::Swallow, 1, 0},
      {None, 0, kVirtualKeyEscape, kRelease, D::PassOn, 1, 0},
      {None, 3, kVirtualKeyEscape, kPress, D::PassOn, 1, 0},       // a fresh press afterwards
      {InstalledDone, 0, kVirtualKeyEscape, kPress, D::Swallow, 0, 1},  // completed already
      {None, 0, kVirtualKeyEscape, kPress, D::PassOn, 0, 0},       // a new press, not a repeat
  };
  CaptureState s{};
  int i = 0;
  for (const Step& step : steps) {
    s.TrackerHookHandle = step.tracker == None ? 0 : 0x99;
    if (step.tracker == InstalledDone) {
      ResetSelection(s);
      s.SelectionDone = 1;
    }
    EXPECT_EQ(DecideEscape(s, step.code, step.key, step.data), step.decision) << "step " << i;
    EXPECT_EQ(s.SelectionCancelled, step.cancelledAfter) << "step " << i;
    EXPECT_EQ(s.EscapeHeld, step.heldAfter) << "step " << i;
    ++i;
  }
}

TEST(Selection, ResetForgetsTheLastSelectionAndAStrandedGuard) {
  CaptureState s{};
  PublishSelection(s);
  EXPECT_TRUE(SelectionCompleted(s) && SelectionEnded(s) && !SelectionCancelledByUser(s));
  s.InHook = 1;  // left behind by a hook whose process died inside it
  s.SelectionCancelled = 1;
  ResetSelection(s);
  EXPECT_FALSE(SelectionEnded(s));
  EXPECT_EQ(s.InHook, 0);
}

TEST(Selection, GuardAdmitsOneThreadAtATime) {
  std::int32_t inHook = 0;
  ASSERT_TRUE(TryEnterTracker(inHook));
  EXPECT_FALSE(TryEnterTracker(inHook)) << "a second entry is refused";
  LeaveTracker(inHook);
  EXPECT_TRUE(TryEnterTracker(inHook));
  LeaveTracker(inHook);

  // Two hook threads hammering the guard: never both inside.
  std::atomic<int> inside{0}, worst{0}, refused{0};
  std::atomic<int> entered[2] = {0, 0};
  auto hook = [&](int id) {
    for (int i = 0; i < 200000; ++i) {
      if (!TryEnterTracker(inHook)) {
        ++refused;
        continue;
      }
      const int now = ++inside;
      if (now > worst) worst = now;
      ++entered[id];
      --inside;
      LeaveTracker(inHook);
    }
  };
  std::thread a(hook, 0), b(hook, 1);
  a.join();
  b.join();
  // How often each got in is the scheduler's business; never both at once.
  EXPECT_EQ(worst.load(), 1);
  EXPECT_EQ(entered[0] + entered[1] + refused, 400000);
  EXPECT_EQ(inHook, 0);
}

}  // namespace
