// The benchmarks' pictures: the real desktop (24, 8 and 1 bit) read as packed
// DIBs from the folder PICTRAP_BENCH_IMAGES names, and the synthetic
// screenshot-like fill at 24 and 8 bits as a second case.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/screenshot.h"
#include "imaging/dib.h"
#include "platform/memory.h"

struct BenchPicture {
  std::string name;  // desktop24, desktop8, desktop1, synthetic24, synthetic8
  int bits;
  MemHandle dib;  // null when the file could not be read
  std::string missing;  // why, when it is null
};

// The folder of the real pictures as the environment names it, or "".
inline std::string BenchImagesFolder() {
  const char* dir = std::getenv("PICTRAP_BENCH_IMAGES");
  return dir != nullptr ? dir : "";
}

// A packed DIB file read whole into a memory block; null with a reason when
// it is missing or is no DIB.
inline MemHandle LoadDibFile(const std::string& path, std::string* why) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    *why = "cannot open " + path;
    return nullptr;
  }
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[65536];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) bytes.insert(bytes.end(), chunk, chunk + n);
  std::fclose(f);
  MemHandle h = MemAlloc(bytes.size());
  if (h == nullptr) {
    *why = "out of memory for " + path;
    return nullptr;
  }
  {
    MemLockGuard lock(h);
    std::memcpy(lock.data(), bytes.data(), bytes.size());
    DibLayout l;
    if (CheckDibLayout(lock.data(), lock.size(), &l) == StatusOk) return h;
  }
  MemFree(h);
  *why = path + " is not a packed DIB";
  return nullptr;
}

inline const std::vector<BenchPicture>& BenchPictures() {
  static const std::vector<BenchPicture> pictures = [] {
    std::vector<BenchPicture> all;
    const std::string folder = BenchImagesFolder();
    for (const int bits : {24, 8, 1}) {
      BenchPicture p{"desktop" + std::to_string(bits), bits, nullptr, ""};
      if (folder.empty()) {
        p.missing = "PICTRAP_BENCH_IMAGES is not set";
      } else {
        p.dib = LoadDibFile(folder + "/screen1080_" + std::to_string(bits) + ".dib", &p.missing);
      }
      if (p.dib == nullptr) {
        std::fprintf(stderr, "bench: the real desktop picture %s is missing (%s): its cases report an error\n",
                     p.name.c_str(), p.missing.c_str());
      }
      all.push_back(p);
    }
    for (const int bits : {24, 8}) {
      all.push_back({"synthetic" + std::to_string(bits), bits,
                     MakeScreenshotDib(1920, 1080, static_cast<std::uint16_t>(bits)), ""});
    }
    return all;
  }();
  return pictures;
}

inline const BenchPicture* FindPicture(const std::string& name) {
  for (const BenchPicture& p : BenchPictures()) {
    if (p.name == name) return &p;
  }
  return nullptr;
}

// Size of the whole input block, the unit the peak-memory figures are in.
inline std::size_t PictureBytes(const BenchPicture& p) { return p.dib ? MemSize(p.dib) : 0; }
