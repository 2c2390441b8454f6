// The file writers: exact bytes for the small pinned cases, progress and
// cancel, and the promise that a failure leaves no file and an earlier file
// of the same name untouched.
#include <gtest/gtest.h>

#include <random>

#include "dib_builder.h"
#include "formats/pcx_writer.h"
#include "formats/tiff_writer.h"
#include "formats/writer_file.h"
#include "formats/writers.h"
#include "progress_probe.h"
#include "temp_dir.h"
#ifndef _WIN32
#include "platform/file_output_host.h"
#include "platform/memory_host.h"
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Encode(std::size_t (*encoder)(const std::uint8_t*, std::size_t, std::uint8_t*), const Bytes& in) {
  Bytes out(2 * in.size() + 8);
  out.resize(encoder(in.data(), in.size(), out.data()));
  return out;
}

std::uint16_t At16(const Bytes& b, std::size_t o) { return GetLe16(&b[o]); }
std::uint32_t At32(const Bytes& b, std::size_t o) { return GetLe32(&b[o]); }

void FillRandom(MemHandle h, unsigned seed) {
  MemLockGuard lock(h);
  std::mt19937 rng(seed);
  DibLayout l;
  ASSERT_EQ(CheckDibLayout(lock.data(), lock.size(), &l), StatusOk);
  for (std::size_t i = 40; i < lock.size(); ++i) lock.data()[i] = static_cast<std::uint8_t>(rng());
  for (std::uint32_t i = 0; i < l.colours; ++i) lock.data()[40 + 4 * i + 3] = 0;
}

// Every writer, run on one image with a null status window.
struct NamedWriter {
  const char* name;
  Status (*write)(ProgressChannel*, const char*, MemHandle);
};

const NamedWriter kWriters[] = {
    {"BMP", [](ProgressChannel* p, const char* f, MemHandle d) { return WriteBmpFile(p, f, d); }},
    {"PCX", [](ProgressChannel* p, const char* f, MemHandle d) { return WritePcxFile(p, f, d, 5, 300); }},
    {"TIFF", [](ProgressChannel* p, const char* f, MemHandle d) {
       return WriteTiffFile(p, f, d, kTiffUncompressed, 0, 300);
     }},
    {"TIFF PackBits", [](ProgressChannel* p, const char* f, MemHandle d) {
       return WriteTiffFile(p, f, d, kTiffPackBits, 0, 300);
     }},
    {"PNG", [](ProgressChannel* p, const char* f, MemHandle d) { return WritePngFile(p, f, d, 3780); }},
};

std::string TemporaryOf(const std::string& target, unsigned attempt = 0) {
  std::vector<char> out(target.size() + kTemporaryNameLength + 1, 'x');
  TemporaryNameFor(target.c_str(), attempt, out.data());
  return out.data();
}

TEST(WriterFile, TemporaryNamesLieBesideTheirTargets) {
  const std::string a = TemporaryOf("C:\\SHOTS\\Cap7.bmp");
  EXPECT_EQ(a.rfind("C:\\SHOTS\\~PT", 0), 0u) << a;
  EXPECT_EQ(a.size(), std::string("C:\\SHOTS\\").size() + kTemporaryNameLength);
  EXPECT_NE(a, TemporaryOf("C:\\SHOTS\\Cap8.bmp"));
  EXPECT_EQ(TemporaryOf("/tmp/x.pcx").rfind("/tmp/~PT", 0), 0u);
  EXPECT_EQ(TemporaryOf("x.pcx").rfind("~PT", 0), 0u);
}

using BmpWriter = TempDir;

TEST_F(BmpWriter, OnePixelFileIs58Bytes) {
  MemHandle h = MakeDib(1, 1, 24, 0);
  MemOwner owner(h);
  {
    MemLockGuard lock(h);
    lock.data()[40] = 1, lock.data()[41] = 2, lock.data()[42] = 3;
  }
  ProgressProbe probe;
  const std::string path = PathOf("one.bmp");
  ASSERT_EQ(WriteBmpFile(probe.channel(), path.c_str(), h), StatusOk);
  const Bytes f = ReadFile(path);
  ASSERT_EQ(f.size(), 58u);
  EXPECT_EQ(f[0], 'B');
  EXPECT_EQ(f[1], 'M');
  EXPECT_EQ(At32(f, 2), 58u);
  EXPECT_EQ(At32(f, 6), 0u);
  EXPECT_EQ(At32(f, 10), 54u);
  const Bytes block = BlockBytes(h);
  EXPECT_EQ(Bytes(f.begin() + 14, f.end()), Bytes(block.begin(), block.begin() + 44));
  EXPECT_EQ(probe.sent(), (std::vector<unsigned>{0, 100}));
  EXPECT_EQ(Files(), std::vector<std::string>{"one.bmp"}) << "no temporary file left";
}

