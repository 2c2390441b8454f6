// The benchmarks' entry: ImageMagick, the yardstick, is set up around the run.
#include <benchmark/benchmark.h>
#include <wand/MagickWand.h>

int main(int argc, char** argv) {
  MagickWandGenesis();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  MagickWandTerminus();
  return 0;
}
