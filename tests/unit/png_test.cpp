// The PNG writer and its deflate coder, read back through zlib: each table's
// form, every pixel, the chunk layout, the coder's blocks and codes at their edges.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "../fuzz/png_readback.h"
#include "dib_builder.h"
#include "formats/png_writer.h"
#include "formats/writers.h"
#include "imaging/cpu_features.h"
#ifndef _WIN32
#include "platform/memory_host.h"
#endif
#include "progress_probe.h"
#include "temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

PngReadback ReadBack(const Bytes& file, MemHandle h) {
  MemLockGuard lock(h);
  DibLayout l;
  EXPECT_EQ(CheckDibLayout(lock.data(), lock.size(), &l), StatusOk);
  return ReadBackPng(file, lock.data(), l);
}

void Fill(MemHandle h, unsigned seed, unsigned below) {
  MemLockGuard lock(h);
  DibLayout l;
  ASSERT_EQ(CheckDibLayout(lock.data(), lock.size(), &l), StatusOk);
  std::mt19937 rng(seed);
  for (std::size_t i = l.pixelOffset; i < lock.size(); ++i) {  // runs and repeats as on a screen, noise between
    const unsigned k = rng() % 16;
    lock.data()[i] = static_cast<std::uint8_t>(k < 6 ? lock.data()[i - 1] : k < 9 && i >= l.pixelOffset + l.stride
                                                   ? lock.data()[i - l.stride] : rng() % below);
  }
}

using PngWriter = TempDir;

TEST_F(PngWriter, EachTableGetsItsFormAndEveryPixelComesBack) {
  enum Table { Rgb, Ramp, BlackWhite, WhiteBlack, Other };
  // Size and depth, the table, pixel bytes below `below`; the form expected.
  struct Case {
    std::int32_t width, height;
    std::uint16_t bits;
    std::uint32_t clrUsed;
    Table table;
    unsigned below, colourType, depth, plte;
  } cases[] = {{1, 1, 24, 0, Rgb, 256, 2, 8, 0},         {37, 19, 24, 0, Rgb, 256, 2, 8, 0},
               {700, 90, 24, 0, Rgb, 256, 2, 8, 0},      {5, 3, 8, 256, Ramp, 256, 0, 8, 0},
               {333, 41, 8, 256, Other, 256, 3, 8, 768}, {9, 9, 8, 4, Other, 4, 3, 8, 12},
               {9, 9, 8, 4, Other, 7, 3, 8, 21},         {13, 5, 4, 16, Other, 256, 3, 4, 48},
               {13, 5, 4, 3, Other, 3, 3, 4, 9},         {1, 1, 1, 2, BlackWhite, 256, 0, 1, 0},
               {77, 30, 1, 2, BlackWhite, 256, 0, 1, 0}, {301, 30, 1, 2, WhiteBlack, 256, 0, 1, 0},
               {77, 30, 1, 2, Other, 256, 3, 1, 6},      {20, 2, 1, 1, Other, 256, 3, 1, 6},
               {3, 3, 1, 256, Other, 256, 3, 1, 6},      {4000, 3, 8, 256, Other, 256, 3, 8, 768}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bits << " table " << c.table);
    MemHandle h = MakeDib(c.width, c.height, c.bits, c.clrUsed);
    MemOwner owner(h);
    Fill(h, c.width, c.below);
    const std::uint32_t colours = DibColourCount(c.bits, c.clrUsed);
    for (std::uint32_t i = 0; i < colours; ++i) {
      const auto v = static_cast<std::uint8_t>(i);
      const auto grey = static_cast<std::uint8_t>((i == 0) == (c.table == WhiteBlack) ? 255 : 0);
      if (c.table == Other) SetColour(h, i, v, static_cast<std::uint8_t>(v * 7 + 1), static_cast<std::uint8_t>(~v));
      else SetColour(h, i, c.table == Ramp ? v : grey, c.table == Ramp ? v : grey, c.table == Ramp ? v : grey);
    }
    ASSERT_EQ(WritePngFile(nullptr, PathOf("f.png").c_str(), h, 3780), StatusOk);
    const Bytes file = ReadFile(PathOf("f.png"));
    const PngReadback p = ReadBack(file, h);
    EXPECT_EQ(p.fault, nullptr) << p.fault;
    EXPECT_EQ(p.chunks, c.plte ? "IHDR sRGB pHYs PLTE IDAT IEND" : "IHDR sRGB pHYs IDAT IEND");
    ASSERT_EQ(p.ihdr.size(), 13u);
    EXPECT_EQ(p.ihdr[9] * 100 + p.ihdr[8], c.colourType * 100 + c.depth) << "colour type and depth";
    ASSERT_EQ(p.plte.size(), c.plte);
    for (std::size_t i = 0; i < c.plte / 3; ++i) {  // red, green, blue of each entry; black past the table
      const auto v = static_cast<std::uint8_t>(i);
      const Bytes entry = i < colours ? Bytes{static_cast<std::uint8_t>(~v), static_cast<std::uint8_t>(v * 7 + 1), v}
                                      : Bytes{0, 0, 0};
      EXPECT_EQ(Bytes(p.plte.begin() + 3 * i, p.plte.begin() + 3 * i + 3), entry) << i;
    }
    ASSERT_EQ(WritePngFile(nullptr, PathOf("g.png").c_str(), h, 3780), StatusOk);
    EXPECT_EQ(ReadFile(PathOf("g.png")), file) << "two saves, one file";
  }
}

