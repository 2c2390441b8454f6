// The hot-key decision of the keyboard hook, free of the platform so that it
// can be tested natively.
#pragma once

#include <cstdint>

#include "capture/capture_state.h"

struct HotKeyEvent {
  int code;                 // hook code
  std::uint32_t virtualKey; // wParam
  std::uint32_t keyData;    // lParam: bit 31 transition, bit 30 previous state, bit 29 context (Alt)
  bool ctrlDown;            // high bit of GetKeyState(VK_CONTROL)
  bool shiftDown;           // high bit of GetKeyState(VK_SHIFT)
  std::uint32_t thread = 0; // the thread the hook runs on
};

struct HotKeySetting {
  std::uint8_t needAlt, needCtrl, needShift, keyIndex;
};

constexpr std::uint32_t kVirtualKeyF1 = 0x70;

// The virtual key a setting's index names: F1 to F24 follow each other, and
// a hand-edited index past them names whatever key code follows.
constexpr std::uint32_t HotKeyVirtualKey(std::uint32_t keyIndex) { return kVirtualKeyF1 + keyIndex; }

// True when the event is a press (or auto-repeat) of the hot key with exactly
// the required modifiers. Left and right modifier keys count alike.
bool IsHotKeyPress(const HotKeyEvent& event, const HotKeySetting& setting);

// How the keystroke being held was first seen, kept in CaptureState's
// HotKeyDown.
enum HotKeyStroke : std::int32_t {
  HotKeyUp = 0,
  HotKeyPeeked = 1,  // HC_NOREMOVE: the application looked without taking it
  HotKeyTaken = 2,   // HC_ACTION: the application took it from its queue
};

struct HotKeyDecision {
  bool post;     // post the capture request message
  bool swallow;  // return 1 instead of passing the event on
};
// The keyboard hook's decision for the hot key. Every press of the key with
// the required modifiers is swallowed; one keystroke posts at most once (and
// not at all while Busy), however long it is held and whichever hook codes it
// arrives with. The key's release is passed on and ends the keystroke.
HotKeyDecision DecideHotKey(CaptureState& state, const HotKeyEvent& event);