TEST_F(BmpWriter, ColourTableAsTheDibHasIt) {
  MemHandle mono = MakeDib(9, 2, 1, 2);
  MemOwner monoOwner(mono);
  SetColour(mono, 0, 10, 20, 30);
  SetColour(mono, 1, 40, 50, 60);
  ASSERT_EQ(WriteBmpFile(nullptr, PathOf("m.bmp").c_str(), mono), StatusOk);
  Bytes f = ReadFile(PathOf("m.bmp"));
  EXPECT_EQ(At32(f, 10), 62u);
  EXPECT_EQ(Bytes(f.begin() + 54, f.begin() + 62), (Bytes{10, 20, 30, 0, 40, 50, 60, 0}));
  EXPECT_EQ(f.size(), 62u + 8);

  MemHandle few = MakeDib(3, 3, 8, 17);
  MemOwner fewOwner(few);
  ASSERT_EQ(WriteBmpFile(nullptr, PathOf("f.bmp").c_str(), few), StatusOk);
  f = ReadFile(PathOf("f.bmp"));
  EXPECT_EQ(At32(f, 10), 54u + 68);
  EXPECT_EQ(At32(f, 2), 54u + 68 + 12);
  EXPECT_EQ(f.size(), 54u + 68 + 12);
}

TEST_F(BmpWriter, RefusesWhatItCannotWrite) {
  MemHandle h = MakeDib(4, 4, 24, 0);
  MemOwner owner(h);
  ProgressProbe probe;
  EXPECT_EQ(WriteBmpFile(probe.channel(), nullptr, h), StatusBadArgument);
  EXPECT_EQ(probe.sent(), std::vector<unsigned>{0});
  EXPECT_EQ(WriteBmpFile(nullptr, PathOf("x.bmp").c_str(), nullptr), StatusBadArgument);
  EXPECT_EQ(WriteBmpFile(nullptr, PathOf("no/such/dir/x.bmp").c_str(), h), StatusCreateFailed);
  SetHeaderField(h, DibSizeImageField, 49);  // one byte more than the block holds
  EXPECT_EQ(WriteBmpFile(nullptr, PathOf("x.bmp").c_str(), h), StatusBadArgument);
  EXPECT_TRUE(Files().empty());
}

using PcxWriter = TempDir;

TEST(PcxRunLength, PinnedCodes) {
  EXPECT_EQ(Encode(EncodePcxLine, Bytes(200, 0)), (Bytes{0xFF, 0, 0xFF, 0, 0xFF, 0, 0xCB, 0}));
  EXPECT_EQ(Encode(EncodePcxLine, Bytes{0xC5}), (Bytes{0xC1, 0xC5}));
  EXPECT_EQ(Encode(EncodePcxLine, Bytes{0x41}), (Bytes{0x41}));
  EXPECT_EQ(Encode(EncodePcxLine, Bytes{0x41, 0x41}), (Bytes{0xC2, 0x41}));
  EXPECT_EQ(Encode(EncodePcxLine, Bytes(64, 7)), (Bytes{0xFF, 7, 7}));
  EXPECT_EQ(Encode(EncodePcxLine, Bytes(64, 0xD0)), (Bytes{0xFF, 0xD0, 0xC1, 0xD0}));
  EXPECT_EQ(Encode(EncodePcxLine, (Bytes{1, 2, 2, 0xC0})), (Bytes{1, 0xC2, 2, 0xC1, 0xC0}));
}

TEST_F(PcxWriter, TwoPixelPaletteImageIs899Bytes) {
  MemHandle h = MakeDib(2, 1, 8, 256);
  MemOwner owner(h);
  for (std::uint32_t i = 0; i < 256; ++i) SetColour(h, i, static_cast<std::uint8_t>(i), 7, static_cast<std::uint8_t>(255 - i));
  {
    MemLockGuard lock(h);
    lock.data()[1064] = lock.data()[1065] = 5;
  }
  ProgressProbe probe;
  ASSERT_EQ(WritePcxFile(probe.channel(), PathOf("p.pcx").c_str(), h, 5, 300), StatusOk);
  const Bytes f = ReadFile(PathOf("p.pcx"));
  ASSERT_EQ(f.size(), 899u);
  const Bytes head = {10, 5, 1, 8, 0, 0, 0, 0, 1, 0, 0, 0, 44, 1, 44, 1};
  EXPECT_EQ(Bytes(f.begin(), f.begin() + 16), head);
  EXPECT_EQ(f[16], 255) << "entry 0: red 255";
  EXPECT_EQ(f[17], 7);
  EXPECT_EQ(f[18], 0);
  EXPECT_EQ(f[65], 1);
  EXPECT_EQ(At16(f, 66), 2);
  EXPECT_EQ(At16(f, 68), 1);
  EXPECT_EQ(Bytes(f.begin() + 70, f.begin() + 128), Bytes(58, 0));
  EXPECT_EQ(f[128], 0xC2);
  EXPECT_EQ(f[129], 0x05);
  EXPECT_EQ(f[130], 0x0C);
  EXPECT_EQ(f[131 + 3 * 200], 55) << "trailer entry 200: red";
  EXPECT_EQ(f[131 + 3 * 200 + 2], 200) << "trailer entry 200: blue";
  EXPECT_EQ(probe.sent(), (std::vector<unsigned>{0, 100})) << "one row: 100 after the 0";
}

