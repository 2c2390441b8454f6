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

}  // namespace