TEST_F(PngWriter, OnePixelHeadChunks) {
  MemHandle h = MakeDib(1, 1, 24, 0);
  MemOwner owner(h);
  ASSERT_EQ(WritePngFile(nullptr, PathOf("one.png").c_str(), h, PixelsPerMetre(72)), StatusOk);  // 2834.6: 2835
  const Bytes f = ReadFile(PathOf("one.png"));
  const Bytes head = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',  // then IHDR, sRGB and pHYs
                      0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0, 0, 0x90, 0x77, 0x53, 0xDE,
                      0, 0, 0, 1, 's', 'R', 'G', 'B', 0, 0xAE, 0xCE, 0x1C, 0xE9, 0, 0, 0, 9, 'p', 'H', 'Y', 's',
                      0, 0, 0x0B, 0x13, 0, 0, 0x0B, 0x13, 1, 0, 0x9A, 0x9C, 0x18};
  ASSERT_GT(f.size(), head.size() + 24);
  EXPECT_EQ(Bytes(f.begin(), f.begin() + head.size()), head);
  EXPECT_EQ(Bytes(f.end() - 12, f.end()), (Bytes{0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82}));
  EXPECT_EQ(ReadBack(f, h).fault, nullptr);
  SetColour(h, 0, 0, 0, 1);                 // the one pixel's bytes (the table is empty)
  EXPECT_STREQ(ReadBack(f, h).fault, "pixel") << "the readback sees a changed pixel";
}

TEST_F(PngWriter, ProgressEveryEightRowsAndHostileHeaders) {
  MemOwner owner(MakeDib(4, 20, 8, 256));
  MemHandle h = owner.get();
  ProgressProbe probe;
  ASSERT_EQ(WritePngFile(probe.channel(), PathOf("p.png").c_str(), h, 3780), StatusOk);
  EXPECT_EQ(probe.sent(), (std::vector<unsigned>{0, 0, 40, 80, 100}));
  const std::pair<DibField, std::uint32_t> hostile[] = {{DibHeightField, 0}, {DibWidthField, 32768},
      {DibBitCountField, 16}, {DibSizeField, 108}, {DibClrUsedField, 257}, {DibHeightField, 1u << 20}};
  for (auto [field, value] : hostile) {
    MemOwner bad(MakeDib(4, 20, 8, 256));
    SetHeaderField(bad.get(), field, value);
    EXPECT_EQ(WritePngFile(nullptr, PathOf("h.png").c_str(), bad.get(), 3780), StatusBadArgument) << field;
  }
  EXPECT_EQ(WritePngFile(nullptr, PathOf("n.png").c_str(), nullptr, 3780), StatusBadArgument);
  for (std::int32_t width : {kWriterMaxSide, kWriterMaxSide + 1}) {
    MemOwner wide(MakeDib(width, 1, 8, 256));
    EXPECT_EQ(WritePngFile(nullptr, PathOf("p.png").c_str(), wide.get(), 3780),
              width > kWriterMaxSide ? StatusBadArgument : StatusOk);
  }
  EXPECT_EQ(Files(), std::vector<std::string>{"p.png"});
}

