// Image processing against ImageMagick's MagickWand as the yardstick, on a
// 1920x1080 screenshot-like picture.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include <wand/MagickWand.h>

#include "bench/screenshot.h"
#include "imaging/blackwhite.h"
#include "imaging/greyscale.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

MemHandle Screenshot24() {
  static MemHandle h = MakeScreenshotDib(kWidth, kHeight, 24);
  return h;
}

// The same pixels in a wand, rows top-down as ImageMagick keeps them.
MagickWand* ScreenshotWand() {
  MemLockGuard lock(Screenshot24());
  const std::uint32_t stride = DibRowStride(24, kWidth);
  std::vector<std::uint8_t> topDown(std::size_t{3} * kWidth * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    std::memcpy(&topDown[std::size_t{3} * kWidth * y], lock.data() + 40 + std::size_t{stride} * (kHeight - 1 - y),
                std::size_t{3} * kWidth);
  }
  MagickWand* wand = NewMagickWand();
  MagickConstituteImage(wand, kWidth, kHeight, "BGR", CharPixel, topDown.data());
  return wand;
}

void BM_MakeGreyscaleDib(benchmark::State& state) {
  for (auto _ : state) {
    MemHandle grey = nullptr;
    MakeGreyscaleDib(Screenshot24(), &grey);
    benchmark::DoNotOptimize(grey);
    MemFree(grey);
  }
}
BENCHMARK(BM_MakeGreyscaleDib)->Unit(benchmark::kMillisecond);

void BM_MakeBlackWhiteDib(benchmark::State& state) {
  for (auto _ : state) {
    MemHandle bw = nullptr;
    MakeBlackWhiteDib(nullptr, Screenshot24(), &bw);
    benchmark::DoNotOptimize(bw);
    MemFree(bw);
  }
}
BENCHMARK(BM_MakeBlackWhiteDib)->Unit(benchmark::kMillisecond);

void BM_InvertDib(benchmark::State& state) {
  for (auto _ : state) {
    MemHandle inv = nullptr;
    InvertDib(Screenshot24(), &inv);
    benchmark::DoNotOptimize(inv);
    MemFree(inv);
  }
}
BENCHMARK(BM_InvertDib)->Unit(benchmark::kMillisecond);

void BM_CopyDib(benchmark::State& state) {
  for (auto _ : state) {
    MemHandle copy = nullptr;
    CopyDib(Screenshot24(), &copy);
    benchmark::DoNotOptimize(copy);
    MemFree(copy);
  }
}
BENCHMARK(BM_CopyDib)->Unit(benchmark::kMillisecond);

// MagickWand works on a copy of the wand each time; the copy is not timed.
template <typename Convert>
void RunMagick(benchmark::State& state, Convert convert) {
  MagickWand* source = ScreenshotWand();
  for (auto _ : state) {
    state.PauseTiming();
    MagickWand* wand = CloneMagickWand(source);
    state.ResumeTiming();
    convert(wand);
    state.PauseTiming();
    DestroyMagickWand(wand);
    state.ResumeTiming();
  }
  DestroyMagickWand(source);
}

void BM_MagickGrey(benchmark::State& state) {
  RunMagick(state, [](MagickWand* w) { MagickTransformImageColorspace(w, GRAYColorspace); });
}
BENCHMARK(BM_MagickGrey)->Unit(benchmark::kMillisecond);

void BM_MagickGreyThreshold(benchmark::State& state) {
  RunMagick(state, [](MagickWand* w) {
    MagickTransformImageColorspace(w, GRAYColorspace);
    MagickThresholdImage(w, QuantumRange / 2);
  });
}
BENCHMARK(BM_MagickGreyThreshold)->Unit(benchmark::kMillisecond);

}  // namespace