TEST_F(PcxWriter, PlaneLayoutsByDepth) {
  // 1 bit, 9 wide: B = 2, black and white whatever the DIB's colours.
  MemHandle mono = MakeDib(9, 1, 1, 2);
  MemOwner monoOwner(mono);
  SetColour(mono, 0, 9, 9, 9);
  {
    MemLockGuard lock(mono);
    lock.data()[48] = 0x41, lock.data()[49] = 0x80, lock.data()[50] = 0x33;
  }
  ASSERT_EQ(WritePcxFile(nullptr, PathOf("m.pcx").c_str(), mono, 5, 300), StatusOk);
  Bytes f = ReadFile(PathOf("m.pcx"));
  EXPECT_EQ(f[3], 1);
  EXPECT_EQ(f[65], 1);
  EXPECT_EQ(At16(f, 66), 2);
  EXPECT_EQ(Bytes(f.begin() + 16, f.begin() + 22), (Bytes{0, 0, 0, 255, 255, 255}));
  EXPECT_EQ(Bytes(f.begin() + 128, f.end()), (Bytes{0x41, 0x80}));

  // 24 bits, 3 wide: B = 4, three planes red, green, blue, each ending in 0.
  MemHandle rgb = MakeDib(3, 1, 24, 0);
  MemOwner rgbOwner(rgb);
  {
    MemLockGuard lock(rgb);
    const std::uint8_t px[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};  // b g r
    std::memcpy(lock.data() + 40, px, 9);
  }
  ASSERT_EQ(WritePcxFile(nullptr, PathOf("c.pcx").c_str(), rgb, 5, 300), StatusOk);
  f = ReadFile(PathOf("c.pcx"));
  EXPECT_EQ(f[65], 3);
  EXPECT_EQ(At16(f, 66), 4);
  EXPECT_EQ(Bytes(f.begin() + 16, f.begin() + 64), Bytes(48, 0));
  EXPECT_EQ(Bytes(f.begin() + 128, f.end()), (Bytes{3, 6, 9, 0, 2, 5, 8, 0, 1, 4, 7, 0}));

  // 4 bits, 5 wide: four bit planes, B = 2; index bit p goes to plane p.
  MemHandle nib = MakeDib(5, 1, 4, 16);
  MemOwner nibOwner(nib);
  {
    MemLockGuard lock(nib);
    const std::uint8_t px[4] = {0x1F, 0x82, 0x40, 0x00};  // indices 1 15 8 2 4, then padding
    std::memcpy(lock.data() + 40 + 64, px, 4);
  }
  ASSERT_EQ(WritePcxFile(nullptr, PathOf("n.pcx").c_str(), nib, 5, 300), StatusOk);
  f = ReadFile(PathOf("n.pcx"));
  EXPECT_EQ(f[3], 1);
  EXPECT_EQ(f[65], 4);
  EXPECT_EQ(At16(f, 66), 2);
  // plane 0: 1,1,0,0,0 -> 0xC0; plane 1: 0,1,0,1,0 -> 0x50; plane 2: 0,1,0,0,1 -> 0x48;
  // plane 3: 0,1,1,0,0 -> 0x60; each followed by the 0 of the even rounding.
  EXPECT_EQ(Bytes(f.begin() + 128, f.end()), (Bytes{0xC1, 0xC0, 0, 0x50, 0, 0x48, 0, 0x60, 0}));
}

using TiffWriter = TempDir;