// The clipboard's block holds the file, however often it grew; a failed allocation leaves nothing.
TEST_F(PngWriter, BlockForTheClipboardIsTheFile) {
  MemHandle h = MakeDib(301, 40, 24, 0);
  MemOwner owner(h);
  Fill(h, 9, 256);
  ASSERT_EQ(WritePngFile(nullptr, PathOf("c.png").c_str(), h, 3780), StatusOk);
  // Block sizes are rounded (and untrimmed when memory ran out): zeros follow the file.
  const auto sameAsFile = [&](MemHandle png) {
    Bytes block = BlockBytes(png), file = ReadFile(PathOf("c.png"));
    const bool holdsAll = block.size() >= file.size();
    file.resize(block.size());
    return holdsAll && block == file;
  };
  MemHandle png = nullptr;
  ASSERT_EQ(EncodePngToBlock(h, 3780, &png), StatusOk);
  {
    MemOwner pngOwner(png);
    EXPECT_TRUE(sameAsFile(png));
  }
#ifndef _WIN32  // the host's blocks can be made to fail
  for (int failing = 0; failing < 14; ++failing) {
    const std::size_t live = HostMemLiveBlocks();
    HostMemFailAllocation(failing);
    png = nullptr;
    const Status s = EncodePngToBlock(h, 3780, &png);
    HostMemFailAllocation(-1);
    MemOwner pngOwner(png);
    EXPECT_EQ(s == StatusNoMemory ? HostMemLiveBlocks() == live : s == StatusOk && sameAsFile(png), true) << failing;
  }
#endif
}

// The coder alone: streams at the edges of its blocks and stored pieces, in
// pieces of every size, each inflated and compared.
TEST(Deflate, StreamsInflateToTheirInput) {
  struct Case {
    std::size_t size;
    std::uint32_t piece, kind;  // kind: 0 noise, 1 one byte, 2 repeated text, 3 noise of 5 values,
                                // 4 noise with zeros where it is probed, 5 noise of 16 values,
                                // 6 noise with values of their own where probing turns sparse
                                // 7 rows of 16 values, each with 10 and 7 bytes of the row above
    unsigned skipShift = 5;
    bool longMatches = false;
  } cases[] = {{0, 1, 0},        {1, 1, 0},          {3, 3, 2},          {65535, 4096, 0}, {65536, 65536, 0},
               {300000, 777, 0}, {300000, 1, 1},     {1000000, 9000, 2}, {400000, 33, 3},  {131072 * 3 + 5, 98302, 2},
               {200000, 98302, 1}, {16384, 16384, 4, 0}, {100000, 100000, 4, 0}, {1000000, 9000, 5},
               {16384, 16384, 6},  {16384, 100, 6, 0}, {99999, 999, 7, 3}, {99999, 999, 7, 3, true}};
  std::size_t shortMatchesSize = 0;  // kind 7's stream with matches of 6 and 7 bytes
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.size << " bytes in pieces of " << c.piece << ", kind " << c.kind
                                    << ", skip shift " << c.skipShift);
    Bytes in(c.size);
    std::mt19937 rng(static_cast<unsigned>(c.size));
    const std::string text = "The quick brown fox jumps over the lazy dog. ";
    // Kind 4 would mislead a coder that counted only the literals it probed:
    // the positions probed in a stretch without matches (at a skip shift
    // of 0, each one more than twice as far from its start as the one
    // before) hold zeros, all else is noise.
    for (std::size_t i = 0, probe = 0; i < c.size; ++i) {
      const bool probed = c.kind == 4 && i == probe;
      if (probed) probe = 2 * probe + 1;
      in[i] = static_cast<std::uint8_t>(probed ? 0 : c.kind == 0 || c.kind == 4 || c.kind == 6 ? rng() : c.kind == 1 ? 0x5A
                                        : c.kind == 3 ? rng() % 5 : c.kind == 5 || c.kind == 7 ? rng() % 16
                                                                        : text[i % 45] ^ (i % 5000 == 0));
    }
    for (std::size_t i = 32; c.kind == 7 && i < c.size; ++i) {
      if (i % 32 < 10 || i % 32 - 16 < 7) in[i] = in[i - 32];
    }
    if (c.kind == 6) {
      // Noise below 127 with a run of 127 in the middle, whose matches end
      // where the run does. About the two places where a stretch without
      // matches starts, values found nowhere else: a count that missed one
      // would leave it without a code.
      for (auto& v : in) v %= 127;
      std::fill(in.begin() + 6000, in.begin() + 9000, 127);
      const std::size_t edge = std::size_t{1} << c.skipShift;
      std::uint8_t own = 128;
      for (const std::size_t from : {std::size_t{0}, std::size_t{9000}}) {
        for (const std::size_t at : {edge - 1, edge, edge + 1}) in[from + at] = own++;
      }
      for (std::size_t i = 0; i < 8; ++i) in[edge + 2 + i] = in[i];  // a match at the probe after the first three
      in[c.size - 2] = own++;
      in[c.size - 1] = own;
    }
    Bytes out;
    auto append = [](void* to, std::uint8_t* data, std::uint32_t n) {
      return static_cast<Bytes*>(to)->insert(static_cast<Bytes*>(to)->end(), data, data + n), true;
    };
    DeflateCoder coder(c.size, c.piece, append, &out, c.kind == 7 ? 32 : 0, c.skipShift, c.longMatches);
    ASSERT_TRUE(coder.ok());
    for (std::size_t at = 0; at < c.size;) {
      const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(c.piece, c.size - at));
      std::memcpy(coder.Room(), in.data() + at, n);
      ASSERT_TRUE(coder.Commit(n));
      at += n;
    }
    ASSERT_TRUE(coder.Finish());
    Bytes back(c.size + 1);
    uLongf size = back.size();
    uLong used = out.size();
    ASSERT_EQ(uncompress2(back.data(), &size, out.data(), &used), Z_OK);
    EXPECT_EQ(used, out.size()) << "bytes after the stream";
    back.resize(size);
    EXPECT_EQ(back, in);
    EXPECT_TRUE(c.kind != 7 || !c.longMatches || out.size() > shortMatchesSize) << "the 7-byte matches were taken";
    if (c.kind == 7) shortMatchesSize = out.size();
    // Noise is stored, 5 bytes a block of 16 KB or more, however sparsely
    // it was probed; 16 values are coded near their 4 bits each, though
    // hardly any is found in a match; a run is all matches.
    EXPECT_LE(out.size(), c.kind == 0 || c.kind == 4 ? c.size + (c.size / 16384 + 2) * 5 + 6
                          : c.kind == 5              ? c.size * 6 / 10
                                                     : (c.kind == 1 ? c.size / 100 : c.size) + 16);
  }
}

