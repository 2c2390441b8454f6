// Our image steps and writers on every picture, and the plain writes the
// BMP and uncompressed TIFF writers are held to. This file builds for the
// shipped 32-bit Windows program's target and natively alike.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_common.h"
#include "formats/pcx_writer.h"
#include "formats/writers.h"
#include "imaging/blackwhite.h"
#include "imaging/greyscale.h"
#include "platform/file_output.h"
#if !defined(_WIN32)
#include "platform/memory_host.h"
#endif

namespace {

// The most memory held at once while the step ran, input included, in
// units of the input block: memory blocks are the only allocations the
// steps and writers make. Counted natively, where the blocks are ours.
void ReportPeakMemory(benchmark::State& state, const BenchPicture& p, MemHandle (*step)(MemHandle)) {
#if !defined(_WIN32)
  const std::size_t before = HostMemLiveBytes();
  HostMemResetPeak();
  MemFree(step(p.dib));
  state.counters["peak_x_input"] =
      static_cast<double>(HostMemPeakBytes() - before + PictureBytes(p)) / static_cast<double>(PictureBytes(p));
#else
  (void)state, (void)p, (void)step;
#endif
}

template <MemHandle (*Step)(MemHandle)>
void TimeStep(benchmark::State& state, const std::string& picture) {
  const BenchPicture* p = PictureOrSkip(state, picture);
  if (p == nullptr) return;
  for (auto _ : state) {
    MemHandle out = Step(p->dib);
    if (out == nullptr) {
      state.SkipWithError("the step failed");
      break;
    }
    benchmark::DoNotOptimize(out);
    MemFree(out);
  }
  ReportPeakMemory(state, *p, Step);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * PictureBytes(*p)));
}

MemHandle Grey(MemHandle dib) {
  MemHandle out = nullptr;
  return MakeGreyscaleDib(dib, &out) == StatusOk ? out : nullptr;
}
MemHandle BlackWhite(MemHandle dib) {
  MemHandle out = nullptr;
  return MakeBlackWhiteDib(nullptr, dib, &out) == StatusOk ? out : nullptr;
}
MemHandle Invert(MemHandle dib) {
  MemHandle out = nullptr;
  return InvertDib(dib, &out) == StatusOk ? out : nullptr;
}
MemHandle Copy(MemHandle dib) {
  MemHandle out = nullptr;
  return CopyDib(dib, &out) == StatusOk ? out : nullptr;
}

// A new zero-filled block the size of the greyscale result, touched once per
// page and freed: what the output block alone costs where every such block
// is fresh memory from the system (under Wine, a page fault per page).
void TimeFreshBlock(benchmark::State& state, const std::string& picture) {
  const BenchPicture* p = PictureOrSkip(state, picture);
  if (p == nullptr) return;
  DibLayout l;
  {
    MemLockGuard lock(p->dib);
    CheckDibLayout(lock.data(), lock.size(), &l);
  }
  const std::size_t size = kDibHeaderSize + 1024 + std::size_t{DibRowStride(8, l.width)} * l.height;
  for (auto _ : state) {
    MemHandle h = MemAlloc(size);
    {
      MemLockGuard lock(h);
      for (std::size_t k = 0; k < size; k += 4096) lock.data()[k] = 1;
      benchmark::DoNotOptimize(lock.data());
    }
    MemFree(h);
  }
}

enum class Format { Bmp, Pcx, Tiff, PackBits, Png };

Status WriteAs(Format f, const std::string& path, MemHandle dib) {
  switch (f) {
    case Format::Bmp: return WriteBmpFile(nullptr, path.c_str(), dib);
    case Format::Pcx: return WritePcxFile(nullptr, path.c_str(), dib, 5, 300);
    case Format::Tiff: return WriteTiffFile(nullptr, path.c_str(), dib, kTiffUncompressed, 0, 300);
    case Format::Png: return WritePngFile(nullptr, path.c_str(), dib, 3780);
    default: return WriteTiffFile(nullptr, path.c_str(), dib, kTiffPackBits, 0, 300);
  }
}

const char* Extension(Format f) {
  switch (f) {
    case Format::Bmp: return "bmp";
    case Format::Pcx: return "pcx";
    case Format::Tiff: return "u.tif";
    case Format::Png: return "png";
    default: return "p.tif";
  }
}

std::size_t FileSize(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return 0;
  std::fseek(f, 0, SEEK_END);
  const long n = std::ftell(f);
  std::fclose(f);
  return n < 0 ? 0 : static_cast<std::size_t>(n);
}

void TimeWriter(benchmark::State& state, Format format, const std::string& picture) {
  const BenchPicture* p = PictureOrSkip(state, picture);
  if (p == nullptr) return;
  const std::string path = OutputPath(std::string("ours.") + Extension(format));
  TimeFileWrites(state, path, [&](const std::string& to) { return WriteAs(format, to, p->dib) == StatusOk; });
  WriteAs(format, path, p->dib);
  state.counters["file_bytes"] = static_cast<double>(FileSize(path));
#if !defined(_WIN32)
  const std::size_t before = HostMemLiveBytes();
  HostMemResetPeak();
  WriteAs(format, path, p->dib);
  state.counters["peak_x_input"] =
      static_cast<double>(HostMemPeakBytes() - before + PictureBytes(*p)) / static_cast<double>(PictureBytes(*p));
#endif
  std::remove(path.c_str());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * PictureBytes(*p)));
}

