// The hot-key decision of the keyboard hook, free of the platform so that it
// can be tested natively.
#pragma once

#include <cstdint>

struct HotKeyEvent {
  int code;                 // hook code
  std::uint32_t virtualKey; // wParam
  std::uint32_t keyData;    // lParam: bit 31 transition, bit 29 context (Alt)
  bool ctrlDown;            // high bit of GetKeyState(VK_CONTROL)
  bool shiftDown;           // high bit of GetKeyState(VK_SHIFT)
};

struct HotKeySetting {
  std::uint8_t needAlt, needCtrl, needShift, keyIndex;
};

constexpr std::uint32_t kVirtualKeyF1 = 0x70;

// True when the event is a press (or auto-repeat) of the hot key with exactly
// the required modifiers. Left and right modifier keys count alike.
bool IsHotKeyPress(const HotKeyEvent& event, const HotKeySetting& setting);
