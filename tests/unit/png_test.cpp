// The PNG writer and its deflate coder, read back through zlib's inflate: the
// form each table is stored in, every pixel, the chunk layout, and the
// coder's blocks, codes and checksums at their edges.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

#include "dib_builder.h"
#include "formats/png_writer.h"
#include "formats/writers.h"
#include "platform/memory_host.h"
#include "progress_probe.h"
#include "temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Be32(const Bytes& b, std::size_t o) {
  return std::uint32_t{b[o]} << 24 | std::uint32_t{b[o + 1]} << 16 | std::uint32_t{b[o + 2]} << 8 | b[o + 3];
}

Bytes Inflate(const Bytes& z) {
  Bytes out(1 << 16);
  z_stream s{};
  EXPECT_EQ(inflateInit(&s), Z_OK);
  s.next_in = const_cast<Bytes::value_type*>(z.data());
  s.avail_in = static_cast<uInt>(z.size());
  int r = Z_OK;
  while (r == Z_OK) {
    if (s.total_out == out.size()) out.resize(2 * out.size());
    s.next_out = out.data() + s.total_out;
    s.avail_out = static_cast<uInt>(out.size() - s.total_out);
    r = inflate(&s, Z_FINISH);
    if (r == Z_BUF_ERROR && s.avail_out == 0) r = Z_OK;
  }
  EXPECT_EQ(r, Z_STREAM_END) << (s.msg ? s.msg : "");
  EXPECT_EQ(s.avail_in, 0u) << "bytes after the stream";
  out.resize(s.total_out);
  inflateEnd(&s);
  return out;
}

// A file taken apart: chunk types in order (each CRC checked), IHDR, PLTE,
// and the rows unfiltered.
struct PngFile {
  std::string chunks;
  Bytes ihdr, plte, idat, rows;
};

