// The fast run-length encoders and the red-blue row copy against plain
// reference loops written straight from the format rules, over many rows
// mixing runs, literals, high bytes and every length near the word size.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "formats/byte_scan.h"
#include "formats/pcx_writer.h"
#include "formats/tiff_writer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReferencePcx(const Bytes& in) {
  Bytes out;
  for (std::size_t i = 0; i < in.size();) {
    const std::uint8_t v = in[i];
    std::size_t run = 1;
    while (i + run < in.size() && in[i + run] == v) ++run;
    i += run;
    for (; run > 63; run -= 63) out.insert(out.end(), {0xFF, v});
    if (run == 1 && v < 0xC0) {
      out.push_back(v);
    } else {
      out.insert(out.end(), {static_cast<std::uint8_t>(0xC0 + run), v});
    }
  }
  return out;
}

Bytes ReferencePackBits(const Bytes& in) {
  Bytes out, pending;
  auto flush = [&] {
    if (pending.empty()) return;
    out.push_back(static_cast<std::uint8_t>(pending.size() - 1));
    out.insert(out.end(), pending.begin(), pending.end());
    pending.clear();
  };
  for (std::size_t i = 0; i < in.size();) {
    const std::uint8_t v = in[i];
    std::size_t following = 0;
    while (following < 72 && i + 1 + following < in.size() && in[i + 1 + following] == v) ++following;
    if (following >= 1) {
      flush();
      out.insert(out.end(), {static_cast<std::uint8_t>(257 - (following + 1)), v});
      i += following + 1;
    } else {
      pending.push_back(v);
      ++i;
      if (pending.size() == 72) flush();
    }
  }
  flush();
  return out;
}

// Rows of runs of random lengths (many of 1 and 2, some near 63, 64, 73,
// 74 and beyond) over a small or a full alphabet.
Bytes RandomRow(std::mt19937& rng, std::size_t length) {
  static const std::size_t kRuns[] = {1, 1, 1, 2, 2, 3, 7, 8, 9, 62, 63, 64, 65, 72, 73, 74, 75, 146, 200};
  Bytes row;
  const bool small = rng() % 2 == 0;
  while (row.size() < length) {
    const std::size_t run = kRuns[rng() % std::size(kRuns)];
    const auto v = static_cast<std::uint8_t>(small ? 0xBE + rng() % 4 : rng());
    row.insert(row.end(), run, v);
  }
  row.resize(length);
  return row;
}

TEST(Encoders, MatchTheReferenceOnEveryKindOfRow) {
  std::mt19937 rng(2024);
  for (int trial = 0; trial < 4000; ++trial) {
    const std::size_t length = trial < 300 ? static_cast<std::size_t>(trial) : rng() % 2000;
    const Bytes row = RandomRow(rng, length);
    Bytes pcx(2 * length + 2), packed(2 * length + 8);
    pcx.resize(EncodePcxLine(row.data(), row.size(), pcx.data()));
    packed.resize(EncodePackBitsRow(row.data(), row.size(), packed.data()));
    ASSERT_EQ(pcx, ReferencePcx(row)) << "PCX, trial " << trial << ", length " << length;
    ASSERT_EQ(packed, ReferencePackBits(row)) << "PackBits, trial " << trial << ", length " << length;
  }
}

TEST(Encoders, ScansAgreeWithByteLoops) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 3000; ++trial) {
    const Bytes row = RandomRow(rng, 1 + rng() % 100);
    const std::size_t n = row.size(), from = rng() % n;
    const LineWindow w = ReadLineWindow(row.data(), from, n);
    ASSERT_EQ(w.known, std::min<std::size_t>(32, n - from)) << trial;
    for (unsigned k = 0; k < 32; ++k) {
      const std::size_t p = from + k;
      const bool equal = k < w.known && p + 1 < n && row[p] == row[p + 1];
      const bool high = k < w.known && row[p] >= 0xC0;
      ASSERT_EQ((w.equal >> k) & 1, equal ? 1u : 0u) << trial << " bit " << k;
      ASSERT_EQ((w.high >> k) & 1, high ? 1u : 0u) << trial << " bit " << k;
    }
    std::size_t run = 1;
    while (from + run < n && row[from + run] == row[from]) ++run;
    ASSERT_EQ(RunFrom(row.data(), from, n), run) << trial;
    const std::size_t limit = 1 + rng() % 80;
    ASSERT_EQ(RunUpTo(row.data(), from, n, limit), std::min(run, limit)) << trial << " limit " << limit;
  }
}

TEST(SwapRedBlue, EveryWidthAndAlignment) {
  std::mt19937 rng(11);
  for (std::int32_t width = 0; width <= 70; ++width) {
    for (int offset = 0; offset < 3; ++offset) {
      Bytes src(3 * static_cast<std::size_t>(width) + 4), dst(src.size() + 4, 0xEE);
      for (auto& b : src) b = static_cast<std::uint8_t>(rng());
      SwapRedBlue(src.data() + offset % 2, dst.data() + offset, width);
      for (std::int32_t x = 0; x < width; ++x) {
        const std::uint8_t* s = src.data() + offset % 2 + 3 * x;
        const std::uint8_t* d = dst.data() + offset + 3 * x;
        ASSERT_EQ(d[0], s[2]) << width << " " << x;
        ASSERT_EQ(d[1], s[1]);
        ASSERT_EQ(d[2], s[0]);
      }
      for (std::size_t k = offset + 3 * static_cast<std::size_t>(width); k < dst.size(); ++k) {
        ASSERT_EQ(dst[k], 0xEE) << "wrote past the row, width " << width;
      }
    }
  }
}

}  // namespace
