// The hot key in words and the combination that is probed for.
#include "shell/hotkey_words.h"

#include <cstdio>

#include "capture/hotkey.h"

namespace {

constexpr int kFunctionKeys = 24;         // F1 to F24 follow each other from 0x70
constexpr std::uint32_t kLastVirtualKey = 0xFE;  // the platform's key codes end here

}  // namespace

HotKeyChoice HotKeyChoiceOf(const Settings& s) { return HotKeyChoice{s.Alt, s.Ctrl, s.Shift, s.Key}; }

bool SameHotKey(const HotKeyChoice& a, const HotKeyChoice& b) {
  // Any nonzero modifier setting means "down", as the library reads it.
  return (a.alt != 0) == (b.alt != 0) && (a.ctrl != 0) == (b.ctrl != 0) && (a.shift != 0) == (b.shift != 0) &&
         a.key == b.key;
}

void FormatHotKeyWords(const HotKeyChoice& c, char* out, std::size_t size) {
  if (out == nullptr || size == 0) return;
  char key[12];
  if (c.key < kFunctionKeys) std::snprintf(key, sizeof key, "F%d", c.key + 1);
  else std::snprintf(key, sizeof key, "Key %d", c.key);
  std::snprintf(out, size, "%s%s%s%s", c.ctrl != 0 ? "Ctrl+" : "", c.alt != 0 ? "Alt+" : "",
                c.shift != 0 ? "Shift+" : "", key);
}

void FormatTrayTip(const HotKeyChoice& c, char* out, std::size_t size) {
  if (out == nullptr || size == 0) return;
  char words[kHotKeyWordsSize];
  FormatHotKeyWords(c, words, sizeof words);
  std::snprintf(out, size < kTrayTipSize ? size : kTrayTipSize, "Pictrap - %s", words);
}

void FormatHotKeyTakenText(const HotKeyChoice& c, char* out, std::size_t size) {
  if (out == nullptr || size == 0) return;
  char words[kHotKeyWordsSize];
  FormatHotKeyWords(c, words, sizeof words);
  std::snprintf(out, size,
                "%s is already taken as a hot key by another program or by Windows, so pressing it may not "
                "take a capture. Choose another hot key in Capture Setup.",
                words);
}

HotKeyProbe HotKeyProbeOf(const HotKeyChoice& c) {
  HotKeyProbe p{};
  if (c.alt != 0) p.modifiers |= kHotKeyModAlt;
  if (c.ctrl != 0) p.modifiers |= kHotKeyModControl;
  if (c.shift != 0) p.modifiers |= kHotKeyModShift;
  p.virtualKey = HotKeyVirtualKey(c.key);
  p.askable = p.virtualKey <= kLastVirtualKey;
  return p;
}