PngFile Parse(const Bytes& f) {
  PngFile p;
  EXPECT_EQ(Bytes(f.begin(), f.begin() + 8), (Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
  for (std::size_t o = 8; o + 12 <= f.size();) {
    const std::uint32_t n = Be32(f, o);
    const std::string type(f.begin() + o + 4, f.begin() + o + 8);
    EXPECT_EQ(Be32(f, o + 8 + n), crc32(0, &f[o + 4], n + 4)) << type;
    const Bytes data(f.begin() + o + 8, f.begin() + o + 8 + n);
    if (!(type == "IDAT" && p.chunks.ends_with("IDAT"))) p.chunks += (p.chunks.empty() ? "" : " ") + type;
    if (type == "IHDR") p.ihdr = data;
    if (type == "PLTE") p.plte = data;
    if (type == "IDAT") p.idat.insert(p.idat.end(), data.begin(), data.end());
    o += 12 + n;
  }
  const Bytes raw = Inflate(p.idat);
  const std::uint32_t width = Be32(p.ihdr, 0), height = Be32(p.ihdr, 4);
  const unsigned bpp = p.ihdr[9] == 2 ? 3 : 1;
  const std::size_t rowBytes = p.ihdr[9] == 2 ? 3 * width : (width * p.ihdr[8] + 7) / 8;
  EXPECT_EQ(raw.size(), height * (rowBytes + 1));
  for (std::size_t y = 0; y < height && raw.size() == height * (rowBytes + 1); ++y) {
    const std::uint8_t filter = raw[y * (rowBytes + 1)];
    EXPECT_LE(filter, 2) << "row " << y;
    for (std::size_t x = 0; x < rowBytes; ++x) {
      const std::uint8_t left = x >= bpp ? p.rows[y * rowBytes + x - bpp] : 0;
      const std::uint8_t up = y > 0 ? p.rows[(y - 1) * rowBytes + x] : 0;
      const std::uint8_t v = raw[y * (rowBytes + 1) + 1 + x];
      p.rows.push_back(static_cast<std::uint8_t>(v + (filter == 1 ? left : filter == 2 ? up : 0)));
    }
  }
  return p;
}

// The DIB's rows as PNG keeps them: top-down, red first, no padding, and
// each padding bit of a last byte cleared on both sides before comparing.
Bytes ExpectedRows(MemHandle h, bool invert) {
  MemLockGuard lock(h);
  DibLayout l;
  EXPECT_EQ(CheckDibLayout(lock.data(), lock.size(), &l), StatusOk);
  const std::size_t rowBytes = l.bitCount == 24 ? 3u * l.width : (std::size_t{l.bitCount} * l.width + 7) / 8;
  Bytes rows;
  for (std::int32_t y = l.height - 1; y >= 0; --y) {
    const std::uint8_t* r = lock.data() + l.pixelOffset + std::size_t{l.stride} * y;
    for (std::size_t x = 0; x < rowBytes; ++x) {
      rows.push_back(static_cast<std::uint8_t>(
          (l.bitCount == 24 ? r[x - x % 3 + 2 - x % 3] : r[x]) ^ (invert ? 0xFF : 0)));
    }
  }
  return rows;
}

void ClearPadding(Bytes& rows, std::size_t rowBytes, unsigned bitsUsed) {
  if (bitsUsed % 8 == 0) return;
  for (std::size_t i = rowBytes - 1; i < rows.size(); i += rowBytes) rows[i] &= 0xFF00 >> bitsUsed % 8;
}

void Fill(MemHandle h, unsigned seed, unsigned below) {
  MemLockGuard lock(h);
  DibLayout l;
  ASSERT_EQ(CheckDibLayout(lock.data(), lock.size(), &l), StatusOk);
  std::mt19937 rng(seed);
  // Runs and repeats as a screen has them, with noise between.
  for (std::size_t i = l.pixelOffset; i < lock.size(); ++i) {
    const unsigned k = rng() % 16;
    lock.data()[i] = static_cast<std::uint8_t>(k < 6 ? lock.data()[i - 1] : k < 9 && i >= l.pixelOffset + l.stride
                                                   ? lock.data()[i - l.stride] : rng() % below);
  }
}

using PngWriter = TempDir;

TEST_F(PngWriter, EachTableGetsItsFormAndEveryPixelComesBack) {
  enum Table { Rgb, Ramp, BlackWhite, WhiteBlack, Other };
  struct Case {
    std::int32_t width, height;
    std::uint16_t bits;
    std::uint32_t clrUsed;
    Table table;
    unsigned below;  // pixel bytes are below this
    std::uint8_t colourType, depth;
    std::size_t plte;
  } cases[] = {
      {1, 1, 24, 0, Rgb, 256, 2, 8, 0},          {37, 19, 24, 0, Rgb, 256, 2, 8, 0},
      {700, 90, 24, 0, Rgb, 256, 2, 8, 0},       {5, 3, 8, 256, Ramp, 256, 0, 8, 0},
      {333, 41, 8, 256, Other, 256, 3, 8, 768},  {9, 9, 8, 4, Other, 4, 3, 8, 12},
      {9, 9, 8, 4, Other, 7, 3, 8, 21},          {13, 5, 4, 16, Other, 256, 3, 4, 48},
      {13, 5, 4, 3, Other, 3, 3, 4, 9},      {1, 1, 1, 2, BlackWhite, 256, 0, 1, 0},
      {77, 30, 1, 2, BlackWhite, 256, 0, 1, 0},  {77, 30, 1, 2, WhiteBlack, 256, 0, 1, 0},
      {77, 30, 1, 2, Other, 256, 3, 1, 6},       {20, 2, 1, 1, Other, 256, 3, 1, 6},
      {3, 3, 1, 256, Other, 256, 3, 1, 6},       {4000, 3, 8, 256, Other, 256, 3, 8, 768},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bits << " table " << c.table);
    MemHandle h = MakeDib(c.width, c.height, c.bits, c.clrUsed);
    MemOwner owner(h);
    Fill(h, c.width, c.below);
    const std::uint32_t colours = DibColourCount(c.bits, c.clrUsed);
    for (std::uint32_t i = 0; i < colours; ++i) {
      const auto v = static_cast<std::uint8_t>(i);
      if (c.table == Ramp) SetColour(h, i, v, v, v);
      if (c.table == BlackWhite || c.table == WhiteBlack) {
        const std::uint8_t grey = (i == 0) == (c.table == WhiteBlack) ? 255 : 0;
        SetColour(h, i, grey, grey, grey);
      }
      if (c.table == Other) SetColour(h, i, v, static_cast<std::uint8_t>(v * 7 + 1), static_cast<std::uint8_t>(~v));
    }
    const std::string path = PathOf("f.png");
    ASSERT_EQ(WritePngFile(nullptr, path.c_str(), h, 3780), StatusOk);
    const Bytes file = ReadFile(path);
    const PngFile p = Parse(file);
    EXPECT_EQ(p.chunks, c.plte ? "IHDR sRGB pHYs PLTE IDAT IEND" : "IHDR sRGB pHYs IDAT IEND");
    EXPECT_EQ(p.ihdr[9], c.colourType);
    EXPECT_EQ(p.ihdr[8], c.depth);
    ASSERT_EQ(p.plte.size(), c.plte);
    for (std::size_t i = 0; i < c.plte / 3 && i < colours; ++i) {  // red, green, blue of each entry
      const auto v = static_cast<std::uint8_t>(i);
      EXPECT_EQ(p.plte[3 * i], static_cast<std::uint8_t>(~v));
      EXPECT_EQ(p.plte[3 * i + 1], static_cast<std::uint8_t>(v * 7 + 1));
      EXPECT_EQ(p.plte[3 * i + 2], v);
    }
    for (std::size_t i = colours; i < c.plte / 3; ++i) {
      EXPECT_EQ(p.plte[3 * i] | p.plte[3 * i + 1] | p.plte[3 * i + 2], 0) << "entry " << i << " beyond the table";
    }
    const std::size_t rowBytes = c.bits == 24 ? 3u * c.width : (std::size_t{c.bits} * c.width + 7) / 8;
    Bytes expected = ExpectedRows(h, c.table == WhiteBlack), got = p.rows;
    ClearPadding(expected, rowBytes, c.bits * static_cast<unsigned>(c.width));
    ClearPadding(got, rowBytes, c.bits * static_cast<unsigned>(c.width));
    EXPECT_EQ(got, expected);
    ASSERT_EQ(WritePngFile(nullptr, PathOf("g.png").c_str(), h, 3780), StatusOk);
    EXPECT_EQ(ReadFile(PathOf("g.png")), file) << "two saves, one file";
  }
}

TEST_F(PngWriter, OnePixelHeadChunks) {
  MemHandle h = MakeDib(1, 1, 24, 0);
  MemOwner owner(h);
  const std::string path = PathOf("one.png");
  ASSERT_EQ(WritePngFile(nullptr, path.c_str(), h, 2835), StatusOk);
  const Bytes f = ReadFile(path);
  const Bytes head = {
      0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
      0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0, 0, 0x90, 0x77, 0x53, 0xDE,
      0, 0, 0, 1, 's', 'R', 'G', 'B', 0, 0xAE, 0xCE, 0x1C, 0xE9,
      0, 0, 0, 9, 'p', 'H', 'Y', 's', 0, 0, 0x0B, 0x13, 0, 0, 0x0B, 0x13, 1, 0, 0x9A, 0x9C, 0x18,
  };
  ASSERT_GT(f.size(), head.size() + 24);
  EXPECT_EQ(Bytes(f.begin(), f.begin() + head.size()), head);
  EXPECT_EQ(Bytes(f.end() - 12, f.end()), (Bytes{0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82}));
  EXPECT_EQ(Parse(f).rows, Bytes(3, 0));
}

TEST_F(PngWriter, ProgressEveryEightRowsAndHostileHeaders) {
  MemHandle h = MakeDib(4, 20, 8, 256);
  MemOwner owner(h);
  ProgressProbe probe;
  ASSERT_EQ(WritePngFile(probe.channel(), PathOf("p.png").c_str(), h, 3780), StatusOk);
  EXPECT_EQ(probe.sent(), (std::vector<unsigned>{0, 0, 40, 80, 100}));
  struct Hostile {
    DibField field;
    std::uint32_t value;
  } hostile[] = {{DibHeightField, 0}, {DibWidthField, 32768}, {DibBitCountField, 16}, {DibSizeField, 108},
                 {DibClrUsedField, 257}, {DibHeightField, 1u << 20}};
  for (const Hostile& x : hostile) {
    MemHandle bad = MakeDib(4, 20, 8, 256);
    MemOwner badOwner(bad);
    SetHeaderField(bad, x.field, x.value);
    EXPECT_EQ(WritePngFile(nullptr, PathOf("h.png").c_str(), bad, 3780), StatusBadArgument) << x.field;
  }
  EXPECT_EQ(WritePngFile(nullptr, PathOf("n.png").c_str(), nullptr, 3780), StatusBadArgument);
  for (std::int32_t width : {kWriterMaxSide, kWriterMaxSide + 1}) {
    MemHandle wide = MakeDib(width, 1, 8, 256);
    MemOwner wideOwner(wide);
    EXPECT_EQ(WritePngFile(nullptr, PathOf("p.png").c_str(), wide, 3780),
              width > kWriterMaxSide ? StatusBadArgument : StatusOk);
  }
  EXPECT_EQ(Files(), std::vector<std::string>{"p.png"});
}

// The clipboard's block holds the file's bytes, however often it had to
// grow; a failed allocation anywhere leaves nothing behind.
TEST_F(PngWriter, BlockForTheClipboardIsTheFile) {
  MemHandle h = MakeDib(301, 40, 24, 0);
  MemOwner owner(h);
  Fill(h, 9, 256);
  ASSERT_EQ(WritePngFile(nullptr, PathOf("c.png").c_str(), h, 3780), StatusOk);
  for (int failing = 0;; ++failing) {
    const std::size_t live = HostMemLiveBlocks();
    HostMemFailAllocation(failing);
    MemHandle png = nullptr;
    const Status s = EncodePngToBlock(h, 3780, &png);
    HostMemFailAllocation(-1);
    if (s == StatusNoMemory) {
      EXPECT_EQ(png, nullptr);
      EXPECT_EQ(HostMemLiveBlocks(), live) << "allocation " << failing;
      continue;
    }
    ASSERT_EQ(s, StatusOk);
    MemOwner pngOwner(png);
    // Block sizes are rounded; and with no memory to trim it, the block is
    // the grown one. Either way zeros follow the file.
    const Bytes block = BlockBytes(png), file = ReadFile(PathOf("c.png"));
    ASSERT_GE(block.size(), file.size());
    EXPECT_EQ(Bytes(block.begin(), block.begin() + file.size()), file) << "allocation " << failing << " failing";
    EXPECT_EQ(std::count(block.begin() + file.size(), block.end(), 0), block.end() - block.begin() - file.size());
    if (failing > 12) break;
  }
}

TEST(PngResolution, DotsPerInchToPixelsPerMetre) {
  const std::pair<std::uint32_t, std::uint32_t> table[] = {{96, 3780}, {72, 2835}, {120, 4724}, {144, 5669},
                                                           {1, 39},    {0, 0},     {600, 23622}};
  for (auto [dpi, ppm] : table) EXPECT_EQ(PixelsPerMetre(dpi), ppm) << dpi;
}

// The coder alone: streams at the edges of its blocks and stored pieces, in
// pieces of every size, each inflated and compared.
TEST(Deflate, StreamsInflateToTheirInput) {
  struct Case {
    std::size_t size;
    std::uint32_t piece;
    int kind;  // 0 noise, 1 one byte, 2 repeated text, 3 noise over a small alphabet
  } cases[] = {{0, 1, 0},        {1, 1, 0},          {3, 3, 2},          {65535, 4096, 0}, {65536, 65536, 0},
               {300000, 777, 0}, {300000, 1, 1},     {1000000, 9000, 2}, {400000, 33, 3},  {131072 * 3 + 5, 98302, 2},
               {200000, 98302, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.size << " bytes in pieces of " << c.piece << ", kind " << c.kind);
    Bytes in(c.size);
    std::mt19937 rng(static_cast<unsigned>(c.size));
    const std::string text = "The quick brown fox jumps over the lazy dog. ";
    for (std::size_t i = 0; i < c.size; ++i) {
      in[i] = static_cast<std::uint8_t>(c.kind == 0   ? rng()
                                        : c.kind == 1 ? 0x5A
                                        : c.kind == 2 ? text[i % text.size()] ^ (i % 5000 == 0)
                                                      : rng() % 5);
    }
    Bytes out;
    DeflateCoder coder(c.size, c.piece, [](void* context, std::uint8_t* data, std::uint32_t n) {
      static_cast<Bytes*>(context)->insert(static_cast<Bytes*>(context)->end(), data, data + n);
      return true;
    }, &out);
    ASSERT_TRUE(coder.ok());
    for (std::size_t at = 0; at < c.size;) {
      const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(c.piece, c.size - at));
      std::memcpy(coder.Room(), in.data() + at, n);
      ASSERT_TRUE(coder.Commit(n));
      at += n;
    }
    ASSERT_TRUE(coder.Finish());
    EXPECT_EQ(Inflate(out), in);
    if (c.kind == 0) {
      EXPECT_LE(out.size(), c.size + (c.size / 16384 + 2) * 5 + 6) << "noise is stored, 5 bytes a block of 16 KB or more";
    }
    if (c.kind == 1) {
      EXPECT_LT(out.size(), c.size / 100);
    }
  }
}

