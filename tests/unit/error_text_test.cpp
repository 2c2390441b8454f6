// Every status code has its own sentence; unknown codes name their number.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "messages/error_text.h"

namespace {

std::string Sentence(std::uint32_t code) {
  char buffer[256];
  FormatErrorSentence(code, buffer, sizeof buffer);
  return buffer;
}

TEST(ErrorText, EachKnownCodeHasItsOwnSentence) {
  const std::uint32_t codes[] = {100, 101, 102, 200, 203, 801, 802, 900, 901, 902, 908, 909, 910};
  std::set<std::string> seen;
  for (std::uint32_t code : codes) {
    const std::string s = Sentence(code);
    EXPECT_EQ(s.find("unexpected"), std::string::npos) << code;
    EXPECT_GT(s.size(), 10u) << code;
    EXPECT_EQ(s.back(), '.') << code;
    seen.insert(s);
  }
  EXPECT_EQ(seen.size(), std::size(codes));
}

// 203 is a short write, as on a full disk, and also the refusal of an
// uncompressed TIFF row over 32000 bytes: a user with free space must learn
// of the second.
TEST(ErrorText, WriteFailureNamesBothCauses) {
  const std::string s = Sentence(203);
  EXPECT_NE(s.find("disk"), std::string::npos) << s;
  EXPECT_NE(s.find("too wide"), std::string::npos) << s;
  EXPECT_NE(s.find("uncompressed TIFF"), std::string::npos) << s;
}

TEST(ErrorText, UnknownCodesAndHighBits) {
  EXPECT_NE(Sentence(4242).find("4242"), std::string::npos);
  EXPECT_NE(Sentence(0).find("0"), std::string::npos);
  EXPECT_EQ(Sentence(0x10000u + 802), Sentence(802)) << "only the low 16 bits are the code";
  EXPECT_NE(Sentence(0xFFFF0000u + 4242).find("4242"), std::string::npos);
}

TEST(ErrorText, TruncatesToTheBuffer) {
  char small[8];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(FormatErrorSentence(802, small, sizeof small), 7u);
  EXPECT_EQ(small[7], '\0');
  EXPECT_EQ(FormatErrorSentence(802, small, 0), 0u);
  EXPECT_EQ(FormatErrorSentence(802, nullptr, 10), 0u);
}

}  // namespace
