// The benchmarks' entry. Natively the yardsticks run in the same process;
// ImageMagick is held to one thread, as our steps run on one.
//
//   pictrap_bench [--write-pictures DIR] [Google Benchmark flags]
//
// --write-pictures writes the synthetic pictures into DIR as packed DIB
// files (for the Pillow yardstick) and ends.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "bench/bench_common.h"
#if !defined(_WIN32)
#include <wand/MagickWand.h>
#endif

namespace {

int WritePictures(const std::string& dir) {
  for (const BenchPicture& p : BenchPictures()) {
    if (p.name.rfind("synthetic", 0) != 0) continue;
    MemLockGuard lock(p.dib);
    DibLayout l;
    CheckDibLayout(lock.data(), lock.size(), &l);
    std::FILE* f = std::fopen((dir + "/" + p.name + ".dib").c_str(), "wb");
    if (f == nullptr) return 1;
    const std::size_t n = std::size_t{l.pixelOffset} + l.imageSize;
    const bool ok = std::fwrite(lock.data(), 1, n, f) == n;
    if (std::fclose(f) != 0 || !ok) return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write-pictures") == 0) return WritePictures(argv[2]);
  BenchPictures();  // reports a missing real picture once, before the runs
#if !defined(_WIN32)
  MagickWandGenesis();
  SetMagickResourceLimit(ThreadResource, 1);
#endif
  RegisterOurBenchmarks();
#if !defined(_WIN32)
  RegisterYardstickBenchmarks();
#endif
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
#if !defined(_WIN32)
  MagickWandTerminus();
#endif
  return 0;
}
