// The capture delay's decisions and clock.
#include "shell/countdown.h"

#include <cstdio>

CaptureRequestAction DecideCaptureRequest(bool countingDown, bool busy, std::int32_t delay) {
  // The countdown holds the busy flag, so it is asked first: a second press
  // then is no request at all, not a "busy" one.
  if (countingDown) return CaptureRequestAction::Ignore;
  if (busy || delay <= 0) return CaptureRequestAction::RunPipeline;
  return CaptureRequestAction::StartCountdown;
}

Countdown StartCountdown(std::int32_t seconds, std::uint32_t now) {
  return Countdown{seconds > 0, now, seconds > 0 ? seconds : 0, false, 0};
}

void MarkHidden(Countdown* c, std::uint32_t now) {
  c->hidden = true;
  c->hiddenTick = now;
}

CountdownTick StepCountdown(const Countdown& c, std::uint32_t now) {
  // Unsigned subtraction keeps the elapsed time right across the wrap of
  // the 32-bit tick count, every 49.7 days.
  const std::uint32_t elapsed = now - c.startTick;
  const std::uint32_t total = static_cast<std::uint32_t>(c.seconds) * 1000u;
  if (c.hidden) {
    const bool due = now - c.hiddenTick >= kCountdownSettleMs;
    return CountdownTick{due ? CountdownPhase::Capture : CountdownPhase::Settling, 0, 100};
  }
  if (elapsed >= total) return CountdownTick{CountdownPhase::Hide, 0, 100};
  const std::uint32_t left = (total - elapsed + 999u) / 1000u;
  const int percent = static_cast<int>(static_cast<std::uint64_t>(elapsed) * 100u / total);
  return CountdownTick{CountdownPhase::Counting, static_cast<std::int32_t>(left), percent};
}

void FormatCountdownText(std::int32_t secondsLeft, char* out, std::size_t size) {
  if (out == nullptr || size == 0) return;
  std::snprintf(out, size, "Capturing in %ld s", static_cast<long>(secondsLeft));
}

int CaptureDelayIndex(std::int32_t delay) {
  for (int i = 0; i < kCaptureDelayCount; ++i) {
    if (kCaptureDelays[i] == delay) return i;
  }
  return 0;
}

std::int32_t CaptureDelayAt(int index) {
  return index >= 0 && index < kCaptureDelayCount ? kCaptureDelays[index] : 0;
}

const char* CaptureDelayText(int index) {
  static const char* const kTexts[kCaptureDelayCount] = {"None", "3 seconds", "5 seconds", "10 seconds"};
  return index >= 0 && index < kCaptureDelayCount ? kTexts[index] : kTexts[0];
}
