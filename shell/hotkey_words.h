// The hot key as the user reads it, in the notification-area tip and in the
// box that says another program has taken it, and the combination the
// platform is asked about.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shell/settings.h"

// Room for the longest words, "Ctrl+Alt+Shift+F24" or "Ctrl+Alt+Shift+Key 255".
constexpr std::size_t kHotKeyWordsSize = 32;
// The tip's buffer in the notification-area record, terminator included.
constexpr std::size_t kTrayTipSize = 128;

// The four settings that make the hot key; the library matches exactly these.
struct HotKeyChoice {
  std::uint8_t alt, ctrl, shift, key;
};

HotKeyChoice HotKeyChoiceOf(const Settings& settings);
bool SameHotKey(const HotKeyChoice& a, const HotKeyChoice& b);

// "Ctrl+Alt+F11"; with no modifiers just "F11". The modifiers come in the
// order Windows names them. Keys past F24 (only a hand-edited file makes
// them) are named by their index: "Key 44".
void FormatHotKeyWords(const HotKeyChoice& choice, char* out, std::size_t size);
// "Pictrap - Ctrl+Alt+F11", cut to `size` (at most kTrayTipSize) if need be.
void FormatTrayTip(const HotKeyChoice& choice, char* out, std::size_t size);
// The box's text when another program holds the combination.
void FormatHotKeyTakenText(const HotKeyChoice& choice, char* out, std::size_t size);

// The platform's modifier bits for registering a hot key (MOD_ALT,
// MOD_CONTROL, MOD_SHIFT).
constexpr std::uint32_t kHotKeyModAlt = 0x1;
constexpr std::uint32_t kHotKeyModControl = 0x2;
constexpr std::uint32_t kHotKeyModShift = 0x4;

// The combination to ask the platform about: the modifiers that must be down
// and the virtual key (F1 plus the index). `askable` is false when the index
// names no virtual key at all, so that nothing else can hold it either.
struct HotKeyProbe {
  std::uint32_t modifiers;
  std::uint32_t virtualKey;
  bool askable;
};

HotKeyProbe HotKeyProbeOf(const HotKeyChoice& choice);