TEST(TiffPackBits, PinnedCodes) {
  EXPECT_EQ(Encode(EncodePackBitsRow, (Bytes{0x41, 0x41, 0x41, 0x42, 0x43})), (Bytes{0xFE, 0x41, 0x01, 0x42, 0x43}));
  EXPECT_EQ(Encode(EncodePackBitsRow, Bytes(100, 0)), (Bytes{0xB8, 0, 0xE6, 0}));
  EXPECT_EQ(Encode(EncodePackBitsRow, Bytes(74, 7)), (Bytes{0xB8, 7, 0, 7}));
  Bytes ramp(150);
  for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<std::uint8_t>(i);
  const Bytes coded = Encode(EncodePackBitsRow, ramp);
  ASSERT_EQ(coded.size(), 150u + 3);
  EXPECT_EQ(coded[0], 71);
  EXPECT_EQ(coded[73], 71);
  EXPECT_EQ(coded[146], 5);
  EXPECT_EQ(Encode(EncodePackBitsRow, (Bytes{1, 2, 2, 3})), (Bytes{0, 1, 0xFF, 2, 0, 3}))
      << "a run of two interrupts the literals";
  // The worst case: a lone literal before every run of two.
  Bytes worst;
  for (int i = 0; i < 30; ++i) worst.insert(worst.end(), {1, 2, 2});
  std::vector<std::uint8_t> out(2 * worst.size() + 8);
  EXPECT_EQ(EncodePackBitsRow(worst.data(), worst.size(), out.data()), 4u * 30);
}

TEST_F(TiffWriter, SixteenByEightBilevelIs210Bytes) {
  MemHandle h = MakeDib(16, 8, 1, 2);
  MemOwner owner(h);
  FillRandom(h, 3);
  ProgressProbe probe;
  ASSERT_EQ(WriteTiffFile(probe.channel(), PathOf("b.tif").c_str(), h, kTiffUncompressed, 0, 300), StatusOk);
  const Bytes f = ReadFile(PathOf("b.tif"));
  ASSERT_EQ(f.size(), 210u);
  EXPECT_EQ(Bytes(f.begin(), f.begin() + 4), (Bytes{'I', 'I', 42, 0}));
  EXPECT_EQ(At32(f, 4), 48u);
  EXPECT_EQ(At32(f, 8), 300u);
  EXPECT_EQ(At32(f, 12), 1u);
  EXPECT_EQ(At32(f, 16), 300u);
  EXPECT_EQ(At32(f, 24), 32u) << "the single-strip arrays hold their values too";
  EXPECT_EQ(At32(f, 28), 16u);
  MemLockGuard lock(h);
  for (int y = 0; y < 8; ++y) {  // top row first, 2 bytes each
    EXPECT_EQ(f[32 + 2 * y], lock.data()[48 + 4 * (7 - y)]);
    EXPECT_EQ(f[33 + 2 * y], lock.data()[49 + 4 * (7 - y)]);
  }
  EXPECT_EQ(At16(f, 48), 13);
  struct {
    std::uint16_t tag, type;
    std::uint32_t count, value;
  } const expected[13] = {{254, 4, 1, 0},  {256, 3, 1, 16},  {257, 3, 1, 8},   {258, 3, 1, 1},  {259, 3, 1, 1},
                          {262, 3, 1, 1},  {273, 4, 1, 32},  {277, 3, 1, 1},   {278, 4, 1, 8},  {279, 4, 1, 16},
                          {282, 5, 1, 8},  {283, 5, 1, 16},  {296, 3, 1, 2}};
  for (int i = 0; i < 13; ++i) {
    const std::size_t e = 50 + 12 * i;
    EXPECT_EQ(At16(f, e), expected[i].tag);
    EXPECT_EQ(At16(f, e + 2), expected[i].type) << expected[i].tag;
    EXPECT_EQ(At32(f, e + 4), expected[i].count) << expected[i].tag;
    EXPECT_EQ(At32(f, e + 8), expected[i].value) << expected[i].tag;
  }
  EXPECT_EQ(At32(f, 206), 0u);
  EXPECT_EQ(probe.sent(), (std::vector<unsigned>{0, 0, 100}));
}

// Finds a tag's entry in a file's IFD: {count, value}.
std::pair<std::uint32_t, std::uint32_t> Tag(const Bytes& f, std::uint16_t tag) {
  const std::uint32_t ifd = At32(f, 4);
  for (std::uint16_t i = 0; i < At16(f, ifd); ++i) {
    const std::size_t e = ifd + 2 + 12 * i;
    if (At16(f, e) == tag) return {At32(f, e + 4), At32(f, e + 8)};
  }
  return {0, 0xFFFFFFFF};
}

