// Every vector variant of the greyscale and threshold rows the processor can
// run, against the plain loops, at every width near the step sizes and at
// every alignment, with guard bytes around the output.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "imaging/cpu_features.h"
#include "imaging/grey_rows.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<std::pair<const char*, GreyRowFn>> GreyVariants() {
  std::vector<std::pair<const char*, GreyRowFn>> v{{"sse2", GreyRowSse2}};
  if (CpuHasSsse3()) v.push_back({"ssse3", GreyRowSsse3});
  if (CpuHasAvx2()) v.push_back({"avx2", GreyRowAvx2});
  return v;
}

TEST(GreyRows, EveryVariantMatchesThePlainLoop) {
  std::mt19937 rng(5);
  for (const auto& [name, variant] : GreyVariants()) {
    for (std::int32_t width = 0; width <= 100; ++width) {
      for (int offset = 0; offset < 4; ++offset) {
        // The source ends exactly with the row: a read past it shows up
        // under AddressSanitizer.
        std::vector<std::uint8_t> src(offset + 3 * static_cast<std::size_t>(width));
        for (auto& b : src) b = static_cast<std::uint8_t>(rng());
        if (width > 0) src[offset] = src[offset + 1] = src[offset + 2] = 255;  // the largest sum
        Bytes want(static_cast<std::size_t>(width) + 8, 0xEE), got(want.size() + offset, 0xEE);
        GreyRowPlain(src.data() + offset, want.data(), width);
        variant(src.data() + offset, got.data() + offset, width);
        ASSERT_EQ(Bytes(got.begin() + offset, got.end()), want) << name << " width " << width << " offset " << offset;
      }
    }
  }
}

TEST(ThresholdRows, EveryVariantMatchesThePlainLoop) {
  std::mt19937 rng(9);
  std::vector<std::pair<const char*, ThresholdRowFn>> variants{{"sse2", ThresholdRowSse2}};
  if (CpuHasSsse3()) variants.push_back({"ssse3", ThresholdRowSsse3});
  for (const auto& [name, variant] : variants) {
    for (std::int32_t width = 1; width <= 70; ++width) {
      for (const int cut : {0, 1, 127, 155, 254, 255}) {
        std::vector<std::uint8_t> in(static_cast<std::size_t>(width));
        for (auto& b : in) b = static_cast<std::uint8_t>(rng() % 3 == 0 ? cut + rng() % 3 - 1 : rng());
        Bytes want((width + 7) / 8 + 4, 0xEE), got(want);
        ThresholdRowPlain(in.data(), width, static_cast<std::uint8_t>(cut), want.data());
        variant(in.data(), width, static_cast<std::uint8_t>(cut), got.data());
        ASSERT_EQ(got, want) << name << " width " << width << " cut " << cut;
      }
    }
  }
}

TEST(ThresholdRows, PlainLoopPacksLeftmostPixelHighest) {
  const std::uint8_t in[10] = {200, 0, 0, 0, 0, 0, 0, 155, 154, 155};
  std::uint8_t out[2] = {0xEE, 0xEE};
  ThresholdRowPlain(in, 10, 155, out);
  EXPECT_EQ(out[0], 0x81);
  EXPECT_EQ(out[1], 0x40);  // pixel 9 white, the 6 bits past the edge 0
}

}  // namespace
