// The hot-key decision: exact modifiers, presses only, F1 + KeyIndex.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

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

// One keystroke is one request. Each row: hook calls for Ctrl+Alt+F11 (p, a:
// a key-down peeked with HC_NOREMOVE, taken with HC_ACTION; o: peeked on
// another thread; q, r: a repeat
// peeked, taken; R: F11 released, Ctrl already up; X: F12 released; S: F11
// with Shift too; B, b: Busy set, cleared) and which calls post ('P').
constexpr struct { const char *events, *posts, *what; } kStrokes[] = {
    {"a", "P", "a plain press"},
    {"ppa", "P..", "peeked twice, then taken: one keystroke"},
    {"arrrrR", "P.....", "held past the auto-repeat delay"},
    {"paqrqrR", "P......", "repeats peeked and taken"},
    {"pRpa", "P.P.", "released and pressed again, each peeked first"},
    {"aa", "PP", "taken twice: the release went elsewhere"},
    {"ap", "PP", "taken, then peeked: a new keystroke"},
    {"po", "PP", "peeked on another thread: a new keystroke"},
    {"pXa", "P..", "F12's release does not end F11's keystroke"},
    {"Sa", ".P", "with Shift too it is not the hot key, nor a keystroke of it"},
    {"BaRba", "....P", "pressed during the grab: no request, and the next press captures"},
    {"Bpba", "....", "the keystroke refused while busy stays refused"},
};

TEST(HotKey, OneKeystrokeIsOneRequest) {
  for (const auto& c : kStrokes) {
    CaptureState s{};
    s.NeedAlt = s.NeedCtrl = 1;
    s.KeyIndex = 10;
    std::string posts;
    for (const char* e = c.events; *e != '\0'; ++e) {
      if (*e == 'B' || *e == 'b') s.Busy = *e == 'B';
      const bool peeked = std::strchr("opq", *e) != nullptr;
      HotKeyEvent k = Press(*e == 'X' ? 0x7B : 0x7A, true, *e != 'R' && *e != 'X', *e == 'S', peeked ? 3 : 0);
      k.thread = *e == 'o' ? 2 : 1;
      if (std::strchr("qrRX", *e) != nullptr) k.keyData |= 0x40000000u;
      if (*e == 'R' || *e == 'X') k.keyData |= kReleaseBit;
      const HotKeyDecision d = *e == 'B' || *e == 'b' ? HotKeyDecision{false, false} : DecideHotKey(s, k);
      EXPECT_EQ(d.swallow, std::strchr("opqar", *e) != nullptr) << c.what << ": only presses are swallowed";
      posts += d.post ? 'P' : '.';
    }
    EXPECT_EQ(posts, c.posts) << c.what;
  }
}

}  // namespace