TEST_F(TiffWriter, KindsAndTheirExtraData) {
  MemHandle grey = MakeDib(5, 9, 8, 256);
  MemOwner greyOwner(grey);
  for (std::uint32_t i = 0; i < 256; ++i) SetColour(grey, i, i, i, i);
  ASSERT_EQ(WriteTiffFile(nullptr, PathOf("g.tif").c_str(), grey, kTiffUncompressed, 1, 300), StatusOk);
  Bytes f = ReadFile(PathOf("g.tif"));
  EXPECT_EQ(At16(f, At32(f, 4)), 15);
  EXPECT_EQ(Tag(f, 291), std::make_pair(256u, 8u));
  EXPECT_EQ(Tag(f, 290).second, 3u);
  EXPECT_EQ(At16(f, 8), 2007);
  EXPECT_EQ(At16(f, 10), 2000);
  EXPECT_EQ(At16(f, 12), 1992);
  EXPECT_EQ(At16(f, 8 + 2 * 128), 1000);
  EXPECT_EQ(At16(f, 8 + 2 * 253), 15);
  EXPECT_EQ(At16(f, 8 + 2 * 254), 7);
  EXPECT_EQ(At16(f, 8 + 2 * 255), 0);
  EXPECT_EQ(Tag(f, 273).first, 2u) << "9 rows: two strips";
  const std::uint32_t counts = Tag(f, 279).second;
  EXPECT_EQ(At32(f, counts), 40u);
  EXPECT_EQ(At32(f, counts + 4), 5u);

  ASSERT_EQ(WriteTiffFile(nullptr, PathOf("p.tif").c_str(), grey, kTiffUncompressed, 0, 300), StatusOk);
  f = ReadFile(PathOf("p.tif"));
  EXPECT_EQ(Tag(f, 262).second, 3u);
  EXPECT_EQ(Tag(f, 320), std::make_pair(768u, 8u));
  EXPECT_EQ(At16(f, 8 + 2 * 255), 65280) << "red 255 as 255 * 256";
  EXPECT_EQ(At16(f, 8 + 2 * (512 + 3)), 3 * 256) << "blue of entry 3";

  MemHandle nib = MakeDib(3, 2, 4, 16);
  MemOwner nibOwner(nib);
  ASSERT_EQ(WriteTiffFile(nullptr, PathOf("n.tif").c_str(), nib, kTiffPackBits, 1, 300), StatusOk);
  f = ReadFile(PathOf("n.tif"));
  EXPECT_EQ(Tag(f, 262).second, 3u) << "4 bits are palette even with the grey flag";
  EXPECT_EQ(Tag(f, 320).first, 48u);
  EXPECT_EQ(Tag(f, 259).second, 32773u);
}

TEST_F(TiffWriter, RgbIsStoredRedGreenBlueAndTheDibRestored) {
  MemHandle h = MakeDib(3, 2, 24, 0);
  MemOwner owner(h);
  FillRandom(h, 11);
  const Bytes before = BlockBytes(h);
  ASSERT_EQ(WriteTiffFile(nullptr, PathOf("c.tif").c_str(), h, kTiffUncompressed, 0, 300), StatusOk);
  EXPECT_EQ(BlockBytes(h), before);
  const Bytes f = ReadFile(PathOf("c.tif"));
  const std::uint32_t triple = Tag(f, 258).second;
  EXPECT_EQ(Tag(f, 258).first, 3u);
  EXPECT_EQ(Bytes(f.begin() + triple, f.begin() + triple + 6), (Bytes{8, 0, 8, 0, 8, 0}));
  EXPECT_EQ(Tag(f, 284).second, 1u);
  const std::uint32_t strip = Tag(f, 273).second;
  EXPECT_EQ(f[strip], before[40 + 12 + 2]) << "top row first, red first";
  EXPECT_EQ(f[strip + 2], before[40 + 12]);
}

TEST_F(TiffWriter, UncompressedRowsUpTo32000Bytes) {
  MemHandle fits = MakeDib(10666, 1, 24, 0);
  MemOwner fitsOwner(fits);
  EXPECT_EQ(WriteTiffFile(nullptr, PathOf("a.tif").c_str(), fits, kTiffUncompressed, 0, 300), StatusOk);
  for (std::int32_t width : {10667, 32767}) {
    MemHandle wide = MakeDib(width, 1, 24, 0);
    MemOwner wideOwner(wide);
    FillRandom(wide, 1);
    const Bytes before = BlockBytes(wide);
    EXPECT_EQ(WriteTiffFile(nullptr, PathOf("b.tif").c_str(), wide, kTiffUncompressed, 0, 300), StatusWriteFailed);
    EXPECT_EQ(BlockBytes(wide), before);
  }
  EXPECT_EQ(Files(), std::vector<std::string>{"a.tif"});
}

