// The capture library's trigger decisions over the shared state, free of the
// platform: arming and its failure, the right-click rule, the timer test and
// the order in which EndCapture removes a trigger. The hook procedures only
// gather an event's fields, ask these, and make the one system call named.
#pragma once

#include <cstdint>

#include "capture/capture_state.h"

enum class Trigger { None, Keyboard, Click, Timer };

// Arguments 1 to 11 of every arming call, as the shared state keeps them.
struct ArmingArguments {
  std::uint32_t notifyWindow;
  std::uint32_t mode;  // low 16 bits kept
  std::uint32_t message;
  std::int32_t includeCursor;
  std::int32_t hideForFullScreen;
  std::uint32_t alt, ctrl, shift, keyIndex;  // low byte kept
  std::int32_t boxWidth, boxHeight;
};

// Steps 1 to 4 of arming. False (and nothing changed) while the library is
// armed for a window that still exists. An arming whose window has gone (its
// program ended without disarming, and another process keeps the library
// mapped) is stale: it is forgotten and the new arming takes its place.
// Arming also clears what a capture leaves set while it runs (Busy, the
// tracker's state), since none runs while a program arms.
bool BeginArming(CaptureState& state, const ArmingArguments& args, bool armedWindowExists);
// Records the installed hook or timer. A null handle means the system refused
// it: the library is left disarmed, so the arming call reports 0 and a later
// one can try again. Returns the arming call's result, 1 or 0.
int FinishArming(CaptureState& state, Trigger trigger, std::uint32_t handle);

// The one trigger EndCapture removes: keyboard hook, else click hook, else timer.
Trigger TriggerToRemove(const CaptureState& state);
// Forgets the removed trigger's handle and disarms.
void FinishDisarming(CaptureState& state, Trigger removed);

constexpr std::uint32_t kRightButtonDown = 0x204;  // WM_RBUTTONDOWN
constexpr std::uint32_t kRightButtonUp = 0x205;    // WM_RBUTTONUP

struct ClickDecision {
  bool post;     // post the capture request message
  bool swallow;  // return 1 instead of passing the event on
};
// The right-click trigger: a press while idle posts and is swallowed, and so
// is the release that belongs to it. Updates RightButtonHeld.
ClickDecision DecideRightClick(CaptureState& state, std::uint32_t message);

// The timed trigger posts for its own timer while no capture runs.
bool TimerShouldPost(const CaptureState& state, std::uint32_t timerId);
