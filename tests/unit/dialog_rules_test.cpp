// The About box's colour text, Capture Setup's enabling rules and size
// correction, and the help text's line endings.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>

#include "shell/dialog_rules.h"
#include "shell/main_window_rules.h"
#include "shell/resource.h"

namespace {

TEST(ColourCount, EveryDepthAndTheFallback) {
  const struct {
    int bits;
    const char* text;
  } cases[] = {{1, "2"}, {4, "16"}, {8, "256"}, {15, "32K"}, {16, "64K"}, {24, "16.7M"}, {32, "16.7M"},
               {2, "2"}, {0, "0"}, {12, "12"}, {48, "48"}};
  for (const auto& c : cases) {
    char text[16];
    FormatColourCount(c.bits, text, sizeof text);
    EXPECT_STREQ(text, c.text) << c.bits << " bits";
  }
}

TEST(ColourCount, VideoInfoLineAndSmallBuffers) {
  char text[32];
  FormatVideoInfo(1024, 768, 32, text, sizeof text);
  EXPECT_STREQ(text, "1024 x 768 x 16.7M");
  FormatVideoInfo(1920, 1080, 16, text, sizeof text);
  EXPECT_STREQ(text, "1920 x 1080 x 64K");
  char tiny[6];
  std::memset(tiny, 'z', sizeof tiny);
  FormatVideoInfo(1920, 1080, 16, tiny, sizeof tiny);
  EXPECT_STREQ(tiny, "1920 ");  // cut, terminated, nothing written past it
}

Settings WithSwitches(int mode, int grey, int dither, int print, int disk, int incFileName) {
  Settings s{};
  s.Mode = mode;
  s.Greyscale = static_cast<std::uint8_t>(grey);
  s.Dither = static_cast<std::uint8_t>(dither);
  s.Print = static_cast<std::uint8_t>(print);
  s.AutoSave = static_cast<std::uint8_t>(disk);
  s.IncFileName = incFileName;
  s.Key = 10;
  return s;
}

// Enabling as a compact string: cursor, size, grey, b&w, setup, file name.
std::string Enabled(const CaptureSetupEnabling& e) {
  std::string s;
  for (bool on : {e.includeCursor, e.definedSize, e.greyscale, e.blackWhite, e.diskSetup, e.incFileName}) {
    s += on ? '1' : '0';
  }
  return s;
}

TEST(CaptureSetup, OpeningStateForEachMode) {
  const char* expected[] = {"001100", "101100", "101100", "101100", "101100", "011100"};
  for (int mode = 0; mode <= 5; ++mode) {
    const CaptureSetupModel m = StartCaptureSetup(WithSwitches(mode, 0, 0, 0, 0, 0));
    EXPECT_EQ(Enabled(CaptureSetupEnablingOf(m)), expected[mode]) << "mode " << mode;
  }
  // A negative mode (kept as read) counts as neither Area nor Defined Size.
  EXPECT_EQ(Enabled(CaptureSetupEnablingOf(StartCaptureSetup(WithSwitches(-1, 0, 0, 0, 0, 0)))), "101100");
}

TEST(CaptureSetup, OpeningStateForTheSwitches) {
  const struct {
    int grey, dither, print, disk;
    const char* enabled;
  } cases[] = {
      {0, 0, 0, 1, "101110"},  // defaults: Setup... for Disk
      {1, 0, 0, 1, "101010"},  // Greyscale locks Convert to B&W
      {0, 1, 0, 1, "100110"},  // and the other way round
      {1, 1, 0, 1, "101010"},  // both on: Greyscale stays usable, B&W is locked
      {0, 0, 1, 1, "101111"},  // Printer and Disk: Include File Name
      {0, 0, 1, 0, "101100"},
  };
  for (const auto& c : cases) {
    const CaptureSetupModel m = StartCaptureSetup(WithSwitches(1, c.grey, c.dither, c.print, c.disk, 0));
    EXPECT_EQ(Enabled(CaptureSetupEnablingOf(m)), c.enabled)
        << c.grey << c.dither << c.print << c.disk;
  }
}

TEST(CaptureSetup, ModeAndKeyCommands) {
  CaptureSetupModel m = StartCaptureSetup(WithSwitches(1, 0, 0, 0, 1, 0));
  const struct {
    int id;
    std::int32_t mode;
    const char* enabled;
    bool focusWidth;
  } steps[] = {
      {IDC_MODE_AREA, 0, "001110", false},         {IDC_MODE_WINDOW, 3, "101110", false},
      {IDC_MODE_DEFINED_SIZE, 5, "011110", true},  {IDC_MODE_CLIENT_AREA, 2, "101110", false},
      {IDC_MODE_OBJECT, 4, "101110", false},       {IDC_MODE_FULL_SCREEN, 1, "101110", false},
  };
  for (const auto& step : steps) {
    const CaptureSetupUpdate u = CaptureSetupCommand(&m, step.id, true);
    EXPECT_EQ(m.mode, step.mode);
    EXPECT_EQ(Enabled(u.enabling), step.enabled) << step.id;
    EXPECT_EQ(u.focusWidth, step.focusWidth) << step.id;
    EXPECT_FALSE(u.restoreIncFileName);
  }
  CaptureSetupCommand(&m, IDC_KEY_F1 + 4, true);
  EXPECT_EQ(m.key, 4);
  CaptureSetupCommand(&m, IDC_KEY_F12, true);
  EXPECT_EQ(m.key, 11);
  // Controls without a rule (Invert, Clipboard, the modifiers) change nothing.
  const CaptureSetupModel before = m;
  for (int id : {IDC_INVERT, IDC_TO_CLIPBOARD, IDC_KEY_ALT, IDC_INCLUDE_CURSOR, 9999}) {
    EXPECT_EQ(Enabled(CaptureSetupCommand(&m, id, true).enabling), "101110");
  }
  EXPECT_EQ(std::memcmp(&before, &m, sizeof m), 0);
}

TEST(CaptureSetup, GreyscaleAndBlackWhiteExcludeEachOther) {
  CaptureSetupModel m = StartCaptureSetup(WithSwitches(1, 0, 0, 0, 0, 0));
  EXPECT_EQ(Enabled(CaptureSetupCommand(&m, IDC_GREYSCALE, true).enabling), "101000");
  EXPECT_EQ(Enabled(CaptureSetupCommand(&m, IDC_GREYSCALE, false).enabling), "101100");
  EXPECT_EQ(Enabled(CaptureSetupCommand(&m, IDC_BLACK_WHITE, true).enabling), "100100");
  EXPECT_EQ(Enabled(CaptureSetupCommand(&m, IDC_BLACK_WHITE, false).enabling), "101100");
}

TEST(CaptureSetup, BothOnFromTheFileFollowTheCheckBoxes) {
  // Opened with both on, Convert to B&W is checked but locked. Once
  // Greyscale is off, the checked Convert to B&W locks Greyscale as any
  // checked Convert to B&W does; clearing it frees both. The working state
  // is what the box shows, not a blind toggle.
  CaptureSetupModel m = StartCaptureSetup(WithSwitches(1, 1, 1, 0, 0, 0));
  EXPECT_EQ(Enabled(CaptureSetupCommand(&m, IDC_GREYSCALE, false).enabling), "100100");
  EXPECT_EQ(Enabled(CaptureSetupCommand(&m, IDC_BLACK_WHITE, false).enabling), "101100");
  EXPECT_EQ(Enabled(CaptureSetupCommand(&m, IDC_BLACK_WHITE, true).enabling), "100100");
}

TEST(CaptureSetup, IncludeFileNameFollowsPrinterAndDisk) {
  CaptureSetupModel m = StartCaptureSetup(WithSwitches(1, 0, 0, 1, 1, 1));
  EXPECT_TRUE(m.storedIncFileName);
  const struct {
    int id;
    bool checked;
    const char* enabled;
    bool restore;
  } steps[] = {
      {IDC_TO_DISK, false, "101100", false},    // Setup... and Include File Name locked
      {IDC_TO_DISK, true, "101111", true},      // back: the stored choice returns
      {IDC_TO_PRINTER, false, "101110", false},
      {IDC_TO_DISK, false, "101100", false},
      {IDC_TO_PRINTER, true, "101100", false},  // Disk still off
      {IDC_TO_DISK, true, "101111", true},
  };
  for (const auto& step : steps) {
    const CaptureSetupUpdate u = CaptureSetupCommand(&m, step.id, step.checked);
    EXPECT_EQ(Enabled(u.enabling), step.enabled) << step.id << step.checked;
    EXPECT_EQ(u.restoreIncFileName, step.restore) << step.id << step.checked;
  }
}

TEST(DefinedSize, CorrectionOnLeavingTheBox) {
  const struct {
    const char* text;
    std::int32_t extent, value;
    bool rewrite;
  } cases[] = {
      {"640", 1024, 640, false},
      {"2", 1024, 2, false},
      {"1024", 1024, 1024, false},
      {"1", 1024, 1024, true},       // below 2
      {"0", 768, 768, true},
      {"", 768, 768, true},          // no digits read as 0
      {"-5", 768, 768, true},
      {"1025", 1024, 1024, true},    // beyond the desktop
      // The box always ends up showing the number the record takes.
      {"640abc", 1024, 640, true},   // reading stops at the first non-digit
      {" 12", 1024, 12, true},
      {"0640", 1024, 640, true},
      {"0000000012345", 99999, 99999, true},  // only 9 characters count: 000000001 is below 2
      {"0000000640", 1024, 64, true},         // 000000064, not the 640 the box showed
      {"99999999999", 1024, 1024, true},      // 999999999 beyond the desktop, no overflow
  };
  for (const auto& c : cases) {
    bool rewrite = !c.rewrite;
    const std::int32_t v = CorrectDefinedSize(c.text, c.extent, &rewrite);
    EXPECT_EQ(v, c.value) << '"' << c.text << '"';
    EXPECT_EQ(rewrite, c.rewrite) << '"' << c.text << '"';
  }
}

TEST(HelpText, LineEndingsForAnEditControl) {
  const std::string in = "one\ntwo\r\nthree\n\nend";
  char out[64];
  const std::size_t n = ToEditLineEndings(in.data(), in.size(), out, sizeof out);
  EXPECT_STREQ(out, "one\r\ntwo\r\nthree\r\n\r\nend");
  EXPECT_EQ(n, std::strlen(out));
  // A resource is not terminated: the length bounds the read.
  const char unterminated[4] = {'a', '\n', 'b', 'c'};
  ToEditLineEndings(unterminated, 3, out, sizeof out);
  EXPECT_STREQ(out, "a\r\nb");
  // A full buffer never splits a line end and stays terminated.
  char small[5];
  ToEditLineEndings("abc\ndef", 7, small, sizeof small);
  EXPECT_STREQ(small, "abc");
}

TEST(SetupDialogs, OnlyARealOkConfirms) {
  // OK; Cancel; destroyed with its owner (DialogBoxParamA returns 0); not
  // shown; OK, but the program closed meanwhile.
  const std::tuple<std::intptr_t, bool, bool> cases[] = {
      {kSetupOkResult, true, true}, {kSetupCancelResult, true, false}, {0, true, false}, {-1, true, false},
      {kSetupOkResult, false, false}};
  for (const auto& [result, ownerAlive, ok] : cases) {
    EXPECT_EQ(SetupConfirmed(result, kSetupOkResult, ownerAlive), ok) << result << ownerAlive;
  }
  EXPECT_FALSE(SetupConfirmed(0, 0, true)) << "0 never confirms, not even the file dialog's FALSE";
}

// The main window stays an icon. SC_RESTORE, with the caption's hit-test
// code; Capture Setup and About in the places of Restore and Maximize;
// SC_KEYMENU and SC_MOUSEMENU, which open the menu.
TEST(MainWindow, RestoreRequestsInEveryForm) {
  const std::pair<std::uint32_t, bool> commands[] = {{0xF120, true},  {0xF122, true},  {0xF121, false},
                                                     {0xF030, false}, {0xF100, false}, {0xF090, false}};
  for (const auto& [command, restore] : commands) EXPECT_EQ(IsRestoreRequest(command), restore) << std::hex << command;
}

TEST(MainWindow, NoRestoredFrameIsShown) {
  // {iconic, visible, show, hide} -> {refuse the show, hide, make it an icon
  // again}: shown as an icon; restored while shown; shown restored; hidden.
  const std::pair<PositionChange, std::array<bool, 3>> cases[] = {
      {{true, false, true, false}, {false, false, false}}, {{false, true, false, false}, {false, true, true}},
      {{false, false, true, false}, {true, false, true}}, {{false, true, false, true}, {false, false, false}}};
  for (const auto& [change, keep] : cases) {
    int strikes = 0;
    const IconKeeping k = KeepAnIcon(change, &strikes);
    EXPECT_EQ((std::array{k.refuseShow, k.hide, k.minimiseAgain}), keep)
        << change.iconic << change.visible << change.show;
  }
  int strikes = 0;  // should the icon never come, a frame is better than no window at all
  for (int i = 0; i < kMaxIconStrikes; ++i) EXPECT_TRUE(KeepAnIcon({false, false, true, false}, &strikes).refuseShow);
  EXPECT_FALSE(KeepAnIcon({false, false, true, false}, &strikes).refuseShow);
  KeepAnIcon({true, false, true, false}, &strikes);
  EXPECT_TRUE(KeepAnIcon({false, false, true, false}, &strikes).refuseShow) << "shown as an icon: counted afresh";
}

}  // namespace
