// The capture library's portable rules: arming and its failure, disarming
// order, the right-click and timer rules, and the grab's geometry and header
// arithmetic.
#include <gtest/gtest.h>

#include <array>
#include <utility>
#include <vector>

#include "capture/grab_geometry.h"
#include "capture/triggers.h"
#include "imaging/bytes.h"
#include "imaging/dib.h"

namespace {

constexpr ArmingArguments kArgs{0x1234, 0x10003, 0x401, 1, 1, 0x101, 0x1FF, 0, 0x10A, 200, 100};

TEST(Arming, KeepsTheArgumentsByTheirWidths) {
  CaptureState s{};
  s.PickedWindow = 99;
  ASSERT_TRUE(BeginArming(s, kArgs, false));
  EXPECT_EQ(s.Armed, 1);
  EXPECT_EQ(s.NotifyWindow, 0x1234u);
  EXPECT_EQ(s.Mode, 3) << "low 16 bits";
  EXPECT_EQ(s.NotifyMessage, 0x401u);
  EXPECT_EQ((s.NeedAlt << 16) | (s.NeedCtrl << 8) | s.NeedShift, 0x01FF00) << "low bytes";
  EXPECT_EQ(s.KeyIndex, 10);
  EXPECT_EQ(s.BoxWidth, 200);
  EXPECT_EQ(s.BoxHeight, 100);
  EXPECT_EQ(s.PickedWindow, 0u);
  EXPECT_EQ(FinishArming(s, Trigger::Keyboard, 0x77), 1);
  EXPECT_EQ(s.KeyboardHookHandle, 0x77u);
}

TEST(Arming, SecondArmingIsRefusedWhileItsWindowLives) {
  CaptureState s{};
  ASSERT_TRUE(BeginArming(s, kArgs, false));
  FinishArming(s, Trigger::Keyboard, 0x77);
  ArmingArguments other = kArgs;
  other.keyIndex = 2;
  other.notifyWindow = 0x999;
  EXPECT_FALSE(BeginArming(s, other, true));
  EXPECT_EQ(s.KeyIndex, 10) << "the first arming's settings stay";
  EXPECT_EQ(s.NotifyWindow, 0x1234u);
  EXPECT_EQ(s.KeyboardHookHandle, 0x77u);
}

TEST(Arming, StaleArmingOfAVanishedWindowIsReplaced) {
  CaptureState s{};
  BeginArming(s, kArgs, false);
  FinishArming(s, Trigger::Click, 0x55);
  ArmingArguments other = kArgs;
  other.notifyWindow = 0x999;
  ASSERT_TRUE(BeginArming(s, other, false));
  EXPECT_EQ(s.NotifyWindow, 0x999u);
  EXPECT_EQ(s.ClickHookHandle, 0u) << "the dead program's hook is not the new one's";
  EXPECT_EQ(FinishArming(s, Trigger::Keyboard, 0x66), 1);
  EXPECT_EQ(TriggerToRemove(s), Trigger::Keyboard);
}

TEST(Arming, ClearsWhatAProgramThatDiedInACaptureLeftSet) {
  for (const bool stale : {true, false}) {
    CaptureState s{};
    BeginArming(s, kArgs, false);
    FinishArming(s, Trigger::Keyboard, 0x55);
    // Killed during an Area selection: inside CaptureScreen, tracker installed.
    s.Busy = 1;
    s.Tracking = 1;
    s.InHook = 1;
    s.SelectionDone = 1;
    s.TrackerHookHandle = 0x66;
    s.RightButtonHeld = 1;
    s.HotKeyDown = 2;
    if (!stale) FinishDisarming(s, Trigger::Keyboard);  // or it had disarmed, and another program armed
    ASSERT_TRUE(BeginArming(s, kArgs, false));
    EXPECT_EQ(s.Busy, 0) << "a trigger that never posts would make the new program deaf";
    EXPECT_EQ(s.Tracking + s.InHook + s.SelectionDone + s.RightButtonHeld + s.HotKeyDown, 0);
    EXPECT_EQ(s.TrackerHookHandle, 0u);
  }
}

TEST(Arming, RefusedHookOrTimerLeavesTheLibraryDisarmed) {
  for (Trigger t : {Trigger::Keyboard, Trigger::Click, Trigger::Timer}) {
    CaptureState s{};
    ASSERT_TRUE(BeginArming(s, kArgs, false));
    EXPECT_EQ(FinishArming(s, t, 0), 0) << "no silent success";
    EXPECT_EQ(s.Armed, 0);
    EXPECT_EQ(TriggerToRemove(s), Trigger::None) << "EndCapture then has nothing to remove";
    EXPECT_TRUE(BeginArming(s, kArgs, true)) << "a later arming may try again";
  }
}

TEST(Disarming, RemovesOneTriggerInItsOrder) {
  CaptureState s{};
  s.Armed = 1;
  s.KeyboardHookHandle = 1;
  s.ClickHookHandle = 2;
  s.TimerId = 3;
  const std::vector<Trigger> expected{Trigger::Keyboard, Trigger::Click, Trigger::Timer, Trigger::None};
  for (Trigger want : expected) {
    const Trigger t = TriggerToRemove(s);
    EXPECT_EQ(t, want);
    s.Armed = 1;
    FinishDisarming(s, t);
    EXPECT_EQ(s.Armed, want == Trigger::None ? 1 : 0) << "nothing to remove leaves Armed alone";
  }
}

TEST(RightClick, PressAndItsReleaseAreSwallowed) {
  struct Step {
    std::uint32_t message;
    std::int32_t busy;
    bool post, swallow;
    std::int32_t heldAfter;
  };
  // A press while busy passes on; its release then passes on too.
  const Step steps[] = {
      {kRightButtonUp, 0, false, false, 0},   {kRightButtonDown, 0, true, true, 1},
      {0x200, 0, false, false, 1},            {kRightButtonUp, 0, false, true, 0},
      {kRightButtonDown, 1, false, false, 0}, {kRightButtonUp, 1, false, false, 0},
      {0xA4, 0, false, false, 0},  // WM_NCRBUTTONDOWN is not a client press
      {kRightButtonDown, 0, true, true, 1},   {kRightButtonUp, 1, false, true, 0},
  };
  CaptureState s{};
  int i = 0;
  for (const Step& step : steps) {
    s.Busy = step.busy;
    const ClickDecision d = DecideRightClick(s, step.message);
    EXPECT_EQ(d.post, step.post) << "step " << i;
    EXPECT_EQ(d.swallow, step.swallow) << "step " << i;
    EXPECT_EQ(s.RightButtonHeld, step.heldAfter) << "step " << i;
    ++i;
  }
}

TEST(Timer, PostsForItsOwnTimerWhenNotBusy) {
  CaptureState s{};
  s.TimerId = 7;
  EXPECT_TRUE(TimerShouldPost(s, 7));
  EXPECT_FALSE(TimerShouldPost(s, 8));
  s.Busy = 1;
  EXPECT_FALSE(TimerShouldPost(s, 7));
  s.Busy = 2;  // only exactly 1 holds it back
  EXPECT_TRUE(TimerShouldPost(s, 7));
  s.TimerId = 0;
  EXPECT_FALSE(TimerShouldPost(s, 0));
}

TEST(GrabGeometry, DepthNormalisation) {
  const std::pair<std::uint16_t, std::uint16_t> table[] = {{1, 1},  {2, 4},  {3, 4},  {4, 4},   {5, 8},
                                                           {6, 8},  {7, 8},  {8, 8},  {9, 24},  {15, 24},
                                                           {16, 24}, {24, 24}, {32, 24}, {0, 24}};
  for (auto [in, out] : table) EXPECT_EQ(NormaliseBitCount(in), out) << in;
}

TEST(GrabGeometry, CaptureHeaders) {
  struct Case {
    std::int32_t w, h;
    std::uint16_t bits;
    std::uint16_t bitCount;
    std::uint32_t clrUsed, sizeImage;
    std::size_t block;
  };
  const Case cases[] = {
      {1024, 768, 16, 24, 0, 2359296, 40 + 2359296},
      {1024, 768, 32, 24, 0, 2359296, 40 + 2359296},
      {101, 3, 24, 24, 0, 304 * 3, 40 + 912},  // rows padded to 304 bytes
      {640, 480, 8, 8, 256, 640 * 480, 40 + 1024 + 307200},
      {33, 2, 4, 4, 16, 20 * 2, 40 + 64 + 40},
      {33, 2, 1, 1, 2, 8 * 2, 40 + 8 + 16},
      {7, 1, 3, 4, 16, 4, 40 + 64 + 4},
  };
  for (const Case& c : cases) {
    CaptureHeader h;
    ASSERT_TRUE(ComputeCaptureHeader(c.w, c.h, c.bits, &h)) << c.w;
    EXPECT_EQ(h.bitCount, c.bitCount);
    EXPECT_EQ(h.clrUsed, c.clrUsed);
    EXPECT_EQ(h.sizeImage, c.sizeImage);
    EXPECT_EQ(h.blockSize, c.block);
    std::vector<std::uint8_t> block(h.blockSize);
    WriteCaptureHeader(block.data(), h);
    DibLayout layout;
    ASSERT_EQ(CheckDibLayout(block.data(), block.size(), &layout), StatusOk);
    EXPECT_EQ(layout.pixelOffset + layout.imageSize, h.blockSize);
    EXPECT_EQ(GetLe32(block.data() + DibSizeImageField), c.sizeImage);
    EXPECT_EQ(GetLe32(block.data() + DibClrImportantField), c.clrUsed);
    EXPECT_EQ(GetLe16(block.data() + DibPlanesField), 1);
  }
  CaptureHeader h;
  EXPECT_FALSE(ComputeCaptureHeader(0, 10, 24, &h));
  EXPECT_FALSE(ComputeCaptureHeader(10, -1, 24, &h));
  EXPECT_FALSE(ComputeCaptureHeader(70000, 70000, 32, &h)) << "the block would pass 4 GB";
}

TEST(GrabGeometry, ClippingAndEmptiness) {
  struct Case {
    CaptureRectangle in, out;
    bool emptyAfter;
  };
  const Case cases[] = {
      {{10, 20, 110, 70}, {10, 20, 110, 70}, false},
      {{-100, -50, 200, 150}, {0, 0, 200, 150}, false},       // partly off the top left
      {{900, 700, 1200, 900}, {900, 700, 1024, 768}, false},  // partly off the bottom right
      {{2000, 2000, 2300, 2200}, {2000, 2000, 1024, 768}, true},
      {{-500, -400, -100, -10}, {0, 0, -100, -10}, true},
  };
  for (const Case& c : cases) {
    const CaptureRectangle r = ClipToScreen(c.in, 1024, 768);
    EXPECT_EQ(r.left, c.out.left);
    EXPECT_EQ(r.top, c.out.top);
    EXPECT_EQ(r.right, c.out.right);
    EXPECT_EQ(r.bottom, c.out.bottom);
    EXPECT_EQ(IsEmptyCaptureRect(r), c.emptyAfter);
  }
  EXPECT_TRUE(IsEmptyCaptureRect({5, 5, 5, 9}));
  EXPECT_TRUE(IsEmptyCaptureRect({5, 5, 9, 5}));
  EXPECT_TRUE(IsEmptyCaptureRect({0, 0, 0, 0}));
  EXPECT_FALSE(IsEmptyCaptureRect({5, 5, 6, 6}));
}

TEST(GrabGeometry, DefinedSizeBoxIsExactlyItsSize) {
  const CaptureRectangle box = InclusiveToExclusive(BoxStartRect(200, 100));
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.top, 0);
  EXPECT_EQ(box.right, 200);
  EXPECT_EQ(box.bottom, 100);
  const CapturePoint a = BoxAnchor(201, 101);
  EXPECT_EQ(a.x, 100);
  EXPECT_EQ(a.y, 50);
  // Pushed partly off the right edge: narrower than the box.
  const CaptureRectangle pushed = ClipToScreen(InclusiveToExclusive({900, 10, 1099, 109}), 1024, 768);
  EXPECT_EQ(pushed.right - pushed.left, 124);
  EXPECT_EQ(pushed.bottom - pushed.top, 100);
}