TEST_F(TiffWriter, OversizeImagesAreRefusedBeforeAnything) {
  MemHandle tall = MakeDib(1, 32768, 1, 2);
  MemOwner tallOwner(tall);
  ProgressProbe probe;
  EXPECT_EQ(WriteTiffFile(probe.channel(), PathOf("t.tif").c_str(), tall, kTiffPackBits, 0, 300), StatusBadArgument);
  EXPECT_TRUE(probe.sent().empty());
  EXPECT_EQ(WritePcxFile(probe.channel(), PathOf("t.pcx").c_str(), tall, 5, 300), StatusBadArgument);
  EXPECT_EQ(probe.sent(), std::vector<unsigned>{0});
  MemHandle small = MakeDib(3, 3, 8, 256);
  MemOwner smallOwner(small);
  EXPECT_EQ(WriteTiffFile(nullptr, PathOf("l.tif").c_str(), small, 5, 0, 300), StatusBadArgument)
      << "a compression the strips are not coded in";
  EXPECT_TRUE(Files().empty());
}

using AnyWriter = TempDir;

TEST_F(AnyWriter, CancelLeavesTheOldFileAndTheDibAsTheyWere) {
  const int height = 40;
  for (const NamedWriter& w : kWriters) {
    if (std::string(w.name) == "BMP") continue;  // a BMP save cannot be cancelled
    // A drain before each row (PCX) or each strip of 8 rows (TIFF): the
    // cancel found at the first, a middle and the last of them.
    const int drains = std::string(w.name) == "PCX" ? height : height / 8;
    for (int drain : {1, drains / 2 + 1, drains}) {
      MemHandle h = MakeDib(33, height, 24, 0);
      MemOwner owner(h);
      FillRandom(h, 2);
      const Bytes before = BlockBytes(h);
      const std::string path = PathOf("old.img");
      const std::string oldText = "the user's earlier file";
      WriteFile(path, oldText);
      ProgressProbe probe;
      probe.CancelAtDrain(drain);
      EXPECT_EQ(w.write(probe.channel(), path.c_str(), h), StatusCancelled) << w.name << " at drain " << drain;
      EXPECT_EQ(probe.sent().size(), static_cast<std::size_t>(drain) + 1) << w.name << ": nothing after the cancel";
      EXPECT_EQ(ReadFile(path), Bytes(oldText.begin(), oldText.end())) << w.name;
      EXPECT_EQ(Files(), std::vector<std::string>{"old.img"}) << w.name;
      EXPECT_EQ(BlockBytes(h), before) << w.name;
    }
  }
}

// "a/~PT0844F429.TMP" is its own temporary's name (its FNV-1a is 0844F429),
// and "b/~pt9b919cf4.tmp" is the same name in other case, as Windows compares
// names. A save there that wrote the temporary wrote the target itself:
// truncated at once, deleted when the save failed.
TEST_F(AnyWriter, TargetNamedLikeItsOwnTemporary) {
  EXPECT_EQ(TemporaryOf("a/~PT0844F429.TMP"), "a/~PU0844F429.TMP");
  EXPECT_EQ(TemporaryOf("b/~pt9b919cf4.tmp"), "b/~PU9B919CF4.TMP");
  const std::filesystem::path start = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  for (const char* target : {"a/~PT0844F429.TMP", "b/~pt9b919cf4.tmp"}) {
    std::filesystem::create_directory(std::string(target, 1));
    MemHandle h = MakeDib(16, 24, 8, 256);
    MemOwner owner(h);
    for (const NamedWriter& w : kWriters) {
      WriteFile(target, "kept");
      ProgressProbe probe;
      probe.CancelAtDrain(2);
      const bool cancellable = std::string(w.name) != "BMP";
      EXPECT_EQ(w.write(cancellable ? probe.channel() : nullptr, target, h), cancellable ? StatusCancelled : StatusOk)
          << w.name << " " << target;
      if (cancellable) {
        EXPECT_EQ(ReadFile(target), Bytes({'k', 'e', 'p', 't'})) << w.name << " " << target;
      }
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(std::string(target, 1)),
                              std::filesystem::directory_iterator()),
                1) << w.name << " " << target;
    }
  }
  std::filesystem::current_path(start);
}

