// The yardsticks, natively in the same process as our native build: libtiff
// writing PackBits, ImageMagick's MagickWand writing PCX and converting to
// grey and to a 1-bit threshold. Each starts from the packed DIB as ours
// does, and what it must do to the rows to take them (flip to top-down,
// swap to red-green-blue) happens inside its timer, as it does inside ours.
#include <tiffio.h>
#include <wand/MagickWand.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_common.h"
#include "formats/tiff_writer.h"

namespace {

struct Rows {
  const std::uint8_t* block;
  DibLayout l;
  const std::uint8_t* TopDown(std::int32_t y) const {
    return block + l.pixelOffset + std::size_t{l.stride} * static_cast<std::size_t>(l.height - 1 - y);
  }
};

// libtiff: PackBits, 8 rows per strip, one scan line at a time from the
// DIB's rows (24-bit rows swapped to red, green, blue by the copy ours uses).
void LibtiffPackBits(benchmark::State& state, const std::string& picture) {
  const BenchPicture* p = PictureOrSkip(state, picture);
  if (p == nullptr) return;
  MemLockGuard lock(p->dib);
  Rows rows{lock.data(), {}};
  CheckDibLayout(lock.data(), lock.size(), &rows.l);
  const DibLayout& l = rows.l;
  std::vector<std::uint16_t> map(3 * 256);
  for (std::uint32_t i = 0; i < l.colours && l.bitCount == 8; ++i) {
    const std::uint8_t* q = lock.data() + kDibHeaderSize + 4 * i;
    map[i] = static_cast<std::uint16_t>(q[2] << 8);
    map[256 + i] = static_cast<std::uint16_t>(q[1] << 8);
    map[512 + i] = static_cast<std::uint16_t>(q[0] << 8);
  }
  std::vector<std::uint8_t> rgbRow(std::size_t{3} * l.width + 16);
  TIFFSetWarningHandler(nullptr);
  TimeFileWrites(state, OutputPath("libtiff.tif"), [&](const std::string& path) {
    TIFF* t = TIFFOpen(path.c_str(), "w");
    if (t == nullptr) return false;
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, l.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, l.height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, l.bitCount == 24 ? 8 : l.bitCount);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, l.bitCount == 24 ? 3 : 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC,
                 l.bitCount == 24 ? PHOTOMETRIC_RGB : l.bitCount == 8 ? PHOTOMETRIC_PALETTE : PHOTOMETRIC_MINISBLACK);
    if (l.bitCount == 8) TIFFSetField(t, TIFFTAG_COLORMAP, &map[0], &map[256], &map[512]);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_PACKBITS);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 8);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, 300.0);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, 300.0);
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    bool ok = true;
    for (std::int32_t y = 0; y < l.height && ok; ++y) {
      const std::uint8_t* row = rows.TopDown(y);
      if (l.bitCount == 24) {
        SwapRedBlue(row, rgbRow.data(), l.width);
        row = rgbRow.data();
      }
      ok = TIFFWriteScanline(t, const_cast<std::uint8_t*>(row), static_cast<std::uint32_t>(y), 0) == 1;
    }
    TIFFClose(t);
    return ok;
  });
}

// A new wand holding the picture, top row first, made outside the timing:
// each iteration's wand owns its pixels, so nothing is copied on first write
// inside the timed step.
MagickWand* PictureWand(const BenchPicture& p) {
  MemLockGuard lock(p.dib);
  Rows rows{lock.data(), {}};
  CheckDibLayout(lock.data(), lock.size(), &rows.l);
  const DibLayout& l = rows.l;
  std::vector<std::uint8_t> rgb(std::size_t{3} * l.width * l.height);
  for (std::int32_t y = 0; y < l.height; ++y) {
    const std::uint8_t* src = rows.TopDown(y);
    std::uint8_t* d = &rgb[std::size_t{3} * l.width * y];
    for (std::int32_t x = 0; x < l.width; ++x, d += 3) {
      std::uint32_t index = 0;
      if (l.bitCount == 24) {
        d[0] = src[3 * x + 2], d[1] = src[3 * x + 1], d[2] = src[3 * x];
        continue;
      }
      index = l.bitCount == 8 ? src[x] : (src[x / 8] >> (7 - x % 8)) & 1;
      const std::uint8_t* q = lock.data() + kDibHeaderSize + 4 * index;
      d[0] = q[2], d[1] = q[1], d[2] = q[0];
    }
  }
  MagickWand* wand = NewMagickWand();
  MagickConstituteImage(wand, static_cast<std::size_t>(l.width), static_cast<std::size_t>(l.height), "RGB",
                        CharPixel, rgb.data());
  if (l.bitCount == 8) MagickSetImageType(wand, PaletteType);
  if (l.bitCount == 1) MagickSetImageType(wand, BilevelType);
  return wand;
}

template <typename Step>
void TimeMagick(benchmark::State& state, const std::string& picture, Step step) {
  const BenchPicture* p = PictureOrSkip(state, picture);
  if (p == nullptr) return;
  for (auto _ : state) {
    state.PauseTiming();
    MagickWand* wand = PictureWand(*p);
    state.ResumeTiming();
    const bool ok = step(wand);
    state.PauseTiming();
    DestroyMagickWand(wand);
    state.ResumeTiming();
    if (!ok) {
      state.SkipWithError("MagickWand failed");
      break;
    }
  }
}

void MagickPcx(benchmark::State& state, const std::string& picture) {
  const std::string path = OutputPath("magick.pcx");
  TimeMagick(state, picture, [&](MagickWand* w) {
    std::remove(path.c_str());
    return MagickWriteImage(w, ("pcx:" + path).c_str()) == MagickTrue;
  });
  std::remove(path.c_str());
}

void MagickPng(benchmark::State& state, const std::string& picture) {
  const std::string path = OutputPath("magick.png");
  TimeMagick(state, picture, [&](MagickWand* w) {
    return MagickWriteImage(w, ("png:" + path).c_str()) == MagickTrue;
  });
  std::remove(path.c_str());
}

void MagickGrey(benchmark::State& state, const std::string& picture) {
  TimeMagick(state, picture, [](MagickWand* w) { return MagickTransformImageColorspace(w, GRAYColorspace) == MagickTrue; });
}

void MagickGreyThreshold(benchmark::State& state, const std::string& picture) {
  TimeMagick(state, picture, [](MagickWand* w) {
    return MagickTransformImageColorspace(w, GRAYColorspace) == MagickTrue &&
           MagickThresholdImage(w, QuantumRange / 2) == MagickTrue;
  });
}

}  // namespace

void RegisterYardstickBenchmarks() {
  auto add = [](const char* name, void (*fn)(benchmark::State&, const std::string&),
                std::initializer_list<const char*> pictures) {
    for (const char* picture : pictures) {
      benchmark::RegisterBenchmark((std::string(name) + "/" + picture).c_str(), fn, std::string(picture))
          ->Unit(benchmark::kMillisecond);
    }
  };
  add("libtiff_packbits", LibtiffPackBits, {"desktop24", "desktop8", "desktop1", "synthetic24", "synthetic8"});
  add("magick_pcx", MagickPcx, {"desktop24", "desktop8", "desktop1", "synthetic24", "synthetic8"});
  add("magick_png", MagickPng, {"desktop24", "desktop8", "desktop1"});
  add("magick_grey", MagickGrey, {"desktop24", "synthetic24"});
  add("magick_bw", MagickGreyThreshold, {"desktop24", "desktop8", "synthetic24"});
}