TEST(GrabGeometry, PointerPlacedByItsHotSpot) {
  EXPECT_FALSE(ShouldDrawPointer(0, ModeWindow));
  for (std::uint16_t m : {ModeFullScreen, ModeClientArea, ModeWindow, ModeObject}) EXPECT_TRUE(ShouldDrawPointer(1, m));
  EXPECT_FALSE(ShouldDrawPointer(1, ModeArea));
  EXPECT_FALSE(ShouldDrawPointer(1, ModeDefinedSize));
  const CapturePoint p = PointerDrawPosition({300, 200}, CaptureRectangle{250, 120, 500, 400}, 7, 9);
  EXPECT_EQ(p.x, 43);
  EXPECT_EQ(p.y, 71);
}

TEST(GrabGeometry, WhetherAWindowIsOnTheScreenAndThePointerShows) {
  const CaptureRectangle screen{0, 0, 1024, 768};
  // An icon bar at the bottom left; minimised on current Windows; just right
  // of the screen; one pixel on it; touching a corner from outside; no width;
  // larger than the screen.
  const std::pair<CaptureRectangle, bool> windows[] = {
      {{0, 744, 160, 768}, true},    {{-32000, -32000, -31840, -31976}, false}, {{1024, 0, 1100, 50}, false},
      {{1023, 767, 1100, 800}, true}, {{-50, -50, 0, 0}, false}, {{100, 100, 100, 200}, false},
      {{-10, -10, 2000, 2000}, true}};
  for (const auto& [w, on] : windows) EXPECT_EQ(IsOnScreen(w, screen), on) << w.left << "," << w.top;
  EXPECT_TRUE(IsOnScreen({-1280, 0, -1000, 100}, {-1280, 0, 1024, 768})) << "a monitor left of the primary";
  // Showing; hidden by the application under it; suppressed (the system
  // draws none either); its state unknown (drawn as before).
  EXPECT_EQ((std::array{PointerShowing(true, kCursorShowing), PointerShowing(true, 0), PointerShowing(true, 2),
                        PointerShowing(false, 0)}), (std::array{true, false, false, true}));
}

}  // namespace