// Files that happen to have the first temporary names are someone else's:
// the save takes the next free name, and gives up (200) once all are taken.
TEST_F(AnyWriter, TakenTemporaryNamesAreLeftAlone) {
  MemHandle h = MakeDib(6, 4, 8, 256);
  MemOwner owner(h);
  const std::string target = PathOf("cap1.img");
  for (unsigned taken : {1u, kTemporaryNameAttempts}) {
    for (unsigned attempt = 0; attempt < taken; ++attempt) WriteFile(TemporaryOf(target, attempt), "other");
    const bool room = taken < kTemporaryNameAttempts;
    for (const NamedWriter& w : kWriters) {
      EXPECT_EQ(w.write(nullptr, target.c_str(), h), room ? StatusOk : StatusCreateFailed) << w.name << " " << taken;
      EXPECT_EQ(Files().size(), taken + (room ? 1u : 0u)) << w.name << ": each name its own, nothing else left";
      for (unsigned attempt = 0; attempt < taken; ++attempt) {
        EXPECT_EQ(ReadFile(TemporaryOf(target, attempt)), Bytes({'o', 't', 'h', 'e', 'r'})) << w.name << attempt;
      }
    }
    std::filesystem::remove(target);
  }
}

// Only closed files of the temporaries' exact form go: not other names, not
// a save in progress (its temporary open), not the target itself.
TEST_F(AnyWriter, StaleTemporariesOnlyClosedOnesOfTheExactForm) {
  for (const char* n : {"~PT00000001.TMP", "~PU89ABCDEF.TMP", "~pt00000002.tmp", "~PT0000003.TMP", "~PT000000003.TMP",
                        "~PX00000003.TMP", "~PT0000000G.TMP", "~PT00000003.TMQ", "cap1.bmp", "~PT00000005.TMP"}) {
    WriteFile(PathOf(n), "x");
  }
  std::filesystem::create_directory(PathOf("~PT00000004.TMP"));
  FileOut* writing = FileCreateNew(PathOf("~PT00000006.TMP").c_str(), nullptr);
  ASSERT_NE(writing, nullptr);
  EXPECT_EQ(RemoveStaleTemporaries(PathOf("~pt00000005.tmp").c_str()), 2);
  EXPECT_EQ(Files().size(), 10u) << "of 12, the closed ~PT00000001.TMP and ~PU89ABCDEF.TMP went";
  EXPECT_TRUE(FileClose(writing));
  EXPECT_EQ(RemoveStaleTemporaries(PathOf("cap9.bmp").c_str()), 2) << "closed now, and the target changed";
  for (unsigned attempt : {0u, kTemporaryNameAttempts - 1}) {
    EXPECT_TRUE(IsTemporaryName(TemporaryOf("d/~PT0844F429.TMP", attempt).c_str() + 2)) << "its own names too";
  }
}

TEST_F(AnyWriter, SuccessReplacesAnEarlierFile) {
  for (const NamedWriter& w : kWriters) {
    MemHandle h = MakeDib(7, 3, 8, 256);
    MemOwner owner(h);
    const std::string path = PathOf("x.img");
    WriteFile(path, std::string(5000, 'z'));
    ASSERT_EQ(w.write(nullptr, path.c_str(), h), StatusOk) << w.name;
    const Bytes f = ReadFile(path);
    EXPECT_LT(f.size(), 5000u) << w.name << ": the old content is gone";
    EXPECT_NE(f[0], 'z') << w.name;
    EXPECT_EQ(Files(), std::vector<std::string>{"x.img"}) << w.name;
  }
}

#ifndef _WIN32
// Each write of the writer fails in turn, then each allocation: every one is
// reported, and the directory holds only the user's earlier file afterwards.
TEST_F(AnyWriter, EveryFailurePathCleansUp) {
  const std::string oldText = "earlier";
  for (std::uint16_t bits : {1, 4, 8, 24}) {
    for (const NamedWriter& w : kWriters) {
      MemHandle h = MakeDib(700, 30, bits, bits == 24 ? 0 : 1u << bits);
      MemOwner owner(h);
      FillRandom(h, bits);
      const Bytes before = BlockBytes(h);
      const std::string path = PathOf("t.img");
      for (int failing = 0;; ++failing) {
        WriteFile(path, oldText);
        HostFileFaults faults;
        faults.shortWriteAt = failing;
        HostFileSetFaults(faults);
        const std::size_t live = HostMemLiveBlocks();
        const Status s = w.write(nullptr, path.c_str(), h);
        const int writes = HostFileWriteCount();
        HostFileSetFaults(HostFileFaults{});
        EXPECT_EQ(HostMemLiveBlocks(), live);
        EXPECT_EQ(HostMemOpenLocks(), 0u);
        EXPECT_EQ(BlockBytes(h), before) << w.name;
        if (failing >= writes) {
          EXPECT_EQ(s, StatusOk) << w.name << " " << bits;
          break;
        }
        ASSERT_EQ(s, StatusWriteFailed) << w.name << " " << bits << " bits, write " << failing;
        EXPECT_EQ(ReadFile(path), Bytes(oldText.begin(), oldText.end()));
        EXPECT_EQ(Files(), std::vector<std::string>{"t.img"});
      }
      for (int failing = 0;; ++failing) {
        WriteFile(path, oldText);
        const std::size_t live = HostMemLiveBlocks();
        HostMemFailAllocation(failing);
        const Status s = w.write(nullptr, path.c_str(), h);
        HostMemFailAllocation(-1);
        EXPECT_EQ(HostMemLiveBlocks(), live);
        if (s == StatusOk) break;
        ASSERT_EQ(s, StatusNoMemory) << w.name << " allocation " << failing;
        EXPECT_EQ(ReadFile(path), Bytes(oldText.begin(), oldText.end()));
        EXPECT_EQ(Files(), std::vector<std::string>{"t.img"});
        EXPECT_EQ(BlockBytes(h), before);
      }
    }
  }
}

