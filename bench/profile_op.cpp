// profile_op: runs one image step or writer once on a packed DIB file, with
// callgrind's counting switched on around that one call only, so that
// instruction counts per byte can be compared before and after a change on
// a machine too noisy for timings.
//
//   valgrind --tool=callgrind --collect-atstart=no profile_op OP DIB OUT
//   OP: grey, bw, invert, bmp, pcx, tiff, packbits, png; load (the picture
//   only, for counts taken over a whole run)
#include <valgrind/callgrind.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "bench/pictures.h"
#include "formats/writers.h"
#include "imaging/blackwhite.h"
#include "imaging/greyscale.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: profile_op grey|bw|invert|bmp|pcx|tiff|packbits|png|load DIB OUT\n");
    return 2;
  }
  std::string why;
  MemOwner dib(LoadDibFile(argv[2], &why));
  if (dib.get() == nullptr) {
    std::fprintf(stderr, "profile_op: %s\n", why.c_str());
    return 2;
  }
  const std::string op = argv[1];
  const char* out = argv[3];
  MemHandle result = nullptr;
  Status s = StatusBadArgument;
  CALLGRIND_START_INSTRUMENTATION;
  CALLGRIND_TOGGLE_COLLECT;
  if (op == "grey") s = MakeGreyscaleDib(dib.get(), &result);
  else if (op == "bw") s = MakeBlackWhiteDib(nullptr, dib.get(), &result);
  else if (op == "invert") s = InvertDib(dib.get(), &result);
  else if (op == "bmp") s = WriteBmpFile(nullptr, out, dib.get());
  else if (op == "pcx") s = WritePcxFile(nullptr, out, dib.get(), 5, 300);
  else if (op == "tiff") s = WriteTiffFile(nullptr, out, dib.get(), kTiffUncompressed, 0, 300);
  else if (op == "packbits") s = WriteTiffFile(nullptr, out, dib.get(), kTiffPackBits, 0, 300);
  else if (op == "png") s = WritePngFile(nullptr, out, dib.get(), 3780);
  else if (op == "load") s = StatusOk;
  CALLGRIND_TOGGLE_COLLECT;
  CALLGRIND_STOP_INSTRUMENTATION;
  MemFree(result);
  std::remove(out);
  return s == StatusOk ? 0 : 1;
}
