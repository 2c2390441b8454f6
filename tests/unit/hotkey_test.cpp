// The hot-key decision: exact modifiers, presses only, F1 + KeyIndex.
#include <gtest/gtest.h>

#include "capture/hotkey.h"

namespace {

constexpr std::uint32_t kAltBit = 0x20000000u;
constexpr std::uint32_t kReleaseBit = 0x80000000u;
constexpr HotKeySetting kCtrlAltF11{1, 1, 0, 10};

HotKeyEvent Press(std::uint32_t vk, bool alt, bool ctrl, bool shift, int code = 0) {
  return HotKeyEvent{code, vk, 1u | (alt ? kAltBit : 0u), ctrl, shift};
}

TEST(HotKey, KeyIndexCountsFromF1) {
  EXPECT_TRUE(IsHotKeyPress(Press(0x70, false, false, false), HotKeySetting{0, 0, 0, 0}));
  EXPECT_TRUE(IsHotKeyPress(Press(0x7A, true, true, false), kCtrlAltF11));
  EXPECT_TRUE(IsHotKeyPress(Press(0x7B, false, false, true), HotKeySetting{0, 0, 1, 11}));
  EXPECT_FALSE(IsHotKeyPress(Press(0x7B, true, true, false), kCtrlAltF11));
}

TEST(HotKey, ModifiersMustMatchExactly) {
  EXPECT_FALSE(IsHotKeyPress(Press(0x7A, true, true, true), kCtrlAltF11)) << "Shift too many";
  EXPECT_FALSE(IsHotKeyPress(Press(0x7A, true, false, false), kCtrlAltF11)) << "Ctrl missing";
  EXPECT_FALSE(IsHotKeyPress(Press(0x7A, false, true, false), kCtrlAltF11)) << "Alt missing";
  const HotKeySetting bare{0, 0, 0, 4};
  EXPECT_TRUE(IsHotKeyPress(Press(0x74, false, false, false), bare));
  EXPECT_FALSE(IsHotKeyPress(Press(0x74, true, false, false), bare));
  EXPECT_FALSE(IsHotKeyPress(Press(0x74, false, true, false), bare));
  EXPECT_FALSE(IsHotKeyPress(Press(0x74, false, false, true), bare));
}

TEST(HotKey, OnlyPressesWithActionCodes) {
  HotKeyEvent release = Press(0x7A, true, true, false);
  release.keyData |= kReleaseBit;
  EXPECT_FALSE(IsHotKeyPress(release, kCtrlAltF11));
  HotKeyEvent repeat = Press(0x7A, true, true, false);
  repeat.keyData |= 0x40000000u;  // previous state down: auto-repeat still counts
  EXPECT_TRUE(IsHotKeyPress(repeat, kCtrlAltF11));
  EXPECT_TRUE(IsHotKeyPress(Press(0x7A, true, true, false, 3), kCtrlAltF11)) << "HC_NOREMOVE";
  EXPECT_FALSE(IsHotKeyPress(Press(0x7A, true, true, false, 1), kCtrlAltF11));
  EXPECT_FALSE(IsHotKeyPress(Press(0x7A, true, true, false, -1), kCtrlAltF11));
}

}  // namespace
