#!/usr/bin/env bash
# Builds the writer fuzzers with clang and runs each for SECONDS (default 180).
# Inputs that fail are copied into tests/fuzz/regressions/<writer>/, which the
# unit tests replay.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-180}"

scripts/setup.sh
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPICTRAP_TESTS=OFF -DPICTRAP_FUZZ=ON >/dev/null
ninja -C build/fuzz

for writer in bmp pcx tiff png; do
  corpus="build/fuzz/corpus/$writer"
  found="build/fuzz/found/$writer"
  rm -rf "$found"  # only what this run finds is kept
  mkdir -p "$corpus" "$found"
  echo "== fuzz_$writer for ${seconds}s"
  status=0
  build/fuzz/bin/fuzz_$writer "$corpus" "tests/fuzz/regressions/$writer" -max_len=16384 \
    -max_total_time="$seconds" -artifact_prefix="$found/" -print_final_stats=1 2>&1 |
    grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE|ERROR|SUMMARY' || status=$?
  for f in "$found"/*; do
    if [ -e "$f" ]; then
      cp "$f" "tests/fuzz/regressions/$writer/"
      echo "kept $(basename "$f") as a regression"
    fi
  done
done
