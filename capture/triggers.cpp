// Trigger decisions over the shared state; see triggers.h.
#include "capture/triggers.h"

bool BeginArming(CaptureState& s, const ArmingArguments& a, bool armedWindowExists) {
  if (s.Armed != 0) {
    if (armedWindowExists) return false;
    // The dead program's hooks went with its process; only the record stays.
    s.KeyboardHookHandle = 0;
    s.ClickHookHandle = 0;
    s.TimerId = 0;
  }
  // A program arms only between its captures, so no capture runs now. What
  // says otherwise was left by a program that ended inside CaptureScreen (a
  // selection it was killed in, say) while other processes kept the library
  // mapped: left set, Busy would keep every trigger from posting while the
  // hook still swallowed the hot key, and the new arming would be deaf.
  s.Busy = 0;
  s.SelectionDone = 0;
  s.Tracking = 0;
  s.InHook = 0;
  s.TrackerHookHandle = 0;
  s.RightButtonHeld = 0;
  s.HotKeyDown = 0;
  s.Armed = 1;
  s.NotifyWindow = a.notifyWindow;
  s.Mode = static_cast<std::uint16_t>(a.mode);
  s.NotifyMessage = a.message;
  s.IncludeCursor = a.includeCursor;
  s.HideForFullScreen = a.hideForFullScreen;
  s.NeedAlt = static_cast<std::uint8_t>(a.alt);
  s.NeedCtrl = static_cast<std::uint8_t>(a.ctrl);
  s.NeedShift = static_cast<std::uint8_t>(a.shift);
  s.KeyIndex = static_cast<std::uint8_t>(a.keyIndex);
  s.BoxWidth = a.boxWidth;
  s.BoxHeight = a.boxHeight;
  s.PickedWindow = 0;
  return true;
}

int FinishArming(CaptureState& s, Trigger trigger, std::uint32_t handle) {
  switch (trigger) {
    case Trigger::Keyboard: s.KeyboardHookHandle = handle; break;
    case Trigger::Click: s.ClickHookHandle = handle; break;
    case Trigger::Timer: s.TimerId = handle; break;
    case Trigger::None: handle = 0; break;
  }
  if (handle == 0) {
    s.Armed = 0;
    return 0;
  }
  return 1;
}

Trigger TriggerToRemove(const CaptureState& s) {
  if (s.KeyboardHookHandle != 0) return Trigger::Keyboard;
  if (s.ClickHookHandle != 0) return Trigger::Click;
  if (s.TimerId != 0) return Trigger::Timer;
  return Trigger::None;
}

void FinishDisarming(CaptureState& s, Trigger removed) {
  switch (removed) {
    case Trigger::Keyboard: s.KeyboardHookHandle = 0; break;
    case Trigger::Click: s.ClickHookHandle = 0; break;
    case Trigger::Timer: s.TimerId = 0; break;
    case Trigger::None: return;  // nothing was armed: Armed stays as it is
  }
  s.Armed = 0;
}

ClickDecision DecideRightClick(CaptureState& s, std::uint32_t message) {
  if (s.Busy == 0 && message == kRightButtonDown) {
    s.RightButtonHeld = 1;
    return {true, true};
  }
  if (s.RightButtonHeld != 0 && message == kRightButtonUp) {
    s.RightButtonHeld = 0;
    return {false, true};
  }
  return {false, false};
}

bool TimerShouldPost(const CaptureState& s, std::uint32_t timerId) {
  return timerId == s.TimerId && s.TimerId != 0 && s.Busy != 1;
}
