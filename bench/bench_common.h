// What the benchmark files share: where output goes, and a timed loop that
// writes a new file each iteration, as a save does.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/pictures.h"

// Every writer, ours and the yardsticks', writes into the one folder that
// PICTRAP_BENCH_OUT names (the same disk for all), or the current folder.
inline std::string OutputPath(const std::string& name) {
  const char* dir = std::getenv("PICTRAP_BENCH_OUT");
  return dir != nullptr && *dir != '\0' ? std::string(dir) + "/" + name : name;
}

// Runs `write(path)` once per iteration into a new file; the old one is
// removed outside the timing. A false result ends the case with an error.
template <typename Write>
void TimeFileWrites(benchmark::State& state, const std::string& path, Write write) {
  for (auto _ : state) {
    state.PauseTiming();
    std::remove(path.c_str());
    state.ResumeTiming();
    if (!write(path)) {
      state.SkipWithError("the write failed");
      break;
    }
  }
  std::remove(path.c_str());
}

// The picture a case runs on, or null after reporting why it cannot run.
inline const BenchPicture* PictureOrSkip(benchmark::State& state, const std::string& name) {
  const BenchPicture* p = FindPicture(name);
  if (p == nullptr || p->dib == nullptr) {
    state.SkipWithError(("picture " + name + " missing: " + (p ? p->missing : "unknown")).c_str());
    for (auto _ : state) {
    }
    return nullptr;
  }
  return p;
}

void RegisterOurBenchmarks();
void RegisterYardstickBenchmarks();  // native only