// As many bytes as our writer makes of the picture, written to a new file
// through the same file calls our writers use: in one call, or for PCX in
// pieces of the writer's fixed 10240-byte buffer, the least a PCX save
// costs in write calls alone.
void TimePlainWrite(benchmark::State& state, Format like, const std::string& picture) {
  const BenchPicture* p = PictureOrSkip(state, picture);
  if (p == nullptr) return;
  const std::string sample = OutputPath("plain.sample");
  WriteAs(like, sample, p->dib);
  std::vector<std::uint8_t> bytes(FileSize(sample));
  std::remove(sample.c_str());
  {
    MemLockGuard lock(p->dib);
    std::memcpy(bytes.data(), lock.data(), std::min(bytes.size(), lock.size()));
  }
  TimeFileWrites(state, OutputPath("plain.out"), [&](const std::string& to) {
    FileOut* f = FileCreate(to.c_str());
    if (f == nullptr) return false;
    const std::size_t piece = like == Format::Pcx ? kPcxBufferSize : bytes.size();
    bool ok = true;
    for (std::size_t at = 0; at < bytes.size() && ok; at += piece) {
      std::uint32_t written = 0;
      ok = FileWrite(f, bytes.data() + at, static_cast<std::uint32_t>(std::min(piece, bytes.size() - at)), &written);
    }
    return FileClose(f) && ok;
  });
  state.counters["file_bytes"] = static_cast<double>(bytes.size());
}

// The same bytes saved as the writers save: in one call to a temporary name
// beside the target, then renamed over it. The floor of any safe save.
void TimePlainReplace(benchmark::State& state, Format like, const std::string& picture) {
  const BenchPicture* p = PictureOrSkip(state, picture);
  if (p == nullptr) return;
  const std::string sample = OutputPath("replace.sample");
  WriteAs(like, sample, p->dib);
  std::vector<std::uint8_t> bytes(FileSize(sample));
  std::remove(sample.c_str());
  const std::string temporary = OutputPath("replace.tmp");
  TimeFileWrites(state, OutputPath("replace.out"), [&](const std::string& to) {
    FileOut* f = FileCreate(temporary.c_str());
    if (f == nullptr) return false;
    std::uint32_t written = 0;
    const bool ok = FileWrite(f, bytes.data(), static_cast<std::uint32_t>(bytes.size()), &written);
    return FileClose(f) && ok && FileReplace(temporary.c_str(), to.c_str());
  });
  state.counters["file_bytes"] = static_cast<double>(bytes.size());
}

}  // namespace

void RegisterOurBenchmarks() {
  auto step = [](const char* name, void (*fn)(benchmark::State&, const std::string&),
                 std::initializer_list<const char*> pictures) {
    for (const char* picture : pictures) {
      benchmark::RegisterBenchmark((std::string(name) + "/" + picture).c_str(), fn, std::string(picture))
          ->Unit(benchmark::kMillisecond);
    }
  };
  step("grey", TimeStep<Grey>, {"desktop24", "synthetic24"});
  step("bw", TimeStep<BlackWhite>, {"desktop24", "desktop8", "synthetic24"});
  step("fresh_grey_block", TimeFreshBlock, {"desktop24", "synthetic24"});
  step("invert", TimeStep<Invert>, {"desktop24"});
  step("copy", TimeStep<Copy>, {"desktop24"});

  enum Kind { Ours, Plain, Replace };
  auto writer = [](const char* name, Format format, Kind kind, std::initializer_list<const char*> pictures) {
    for (const char* picture : pictures) {
      benchmark::RegisterBenchmark((std::string(name) + "/" + picture).c_str(),
                                   kind == Ours ? TimeWriter : kind == Plain ? TimePlainWrite : TimePlainReplace,
                                   format, std::string(picture))
          ->Unit(benchmark::kMillisecond);
    }
  };
  writer("bmp", Format::Bmp, Ours, {"desktop24", "desktop8", "desktop1"});
  writer("replace_bmp", Format::Bmp, Replace, {"desktop24", "desktop8"});
  writer("replace_tiff", Format::Tiff, Replace, {"desktop24", "desktop8"});
  writer("png", Format::Png, Ours, {"desktop24", "desktop8", "desktop1"});
  writer("plain_png", Format::Png, Plain, {"desktop24", "desktop8", "desktop1"});
  writer("replace_png", Format::Png, Replace, {"desktop24", "desktop8", "desktop1"});
  writer("plain_bmp", Format::Bmp, Plain, {"desktop24", "desktop8"});
  writer("tiff", Format::Tiff, Ours, {"desktop24", "desktop8"});
  writer("plain_tiff", Format::Tiff, Plain, {"desktop24", "desktop8"});
  writer("packbits", Format::PackBits, Ours, {"desktop24", "desktop8", "desktop1", "synthetic24", "synthetic8"});
  writer("pcx", Format::Pcx, Ours, {"desktop24", "desktop8", "desktop1", "synthetic24", "synthetic8"});
  writer("plain_pcx", Format::Pcx, Plain, {"desktop24", "desktop8", "synthetic24", "synthetic8"});
}