TEST(Deflate, CodeLengthsAreCompleteWithinTheirLimit) {
  std::vector<std::uint32_t> fibonacci(286), flat(19, 1), one(30), none(30), skewed(286);
  fibonacci[0] = fibonacci[1] = 1;
  for (std::size_t i = 2; i < 40; ++i) fibonacci[i] = fibonacci[i - 1] + fibonacci[i - 2];
  one[7] = 99;
  for (std::size_t i = 0; i < skewed.size(); ++i) skewed[i] = i % 3 ? 0 : 1u << (i % 20);
  struct Case {
    const std::vector<std::uint32_t>* freq;
    unsigned limit;
  } cases[] = {{&fibonacci, 15}, {&fibonacci, 7}, {&flat, 7}, {&one, 15}, {&skewed, 15}, {&none, 15}};
  for (const Case& c : cases) {
    std::uint8_t lengths[286];
    BuildCodeLengths(c.freq->data(), static_cast<unsigned>(c.freq->size()), c.limit, lengths);
    double kraft = 0;
    unsigned used = 0;
    for (std::size_t s = 0; s < c.freq->size(); ++s) {
      EXPECT_LE(lengths[s], c.limit);
      EXPECT_TRUE((*c.freq)[s] == 0 || lengths[s] > 0) << "symbol " << s;
      if (lengths[s] != 0) kraft += 1.0 / (1u << lengths[s]), ++used;
    }
    EXPECT_EQ(kraft, used == 0 ? 0.0 : 1.0) << "size " << c.freq->size() << " limit " << c.limit;
  }
}

TEST(Deflate, ChecksumsAgreeWithZlib) {
  Bytes data(20000);
  std::mt19937 rng(5);
  for (auto& b : data) b = static_cast<std::uint8_t>(rng() | 0xF0);  // large bytes strain the sums
  for (std::size_t n : {0u, 1u, 15u, 16u, 17u, 5551u, 5552u, 5553u, 11111u, 20000u}) {
    for (std::uint32_t start : {1u, 0xFFF0FFF0u}) {
      EXPECT_EQ(Adler32(start, data.data(), n), adler32(start, data.data(), static_cast<uInt>(n))) << n;
    }
    EXPECT_EQ(Crc32(0x12345678, data.data(), n), crc32(0x12345678, data.data(), static_cast<uInt>(n))) << n;
  }
}

}  // namespace
