// Replays every input that once troubled a writer fuzzer (and the hostile
// blocks seeded beside them): the writer answers with a status, reads nothing
// outside the block (the sanitizers watch), and leaves no file on failure.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "../fuzz/fuzz_input.h"
#include "formats/writers.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;

using FuzzRegressions = TempDir;

TEST_F(FuzzRegressions, EveryKeptInputIsHandled) {
  const fs::path root = fs::path(PICTRAP_SOURCE_DIR) / "tests" / "fuzz" / "regressions";
  int replayed = 0;
  for (const char* writer : {"bmp", "pcx", "tiff", "png"}) {
    for (const auto& entry : fs::directory_iterator(root / writer)) {
      std::ifstream in(entry.path(), std::ios::binary);
      const std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
      FuzzCase c = MakeFuzzCase(bytes.data(), bytes.size());
      MemOwner owner(c.dib);
      const std::string out = PathOf("out");
      Status s;
      if (std::string(writer) == "bmp") {
        s = WriteBmpFile(nullptr, out.c_str(), c.dib);
      } else if (std::string(writer) == "pcx") {
        s = WritePcxFile(nullptr, out.c_str(), c.dib, 5, 300);
      } else if (std::string(writer) == "png") {
        s = WritePngFile(nullptr, out.c_str(), c.dib, 3780);
      } else {
        s = WriteTiffFile(nullptr, out.c_str(), c.dib, c.compression, c.greyFlag, 300);
      }
      const std::string what = entry.path().filename().string();
      EXPECT_TRUE(s == StatusOk || s == StatusBadArgument || s == StatusWriteFailed) << what << ": " << s;
      if (s != StatusOk) {
        EXPECT_TRUE(Files().empty()) << what;
      }
      fs::remove(out);
      ++replayed;
    }
  }
  EXPECT_GE(replayed, 8);
}

}  // namespace
