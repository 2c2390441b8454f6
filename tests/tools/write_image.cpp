// write_image: runs one writer or one image conversion on a packed DIB read
// from a file, for the decoder, disk-full and real-picture tests. A
// conversion's resulting packed DIB is written to OUT as its bytes. Exit
// code: the operation's status (0 = success).
//
//   write_image bmp|pcx|tiff|tiff-packbits|png|grey|invert|bw DIB OUT [GREY_FLAG]
//
// Natively the progress the operation sent is printed too, one line:
// "progress N: v1,v2,...".
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "formats/writers.h"
#include "imaging/blackwhite.h"
#include "imaging/dib.h"
#include "imaging/greyscale.h"
#include "platform/memory.h"
#if !defined(_WIN32)
#include "platform/progress_host.h"
#endif

namespace {

// Writes a conversion's resulting packed DIB: its header, colour table and
// rows, not the rest of the block, whose size each allocator rounds its own
// way. False when it cannot.
bool SaveDib(MemHandle block, const char* path) {
  MemLockGuard lock(block);
  DibLayout l;
  if (lock.data() == nullptr || CheckDibLayout(lock.data(), lock.size(), &l) != StatusOk) return false;
  std::FILE* f = std::fopen(path, "wb");
  if (f == nullptr) return false;
  const std::size_t n = std::size_t{l.pixelOffset} + l.imageSize;
  const bool ok = std::fwrite(lock.data(), 1, n, f) == n;
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: write_image bmp|pcx|tiff|tiff-packbits|png|grey|invert|bw DIB OUT [GREY_FLAG]\n");
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
#if defined(_WIN32)
  ProgressChannel* progress = nullptr;  // the status window's messages are the end-to-end tests' business
#else
  ProgressChannel channel;
  ProgressChannel* progress = &channel;
#endif
  const auto grey = static_cast<std::uint8_t>(argc > 4 ? std::atoi(argv[4]) : 0);
  const char* op = argv[1];
  Status s;
  MemHandle result = nullptr;
  if (!std::strcmp(op, "bmp")) s = WriteBmpFile(progress, argv[3], dib.get());
  else if (!std::strcmp(op, "pcx")) s = WritePcxFile(progress, argv[3], dib.get(), 5, 300);
  else if (!std::strcmp(op, "tiff")) s = WriteTiffFile(progress, argv[3], dib.get(), kTiffUncompressed, grey, 300);
  else if (!std::strcmp(op, "tiff-packbits")) s = WriteTiffFile(progress, argv[3], dib.get(), kTiffPackBits, grey, 300);
  else if (!std::strcmp(op, "png")) s = WritePngFile(progress, argv[3], dib.get(), 3780);
  else if (!std::strcmp(op, "grey")) s = MakeGreyscaleDib(dib.get(), &result);
  else if (!std::strcmp(op, "invert")) s = InvertDib(dib.get(), &result);
  else if (!std::strcmp(op, "bw")) s = MakeBlackWhiteDib(progress, dib.get(), &result);
  else return 2;
  MemOwner owned(result);
  if (s == StatusOk && result != nullptr && !SaveDib(result, argv[3])) return 2;
  std::printf("%u\n", static_cast<unsigned>(s));
#if !defined(_WIN32)
  std::printf("progress %zu:", channel.sent.size());
  for (std::size_t i = 0; i < channel.sent.size(); ++i) std::printf("%s%u", i ? "," : "", channel.sent[i]);
  std::printf("\n");
#endif
  return s;
}
