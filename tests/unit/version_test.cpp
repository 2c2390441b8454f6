// The version's text forms agree with its numbers: the resource compiler
// cannot derive one from the other, so both are written out.
#include <gtest/gtest.h>

#include <string>

#include "shell/version.h"

namespace {

TEST(Version, TextsFollowTheNumbers) {
  const std::string numbers =
      std::to_string(PICTRAP_VERSION_MAJOR) + "." + std::to_string(PICTRAP_VERSION_MINOR);
  EXPECT_EQ(std::string(PICTRAP_VERSION_TEXT), numbers);
  // What the About box shows after "Version ": the version and the platform.
  EXPECT_EQ(std::string(PICTRAP_ABOUT_VERSION_TEXT), numbers + " - 32");
  EXPECT_STREQ(PICTRAP_PRODUCT_NAME, "Pictrap");
}

}  // namespace
