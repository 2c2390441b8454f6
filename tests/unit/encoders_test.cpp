// The fast run-length encoders (each variant the processor can run), the
// PCX plane split and the red-blue row copy against plain reference loops
// written straight from the format rules, over many rows mixing runs,
// literals, high bytes and every length and offset near the scan steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "formats/byte_scan.h"
#include "formats/pcx_writer.h"
#include "formats/tiff_writer.h"
#include "imaging/cpu_features.h"

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

using Coder = std::size_t (*)(const std::uint8_t*, std::size_t, std::uint8_t*);

// Every coder the processor can run, with the room its writer gives it: the
// PCX line twice its bytes, the PackBits row twice and 8 more. The buffers
// are exactly that long, so a store past the room shows up under
// AddressSanitizer.
struct CoderCase {
  const char* name;
  Coder code;
  std::size_t (*room)(std::size_t);
  Bytes (*reference)(const Bytes&);
};

std::vector<CoderCase> Coders() {
  std::vector<CoderCase> v{
      {"PCX", EncodePcxLineSse2, [](std::size_t n) { return 2 * n; }, ReferencePcx},
      {"PackBits", EncodePackBitsRow, [](std::size_t n) { return 2 * n + 8; }, ReferencePackBits},
  };
  if (CpuHasSsse3()) v.push_back({"PCX SSSE3", EncodePcxLineSsse3, [](std::size_t n) { return 2 * n; }, ReferencePcx});
  return v;
}

Bytes Code(const CoderCase& c, const Bytes& row) {
  Bytes out(c.room(row.size()));
  out.resize(c.code(row.data(), row.size(), out.data()));
  return out;
}

TEST(Encoders, MatchTheReferenceOnEveryKindOfRow) {
  for (const CoderCase& c : Coders()) {
    std::mt19937 rng(2024);
    for (int trial = 0; trial < 4000; ++trial) {
      const std::size_t length = trial < 300 ? static_cast<std::size_t>(trial) : rng() % 2000;
      const Bytes row = RandomRow(rng, length);
      ASSERT_EQ(Code(c, row), c.reference(row)) << c.name << ", trial " << trial << ", length " << length;
    }
  }
}

// A run of each length near the scan steps (16 and 32 bytes), the PCX count
// limit (63) and the PackBits one (73), starting at every offset of the
// first 32-byte window, between lone bytes of each kind and followed by
// tails that end the line inside and just past a window.
TEST(Encoders, RunsAtEveryOffsetAcrossTheScanWindows) {
  struct Fill {
    const char* name;
    std::uint8_t (*at)(std::size_t);
  };
  const Fill fills[] = {
      {"low", [](std::size_t k) { return static_cast<std::uint8_t>(k % 0xB0); }},
      {"high", [](std::size_t k) { return static_cast<std::uint8_t>(0xC0 + k % 0x3F); }},
      {"mixed", [](std::size_t k) { return static_cast<std::uint8_t>(k % 3 == 0 ? 0xC0 + k % 0x3F : k % 0xB0); }},
  };
  const std::size_t runs[] = {2, 3, 15, 16, 17, 31, 32, 33, 34, 63, 64, 65, 72, 73, 74, 75, 126, 127, 146, 147};
  const std::size_t tails[] = {0, 1, 7, 8, 9, 15, 16, 17, 31, 32, 33};
  for (const CoderCase& c : Coders()) {
    for (const Fill& fill : fills) {
      for (const std::size_t run : runs) {
        for (std::size_t start = 0; start <= 33; ++start) {
          for (const std::size_t tail : tails) {
            Bytes row(start + run + tail);
            for (std::size_t k = 0; k < row.size(); ++k) row[k] = fill.at(k);
            // The run's value differs from its neighbours; 0xC7 needs the
            // PCX mark even where a lone byte of it would.
            for (std::size_t k = start; k < start + run; ++k) row[k] = 0xC7;
            if (start > 0 && row[start - 1] == 0xC7) row[start - 1] = 0x11;
            if (tail > 0 && row[start + run] == 0xC7) row[start + run] = 0x11;
            ASSERT_EQ(Code(c, row), c.reference(row))
                << c.name << ", " << fill.name << " bytes, run " << run << " at " << start << ", tail " << tail;
          }
        }
      }
    }
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

TEST(PcxPlanes, EveryVariantSplitsAsThePlainLoop) {
  std::mt19937 rng(13);
  std::vector<std::pair<const char*, decltype(&SplitPcxPlanesPlain)>> variants{{"plain", SplitPcxPlanesPlain}};
  if (CpuHasSsse3()) variants.push_back({"ssse3", SplitPcxPlanesSsse3});
  for (const auto& [name, split] : variants) {
    for (std::int32_t width = 0; width <= 70; ++width) {
      for (int offset = 0; offset < 3; ++offset) {
        // The source ends exactly with the row, so a read past it shows up
        // under AddressSanitizer; each plane line has guard bytes after it.
        Bytes src(offset + 3 * static_cast<std::size_t>(width));
        for (auto& b : src) b = static_cast<std::uint8_t>(rng());
        const std::size_t w = static_cast<std::size_t>(width);
        Bytes planes(3 * (w + 16), 0xEE);
        std::uint8_t* red = planes.data();
        std::uint8_t* green = red + w + 16;
        std::uint8_t* blue = green + w + 16;
        split(src.data() + offset, width, red, green, blue);
        for (std::size_t x = 0; x < w; ++x) {
          const std::uint8_t* p = src.data() + offset + 3 * x;
          ASSERT_EQ(blue[x], p[0]) << name << " width " << width << " pixel " << x;
          ASSERT_EQ(green[x], p[1]) << name << " width " << width << " pixel " << x;
          ASSERT_EQ(red[x], p[2]) << name << " width " << width << " pixel " << x;
        }
        for (std::uint8_t* line : {red, green, blue}) {
          ASSERT_EQ(Bytes(line + w, line + w + 16), Bytes(16, 0xEE)) << name << " wrote past width " << width;
        }
      }
    }
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
