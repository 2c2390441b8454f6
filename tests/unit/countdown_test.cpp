// The capture delay: the request's decision, the countdown's clock and texts.
#include <gtest/gtest.h>

#include "shell/countdown.h"

namespace {

TEST(CaptureRequest, CountdownIgnoresBusyRefusesDelayWaits) {
  const struct {
    bool countingDown, busy;
    std::int32_t delay;
    CaptureRequestAction action;
  } cases[] = {{false, false, 0, CaptureRequestAction::RunPipeline},
               {false, false, 3, CaptureRequestAction::StartCountdown},
               {false, false, 10, CaptureRequestAction::StartCountdown},
               {false, true, 3, CaptureRequestAction::RunPipeline},  // the pipeline says "I'm Busy!"
               {false, true, 0, CaptureRequestAction::RunPipeline},
               {true, true, 3, CaptureRequestAction::Ignore},
               {true, true, 0, CaptureRequestAction::Ignore}};
  for (const auto& c : cases) {
    EXPECT_EQ(DecideCaptureRequest(c.countingDown, c.busy, c.delay), c.action)
        << c.countingDown << c.busy << " delay " << c.delay;
  }
}

TEST(Countdown, SecondsRoundUpThenHide) {
  const struct {
    std::uint32_t elapsed;
    CountdownPhase phase;
    std::int32_t left;
    int percent;
  } cases[] = {{0, CountdownPhase::Counting, 3, 0},      {999, CountdownPhase::Counting, 3, 33},
               {1000, CountdownPhase::Counting, 2, 33},  {1500, CountdownPhase::Counting, 2, 50},
               {2999, CountdownPhase::Counting, 1, 99},  {3000, CountdownPhase::Hide, 0, 100},
               {60000, CountdownPhase::Hide, 0, 100}};
  // Once from an ordinary start, once across the wrap of the tick count.
  for (const std::uint32_t start : {1000u, 0xFFFFFF00u}) {
    const Countdown c = StartCountdown(3, start);
    EXPECT_TRUE(c.active);
    for (const auto& k : cases) {
      const CountdownTick t = StepCountdown(c, start + k.elapsed);
      EXPECT_EQ(t.phase, k.phase) << k.elapsed << " ms from " << start;
      EXPECT_EQ(t.secondsLeft, k.left) << k.elapsed << " ms from " << start;
      EXPECT_EQ(t.percent, k.percent) << k.elapsed << " ms from " << start;
    }
  }
  EXPECT_EQ(StepCountdown(StartCountdown(10, 0), 0).secondsLeft, 10);
  EXPECT_FALSE(StartCountdown(0, 5).active) << "no delay, no countdown";
}

TEST(Countdown, CaptureWaitsFromTheHidingHoweverLateTheTimer) {
  // Hidden on time, or on a timer 2 s late: the wait counts from the hiding.
  for (const std::uint32_t hiddenAt : {3000u, 5000u, 0xFFFFFFF0u}) {
    Countdown c = StartCountdown(3, 0);
    MarkHidden(&c, hiddenAt);
    const struct {
      std::uint32_t after;
      CountdownPhase phase;
    } cases[] = {{0, CountdownPhase::Settling},
                 {kCountdownSettleMs - 1, CountdownPhase::Settling},
                 {kCountdownSettleMs, CountdownPhase::Capture}};
    for (const auto& k : cases) {
      EXPECT_EQ(StepCountdown(c, hiddenAt + k.after).phase, k.phase) << k.after << " ms after " << hiddenAt;
    }
  }
}

TEST(Countdown, TextAndTheListOfDelays) {
  char text[32];
  FormatCountdownText(3, text, sizeof text);
  EXPECT_STREQ(text, "Capturing in 3 s");
  FormatCountdownText(10, text, sizeof text);
  EXPECT_STREQ(text, "Capturing in 10 s");
  const struct {
    std::int32_t delay;
    int index;
    const char* text;
  } cases[] = {{0, 0, "None"}, {3, 1, "3 seconds"}, {5, 2, "5 seconds"}, {10, 3, "10 seconds"}};
  for (const auto& c : cases) {
    EXPECT_EQ(CaptureDelayIndex(c.delay), c.index);
    EXPECT_EQ(CaptureDelayAt(c.index), c.delay);
    EXPECT_STREQ(CaptureDelayText(c.index), c.text);
  }
  EXPECT_EQ(CaptureDelayIndex(7), 0);
  EXPECT_EQ(CaptureDelayAt(-1), 0) << "no selection in the list is none";
  EXPECT_EQ(CaptureDelayAt(4), 0);
}

}  // namespace
