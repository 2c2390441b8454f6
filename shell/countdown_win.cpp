// The countdown holds the busy flag while it runs, so that the system menu,
// the notification-area menu, closing and log-off meet the same refusals as
// during a capture; a second hot key is not even a request. The status
// window is shown without taking the activation, so that the user can go on
// working (open the menu that is to be in the picture); this program's own
// dialogs take no input meanwhile, as during a capture. Esc is watched with
// GetAsyncKeyState, not taken: the keyboard stays with the application.
#include "shell/countdown_win.h"

#include "platform/progress.h"
#include "shell/countdown.h"
#include "shell/pipeline_win.h"
#include "shell/status_window.h"

namespace {

constexpr UINT_PTR kCountdownTimerId = 0x4344;

struct CountdownState {
  Countdown clock;
  std::int32_t shownSeconds;  // what the text says now
  char text[32];              // the status window points at it while shown
  HeldWindows held;           // the dialogs open when it began
};

CountdownState g_countdown{};

void ShowTick(const ShellState& shell, const CountdownTick& tick) {
  if (tick.secondsLeft != g_countdown.shownSeconds) {
    FormatCountdownText(tick.secondsLeft, g_countdown.text, sizeof g_countdown.text);
    g_countdown.shownSeconds = tick.secondsLeft;
    if (shell.statusWindow != nullptr) SendMessageA(shell.statusWindow, kStatusTextMessage, 0, 0);
  }
  if (shell.statusWindow != nullptr) SendMessageA(shell.statusWindow, kProgressMessage, tick.percent, 0);
}

void End(ShellState& shell) {
  KillTimer(shell.mainWindow, kCountdownTimerId);
  g_countdown.clock.active = false;
  HideStatus();
  // A capture that follows holds them again before any input is taken.
  ReleaseInput(&g_countdown.held);
  shell.busy = false;
}

void Begin(ShellState& shell) {
  // Without a timer the countdown would never end: the capture at once is
  // closer to what the user asked for.
  if (SetTimer(shell.mainWindow, kCountdownTimerId, kCountdownTickMs, nullptr) == 0) {
    RunCapturePipeline(shell);
    return;
  }
  shell.busy = true;
  HoldInput(shell, &g_countdown.held);
  g_countdown.clock = StartCountdown(shell.settings.Delay, GetTickCount());
  GetAsyncKeyState(VK_ESCAPE);  // forgets an Esc pressed before the countdown
  const CountdownTick first = StepCountdown(g_countdown.clock, g_countdown.clock.startTick);
  FormatCountdownText(first.secondsLeft, g_countdown.text, sizeof g_countdown.text);
  g_countdown.shownSeconds = first.secondsLeft;
  ShowStatus(g_countdown.text);
}

// Down now, or pressed and released since the last look (a tap shorter
// than a tick).
bool EscapePressed() { return (GetAsyncKeyState(VK_ESCAPE) & 0x8001) != 0; }

void OnTick(ShellState& shell) {
  if (!g_countdown.clock.active) {
    KillTimer(shell.mainWindow, kCountdownTimerId);
    return;
  }
  if (EscapePressed()) {
    End(shell);  // abandoned: no capture, nothing to report
    return;
  }
  const CountdownTick tick = StepCountdown(g_countdown.clock, GetTickCount());
  switch (tick.phase) {
    case CountdownPhase::Counting:
      ShowTick(shell, tick);
      break;
    case CountdownPhase::Hide:
      // Hidden before the grab, with time for what it covered to repaint.
      HideStatus();
      MarkHidden(&g_countdown.clock, GetTickCount());
      break;
    case CountdownPhase::Settling:
      break;
    case CountdownPhase::Capture:
      End(shell);
      RunCapturePipeline(shell);
      break;
  }
}

}  // namespace

void RequestCapture(ShellState& shell) {
  switch (DecideCaptureRequest(g_countdown.clock.active, shell.busy, shell.settings.Delay)) {
    case CaptureRequestAction::Ignore: return;
    case CaptureRequestAction::RunPipeline: RunCapturePipeline(shell); return;
    case CaptureRequestAction::StartCountdown: Begin(shell); return;
  }
}

bool HandleCountdownMessage(ShellState& shell, UINT message, WPARAM wParam) {
  if (message == WM_TIMER && wParam == kCountdownTimerId) {
    OnTick(shell);
    return true;
  }
  // Outside a countdown the cancel message is left to the long operations
  // that look for it.
  if (message == kCancelMessage && g_countdown.clock.active) {
    End(shell);
    return true;
  }
  return false;
}

bool CountdownRunning() { return g_countdown.clock.active; }

void StopCountdown(ShellState& shell) {
  if (!g_countdown.clock.active) return;
  KillTimer(shell.mainWindow, kCountdownTimerId);
  g_countdown.clock.active = false;
  ReleaseInput(&g_countdown.held);
}

void ShowDelayChoice(HWND dialog, int id, std::int32_t delay) {
  for (int i = 0; i < kCaptureDelayCount; ++i) {
    SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(CaptureDelayText(i)));
  }
  SendDlgItemMessageA(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(CaptureDelayIndex(delay)), 0);
}

std::int32_t ChosenDelay(HWND dialog, int id) {
  return CaptureDelayAt(static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0)));
}
