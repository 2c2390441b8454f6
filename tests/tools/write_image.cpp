// write_image: runs one writer on a packed DIB read from a file, for the
// decoder and disk-full tests. Exit code: the writer's status (0 = success).
//
//   write_image bmp|pcx|tiff|tiff-packbits DIB OUT [GREY_FLAG]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "formats/writers.h"
#include "platform/memory.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: write_image bmp|pcx|tiff|tiff-packbits DIB OUT [GREY_FLAG]\n");
    return 2;
  }
  std::ifstream in(argv[2], std::ios::binary);
  const std::vector<char> bytes(std::istreambuf_iterator<char>(in), {});
  if (bytes.empty()) return 2;
  MemOwner dib(MemAlloc(bytes.size()));
  {
    MemLockGuard lock(dib.get());
    if (lock.data() == nullptr) return 2;
    std::memcpy(lock.data(), bytes.data(), bytes.size());
  }
  const auto grey = static_cast<std::uint8_t>(argc > 4 ? std::atoi(argv[4]) : 0);
  const char* format = argv[1];
  Status s;
  if (!std::strcmp(format, "bmp")) s = WriteBmpFile(nullptr, argv[3], dib.get());
  else if (!std::strcmp(format, "pcx")) s = WritePcxFile(nullptr, argv[3], dib.get(), 5, 300);
  else if (!std::strcmp(format, "tiff")) s = WriteTiffFile(nullptr, argv[3], dib.get(), kTiffUncompressed, grey, 300);
  else if (!std::strcmp(format, "tiff-packbits")) s = WriteTiffFile(nullptr, argv[3], dib.get(), kTiffPackBits, grey, 300);
  else return 2;
  std::printf("%u\n", static_cast<unsigned>(s));
  return s;
}
