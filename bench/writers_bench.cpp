// The writers against libtiff (PackBits, 8 rows per strip), MagickWand (PCX)
// and a plain write of the same number of bytes, on 1920x1080
// screenshot-like pictures at 24 and 8 bits. Files go to a fresh directory;
// each timed write creates a new file, as a save does.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>
#include <wand/MagickWand.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/screenshot.h"
#include "formats/writers.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

MemHandle Screenshot(int bits) {
  static MemHandle rgb = MakeScreenshotDib(kWidth, kHeight, 24);
  static MemHandle pal = MakeScreenshotDib(kWidth, kHeight, 8);
  return bits == 24 ? rgb : pal;
}

// A folder of the run's own, removed when the program ends.
struct OutputFolder {
  std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("pictrap-bench-" + std::to_string(::getpid()));
  OutputFolder() { std::filesystem::create_directories(path); }
  ~OutputFolder() { std::filesystem::remove_all(path); }
};

std::string OutputPath(const char* name) {
  static const OutputFolder folder;
  return (folder.path / name).string();
}

template <typename Write>
void RunWriter(benchmark::State& state, const char* name, Write write) {
  const std::string path = OutputPath(name);
  for (auto _ : state) {
    state.PauseTiming();
    ::unlink(path.c_str());
    state.ResumeTiming();
    if (write(path) != StatusOk) state.SkipWithError("write failed");
  }
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
}

void BM_WriteBmp(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  RunWriter(state, "w.bmp", [&](const std::string& p) { return WriteBmpFile(nullptr, p.c_str(), Screenshot(bits)); });
}
void BM_WritePcx(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  RunWriter(state, "w.pcx",
            [&](const std::string& p) { return WritePcxFile(nullptr, p.c_str(), Screenshot(bits), 5, 300); });
}
void BM_WriteTiffUncompressed(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  RunWriter(state, "u.tif", [&](const std::string& p) {
    return WriteTiffFile(nullptr, p.c_str(), Screenshot(bits), kTiffUncompressed, 0, 300);
  });
}
void BM_WriteTiffPackBits(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  RunWriter(state, "p.tif", [&](const std::string& p) {
    return WriteTiffFile(nullptr, p.c_str(), Screenshot(bits), kTiffPackBits, 0, 300);
  });
}

// A plain write of as many bytes as the named writer produced, to a new file.
template <Status (*Writer)(const std::string&, int)>
void PlainWriteLike(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  const std::string sample = OutputPath("sample");
  Writer(sample, bits);
  const std::vector<char> bytes(std::filesystem::file_size(sample), 'x');
  const std::string path = OutputPath("plain");
  for (auto _ : state) {
    state.PauseTiming();
    ::unlink(path.c_str());
    state.ResumeTiming();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) state.SkipWithError("short");
    ::close(fd);
  }
}
Status SampleBmp(const std::string& p, int bits) { return WriteBmpFile(nullptr, p.c_str(), Screenshot(bits)); }
Status SampleTiff(const std::string& p, int bits) {
  return WriteTiffFile(nullptr, p.c_str(), Screenshot(bits), kTiffUncompressed, 0, 300);
}
void BM_PlainWriteLikeBmp(benchmark::State& state) { PlainWriteLike<SampleBmp>(state); }
void BM_PlainWriteLikeTiff(benchmark::State& state) { PlainWriteLike<SampleTiff>(state); }

// libtiff with PackBits, 8 rows per strip, from the same top-down rows (red
// first for 24 bits), prepared before the timing.
void BM_LibtiffPackBits(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  MemLockGuard lock(Screenshot(bits));
  DibLayout l;
  CheckDibLayout(lock.data(), lock.size(), &l);
  const std::uint32_t r = bits == 24 ? 3 * kWidth : kWidth;
  std::vector<std::uint8_t> rows(std::size_t{r} * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    const std::uint8_t* src = lock.data() + l.pixelOffset + std::size_t{l.stride} * (kHeight - 1 - y);
    std::uint8_t* dst = &rows[std::size_t{r} * y];
    std::memcpy(dst, src, r);
    if (bits == 24)
      for (int x = 0; x < kWidth; ++x) std::swap(dst[3 * x], dst[3 * x + 2]);
  }
  std::vector<std::uint16_t> map(3 * 256);
  for (int i = 0; i < 256; ++i) {
    const std::uint8_t* q = lock.data() + 40 + 4 * i;
    map[i] = static_cast<std::uint16_t>(q[2] << 8), map[256 + i] = static_cast<std::uint16_t>(q[1] << 8),
    map[512 + i] = static_cast<std::uint16_t>(q[0] << 8);
  }
  const std::string path = OutputPath("libtiff.tif");
  TIFFSetWarningHandler(nullptr);
  for (auto _ : state) {
    state.PauseTiming();
    ::unlink(path.c_str());
    state.ResumeTiming();
    TIFF* t = TIFFOpen(path.c_str(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, bits == 24 ? 3 : 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, bits == 24 ? PHOTOMETRIC_RGB : PHOTOMETRIC_PALETTE);
    if (bits == 8) TIFFSetField(t, TIFFTAG_COLORMAP, &map[0], &map[256], &map[512]);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_PACKBITS);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 8);
    for (int s = 0; s * 8 < kHeight; ++s) {
      const int n = std::min(8, kHeight - s * 8);
      TIFFWriteEncodedStrip(t, s, &rows[std::size_t{r} * 8 * s], static_cast<tmsize_t>(r) * n);
    }
    TIFFClose(t);
  }
}

// MagickWand writing PCX; the wand is built before the timing.
void BM_MagickPcx(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  MemLockGuard lock(Screenshot(bits));
  DibLayout l;
  CheckDibLayout(lock.data(), lock.size(), &l);
  std::vector<std::uint8_t> rgb(std::size_t{3} * kWidth * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    const std::uint8_t* src = lock.data() + l.pixelOffset + std::size_t{l.stride} * (kHeight - 1 - y);
    for (int x = 0; x < kWidth; ++x) {
      const std::uint8_t* c = bits == 24 ? src + 3 * x : lock.data() + 40 + 4 * src[x];
      std::uint8_t* d = &rgb[(std::size_t{kWidth} * y + x) * 3];
      d[0] = c[2], d[1] = c[1], d[2] = c[0];
    }
  }
  MagickWand* wand = NewMagickWand();
  MagickConstituteImage(wand, kWidth, kHeight, "RGB", CharPixel, rgb.data());
  if (bits == 8) MagickSetImageType(wand, PaletteType);
  const std::string path = "pcx:" + OutputPath("magick.pcx");
  for (auto _ : state) {
    state.PauseTiming();
    ::unlink(OutputPath("magick.pcx").c_str());
    state.ResumeTiming();
    MagickWriteImage(wand, path.c_str());
  }
  DestroyMagickWand(wand);
}

BENCHMARK(BM_WriteBmp)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainWriteLikeBmp)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteTiffUncompressed)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainWriteLikeTiff)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteTiffPackBits)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibtiffPackBits)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WritePcx)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MagickPcx)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);

}  // namespace
