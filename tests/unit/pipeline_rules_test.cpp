// The pipeline's printing status text within its 160 bytes, and the
// lower-casing of the saved file's path.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "shell/naming.h"
#include "shell/pipeline_rules.h"

namespace {

std::string Printing(const std::string& name, std::size_t size = kStatusTextSize) {
  char out[kStatusTextSize + 8];
  std::memset(out, 'X', sizeof out);
  FormatPrintingText(name.c_str(), out, size);
  EXPECT_EQ(out[size], 'X') << "wrote past the buffer";
  return out;
}

TEST(PrintingText, NameOrNothing) {
  EXPECT_EQ(Printing(""), "Printing ");
  EXPECT_EQ(Printing("c:\\shots\\cap7.bmp"), "Printing - cap7.bmp");
  EXPECT_EQ(Printing("cap7.bmp"), "Printing - cap7.bmp") << "no backslash: all of it";
  EXPECT_EQ(Printing("\\\\server\\share\\a.tif"), "Printing - a.tif");
}

TEST(PrintingText, LongNameKeepsStartAndExtension) {
  const std::string name = "c:\\shots\\" + std::string(200, 'a') + "middle" + std::string(200, 'z') + ".pcx";
  const std::string text = Printing(name);
  EXPECT_EQ(text.size(), kStatusTextSize - 1);
  EXPECT_EQ(text.rfind("Printing - aaaa", 0), 0u);
  EXPECT_NE(text.find("..."), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 8), "zzzz.pcx");
  // Exactly fitting: untouched.
  const std::string fits(kStatusTextSize - 1 - 11, 'q');
  EXPECT_EQ(Printing(fits), "Printing - " + fits);
  EXPECT_EQ(Printing(fits + "r").find("..."), 11 + (fits.size() - 3) - (fits.size() - 3) / 2);
  // Tiny buffers never overrun.
  EXPECT_EQ(Printing("c:\\x\\long.bmp", 5), "Prin");
  EXPECT_EQ(Printing("c:\\x\\long.bmp", 1), "");
}

TEST(LowerCase, OnlyAsciiLetters) {
  char text[] = "C:\\SHOTS\\Cap12.BMP \xC4\xD6-_Z@[";
  LowerCaseAscii(text);
  EXPECT_STREQ(text, "c:\\shots\\cap12.bmp \xC4\xD6-_z@[");
}

TEST(Clipboard, TriedEvery20MsForHalfASecond) {
  const std::uint32_t waits[][2] = {{0, 20}, {480, 20}, {490, 10}, {499, 1}, {500, 0}, {0xFFFFFFF0u, 0}};
  for (const auto& w : waits) EXPECT_EQ(ClipboardRetryDelay(w[0]), w[1]) << "after " << w[0] << " ms";
  std::uint32_t at = 0, tries = 1;
  for (std::uint32_t wait; (wait = ClipboardRetryDelay(at)) != 0; ++tries) at += wait;
  EXPECT_EQ(at, kClipboardPatienceMs) << "the last try falls on the deadline";
  EXPECT_EQ(tries, 26u);
}

TEST(Capture, OpenDialogsTakeNoInputWhileItRuns) {
  // {visible, enabled, main window, status window}: Capture Setup or Disk
  // Saving Setup; one waiting for its own dialog; hidden; the main window
  // (it answers "I'm Busy!"); the status window (it keeps its Cancel).
  const std::pair<OpenWindowFacts, bool> windows[] = {
      {{true, true, false, false}, true},  {{true, false, false, false}, false}, {{false, true, false, false}, false},
      {{true, true, true, false}, false}, {{true, true, false, true}, false}};
  for (const auto& [w, held] : windows) EXPECT_EQ(HoldForCapture(w), held) << w.visible << w.enabled << w.mainWindow;
}

}  // namespace
