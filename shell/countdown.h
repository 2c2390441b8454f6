// The capture delay: what a capture request does, and the countdown from the
// hot key to the capture, free of the platform's timer and windows.
#pragma once

#include <cstddef>
#include <cstdint>

// What the main window does with a capture request.
enum class CaptureRequestAction {
  RunPipeline,     // the capture now (the pipeline refuses it itself while busy)
  StartCountdown,  // the capture after the delay
  Ignore,          // a countdown runs: one press, one capture
};

CaptureRequestAction DecideCaptureRequest(bool countingDown, bool busy, std::int32_t delay);

// The countdown's clock, in the platform's millisecond ticks.
struct Countdown {
  bool active;
  std::uint32_t startTick;
  std::int32_t seconds;  // the delay it counts
  bool hidden;           // the status window is gone, since `hiddenTick`
  std::uint32_t hiddenTick;
};

// After the last second the status window is hidden and the capture waits
// this long from then, so that what it covered is repainted before the
// grab, however late the timer came.
constexpr std::uint32_t kCountdownSettleMs = 250;
// How often the countdown looks at the clock (and at Esc).
constexpr std::uint32_t kCountdownTickMs = 100;

enum class CountdownPhase {
  Counting,  // show `secondsLeft` and `percent`
  Hide,      // the time is up: hide the status window (then MarkHidden)
  Settling,  // hidden, the capture not yet due
  Capture,   // run the capture now
};

struct CountdownTick {
  CountdownPhase phase;
  std::int32_t secondsLeft;  // rounded up: "3 s" from the first moment
  int percent;               // of the delay gone, 0 to 100
};

Countdown StartCountdown(std::int32_t seconds, std::uint32_t now);
// Where the countdown stands at tick `now`; the tick counter may wrap.
CountdownTick StepCountdown(const Countdown& countdown, std::uint32_t now);
void MarkHidden(Countdown* countdown, std::uint32_t now);

// "Capturing in 3 s".
void FormatCountdownText(std::int32_t secondsLeft, char* out, std::size_t size);

// The delays Capture Setup offers, in the order of its list.
constexpr std::int32_t kCaptureDelays[] = {0, 3, 5, 10};
constexpr int kCaptureDelayCount = 4;
// The list's entry for a delay (0, "None", for one not offered), and back.
int CaptureDelayIndex(std::int32_t delay);
std::int32_t CaptureDelayAt(int index);
// The list's text of an entry: "None", "3 seconds", ...
const char* CaptureDelayText(int index);
