// The hot key in words (the notification-area tip, the "taken" box) and the
// combination probed for.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "shell/hotkey_words.h"

namespace {

TEST(HotKeyWords, ModifiersInOrderThenTheKey) {
  const struct {
    HotKeyChoice choice;
    const char* words;
  } cases[] = {{{1, 1, 0, 10}, "Ctrl+Alt+F11"}, {{0, 0, 0, 10}, "F11"},          {{0, 0, 1, 0}, "Shift+F1"},
               {{1, 0, 1, 11}, "Alt+Shift+F12"}, {{7, 255, 2, 4}, "Ctrl+Alt+Shift+F5"}, {{0, 1, 0, 23}, "Ctrl+F24"},
               {{0, 1, 0, 44}, "Ctrl+Key 44"}};
  for (const auto& c : cases) {
    char words[kHotKeyWordsSize];
    FormatHotKeyWords(c.choice, words, sizeof words);
    EXPECT_STREQ(words, c.words);
  }
}

TEST(HotKeyWords, TipFitsTheNotificationRecord) {
  char tip[kTrayTipSize];
  FormatTrayTip({1, 1, 0, 10}, tip, sizeof tip);
  EXPECT_STREQ(tip, "Pictrap - Ctrl+Alt+F11");
  FormatTrayTip({0, 0, 0, 2}, tip, sizeof tip);
  EXPECT_STREQ(tip, "Pictrap - F3");
  // The longest words there are end well inside the record's 128 bytes.
  FormatTrayTip({1, 1, 1, 255}, tip, sizeof tip);
  EXPECT_STREQ(tip, "Pictrap - Ctrl+Alt+Shift+Key 255");
  char tiny[12];
  FormatTrayTip({1, 1, 0, 10}, tiny, sizeof tiny);
  EXPECT_STREQ(tiny, "Pictrap - C");
}

TEST(HotKeyWords, TakenTextNamesTheKeyAndTheWayOut) {
  char text[256];
  FormatHotKeyTakenText({0, 1, 1, 7}, text, sizeof text);
  const std::string s = text;
  EXPECT_NE(s.find("Ctrl+Shift+F8"), std::string::npos) << s;
  EXPECT_NE(s.find("Capture Setup"), std::string::npos) << s;
  EXPECT_EQ(s.find("Alt+"), std::string::npos) << "only the modifiers chosen";
}

TEST(HotKeyProbe, ModifierBitsAndVirtualKey) {
  const struct {
    HotKeyChoice choice;
    std::uint32_t modifiers, virtualKey;
    bool askable;
  } cases[] = {{{1, 1, 0, 10}, 0x3, 0x7A, true},  {{0, 0, 0, 0}, 0x0, 0x70, true},
               {{0, 0, 9, 11}, 0x4, 0x7B, true},  {{1, 0, 1, 44}, 0x5, 0x9C, true},
               {{0, 1, 0, 142}, 0x2, 0xFE, true}, {{0, 1, 0, 143}, 0x2, 0xFF, false}};
  for (const auto& c : cases) {
    const HotKeyProbe p = HotKeyProbeOf(c.choice);
    EXPECT_EQ(p.modifiers, c.modifiers) << int(c.choice.key);
    EXPECT_EQ(p.virtualKey, c.virtualKey) << int(c.choice.key);
    EXPECT_EQ(p.askable, c.askable) << int(c.choice.key);
  }
}

TEST(HotKeyProbe, SameCombinationAsTheLibraryReadsIt) {
  EXPECT_TRUE(SameHotKey({1, 1, 0, 10}, {5, 1, 0, 10})) << "any nonzero setting is 'down'";
  EXPECT_FALSE(SameHotKey({1, 1, 0, 10}, {1, 1, 0, 9}));
  EXPECT_FALSE(SameHotKey({1, 1, 0, 10}, {1, 1, 1, 10}));
  EXPECT_FALSE(SameHotKey({1, 1, 0, 10}, {0, 1, 0, 10}));
}

}  // namespace