TEST(Deflate, EveryChecksumVariantAgreesWithZlib) {
  // Lengths about each variant's steps (16, 32, 64 bytes) and the Adler
  // sums' reduction (5552), at each alignment, continued from a running value.
  Bytes data(70000 + 3);
  std::mt19937 rng(17);
  for (auto& b : data) b = static_cast<std::uint8_t>(rng() % 3 == 0 ? 0xFF : rng());
  struct Variant {
    const char* name;
    std::uint32_t (*fn)(std::uint32_t, const std::uint8_t*, std::size_t);
    bool runs;  // the processor has what the variant needs
  } variants[] = {{"crc tables", Crc32Tables, true},
                  {"crc folding", Crc32Folding, CpuHasClmul()},
                  {"adler sse2", Adler32Sse2, true},
                  {"adler avx2", Adler32Avx2, CpuHasAvx2()}};
  for (const std::size_t n : {0, 1, 15, 16, 31, 33, 63, 64, 65, 127, 128, 129, 200, 5552, 5553, 11105, 70000}) {
    for (std::size_t offset = 0; offset < 4; ++offset) {
      const std::uint8_t* p = data.data() + offset;
      const auto size = static_cast<uInt>(n);
      for (const auto& [name, fn, runs] : variants) {
        if (!runs) continue;
        const bool crc = name[0] == 'c';
        const std::uint32_t start = crc ? 0x1234567u : 0x00F0ABCDu;
        EXPECT_EQ(fn(start, p, n), crc ? crc32(start, p, size) : adler32(start, p, size))
            << name << ", " << n << " bytes at offset " << offset;
      }
    }
  }
}

TEST(Deflate, CodeLengthsAreCompleteWithinTheirLimit) {
  // Fibonacci weights make the deepest tree Huffman's rule can; one used
  // symbol needs a partner; none needs no code.
  std::vector<std::uint32_t> fibonacci(286), flat(19, 1), one(30), none(30), skewed(286);
  fibonacci[0] = fibonacci[1] = one[7] = 1;
  for (std::size_t i = 2; i < 40; ++i) fibonacci[i] = fibonacci[i - 1] + fibonacci[i - 2];
  for (std::size_t i = 0; i < skewed.size(); ++i) skewed[i] = i % 3 ? 0 : 1u << (i % 20);
  const std::pair<const std::vector<std::uint32_t>*, unsigned> cases[] = {
      {&fibonacci, 15}, {&fibonacci, 7}, {&flat, 7}, {&one, 15}, {&skewed, 15}, {&none, 15}};
  for (auto [freq, limit] : cases) {
    std::uint8_t lengths[286];
    BuildCodeLengths(freq->data(), static_cast<unsigned>(freq->size()), limit, lengths);
    double kraft = 0;
    for (std::size_t s = 0; s < freq->size(); ++s) {
      EXPECT_TRUE(lengths[s] <= limit && ((*freq)[s] == 0 || lengths[s] > 0)) << "symbol " << s;
      kraft += lengths[s] != 0 ? 1.0 / (1u << lengths[s]) : 0;
    }
    EXPECT_EQ(kraft, freq == &none ? 0.0 : 1.0) << "size " << freq->size() << " limit " << limit;
  }
}

}  // namespace