TEST_F(AnyWriter, CreateAndCloseFailures) {
  MemHandle h = MakeDib(5, 5, 8, 256);
  MemOwner owner(h);
  const std::string path = PathOf("c.img");
  for (const NamedWriter& w : kWriters) {
    WriteFile(path, "kept");
    HostFileFaults faults;
    faults.failCreate = true;
    HostFileSetFaults(faults);
    EXPECT_EQ(w.write(nullptr, path.c_str(), h), StatusCreateFailed) << w.name;
    faults = HostFileFaults{};
    faults.failClose = true;
    HostFileSetFaults(faults);
    EXPECT_EQ(w.write(nullptr, path.c_str(), h), StatusWriteFailed) << w.name << ": a failed close";
    HostFileSetFaults(HostFileFaults{});
    EXPECT_EQ(ReadFile(path), Bytes({'k', 'e', 'p', 't'}));
    EXPECT_EQ(Files(), std::vector<std::string>{"c.img"});
  }
}

// Flushed before it replaces an earlier file (a failed flush keeps that
// file: 203); a new name is not flushed.
TEST_F(AnyWriter, FlushBeforeReplacingAnEarlierFile) {
  MemHandle h = MakeDib(5, 5, 24, 0);
  MemOwner owner(h);
  const std::string path = PathOf("f.img");
  const struct { bool earlier, failFlush; Status status; int flushes; } cases[] = {{false, false, StatusOk, 0}, {true, false, StatusOk, 1}, {true, true, StatusWriteFailed, 1},
                     {false, true, StatusOk, 0}};
  for (const NamedWriter& w : kWriters) {
    for (const auto& c : cases) {
      std::filesystem::remove(path);
      if (c.earlier) WriteFile(path, "earlier");
      HostFileFaults faults;
      faults.failFlush = c.failFlush;
      HostFileSetFaults(faults);
      EXPECT_EQ(w.write(nullptr, path.c_str(), h), c.status) << w.name << c.earlier << c.failFlush;
      EXPECT_EQ(HostFileFlushCount(), c.flushes) << w.name << c.earlier << c.failFlush;
      HostFileSetFaults(HostFileFaults{});
      EXPECT_EQ(Files(), std::vector<std::string>{"f.img"});
      EXPECT_TRUE(c.status == StatusOk || ReadFile(path).size() == 7) << w.name << ": the earlier file stays";
    }
  }
}

using WriterProgress = TempDir;

TEST_F(WriterProgress, StripsAndRows) {
  MemHandle h = MakeDib(4, 20, 8, 256);
  MemOwner owner(h);
  ProgressProbe pcx, tiff, packed;
  const std::string dir = dir_.string();
  ASSERT_EQ(WritePcxFile(pcx.channel(), (dir + "/p.pcx").c_str(), h, 5, 300), StatusOk);
  std::vector<unsigned> rows{0};
  for (int k = 1; k <= 20; ++k) rows.push_back(static_cast<unsigned>(k * 100 / 20));
  EXPECT_EQ(pcx.sent(), rows);
  ASSERT_EQ(WriteTiffFile(tiff.channel(), (dir + "/t.tif").c_str(), h, kTiffUncompressed, 0, 300), StatusOk);
  EXPECT_EQ(tiff.sent(), (std::vector<unsigned>{0, 0, 40, 80, 100}));
  ASSERT_EQ(WriteTiffFile(packed.channel(), (dir + "/u.tif").c_str(), h, kTiffPackBits, 0, 300), StatusOk);
  EXPECT_EQ(packed.sent(), (std::vector<unsigned>{0, 0, 40, 80, 100}));
}
#endif

}  // namespace
