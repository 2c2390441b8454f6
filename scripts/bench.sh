#!/usr/bin/env bash
# Benchmarks what ships: our image steps and writers cross-built for 32-bit
# Windows and run under Wine, beside the same code built natively and the
# yardsticks (libtiff and ImageMagick in the native program, Pillow in a
# script run between our runs), on the real desktop pictures and a synthetic
# one. Prints one table of medians and min-max over RUNS runs (default 5).
# Then the capture itself under Wine on a 1920x1080 display: hot key to file
# beside scrot and ImageMagick, where the time goes, and peak memory; the
# print job; and the wait for an Area selection: CPU time and wake-up delay
# beside a tight loop.
#
#   scripts/bench.sh [RUNS] [Google Benchmark flags for our programs]
#
# The real pictures are read from PICTRAP_BENCH_IMAGES, else from
# shared/bench-images beside the checkout.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=${1:-5}
shift || true

scripts/setup.sh bench
scripts/bench_deps.sh

images=${PICTRAP_BENCH_IMAGES:-}
if [ -z "$images" ]; then
  for candidate in "$root/../shared/bench-images" "$root/../../shared/bench-images" /work/shared/bench-images; do
    if [ -f "$candidate/screen1080_24.dib" ]; then images=$(cd "$candidate" && pwd); break; fi
  done
fi
if [ -z "$images" ] || [ ! -f "$images/screen1080_24.dib" ]; then
  echo "bench: THE REAL DESKTOP PICTURES ARE MISSING (looked for shared/bench-images beside the checkout;" \
       "set PICTRAP_BENCH_IMAGES): their rows will say 'missing'" >&2
  images=${images:-$root/missing-bench-images}
fi

cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DPICTRAP_TESTS=OFF -DPICTRAP_BENCH=ON >/dev/null
ninja -C build/bench pictrap_bench >/dev/null
# The shipped build's flags: the toolchain file and Release, as scripts/build.sh.
cmake -S . -B build/bench-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
  -DPICTRAP_TESTS=OFF -DPICTRAP_BENCH=ON \
  -Dbenchmark_DIR="$root/build/bench-deps/benchmark-win32/lib/cmake/benchmark" >/dev/null
ninja -C build/bench-win32 pictrap_bench >/dev/null

# A 32-bit Wine prefix of the benchmarks' own; its wineserver is kept up
# during the runs and ended afterwards (it serves this prefix only).
export WINEPREFIX=$root/build/bench/wine WINEARCH=win32 WINEDEBUG=-all
unset DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "bench: making the Wine prefix" >&2
  mkdir -p "$WINEPREFIX"
  # wineboot's exit code says little on a fresh prefix; the registry, saved
  # once its wineserver has ended, does.
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  [ -f "$WINEPREFIX/system.reg" ] || { echo "bench: the Wine prefix could not be made" >&2; exit 1; }
fi
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT

results=$root/build/bench/results
out=$root/build/bench/out
rm -rf "$results" "$out"
mkdir -p "$results/pictures" "$out"
PICTRAP_BENCH_IMAGES=$images build/bench/bin/pictrap_bench --write-pictures "$results/pictures"

for run in $(seq 1 "$runs"); do
  echo "bench: run $run of $runs" >&2
  PICTRAP_BENCH_IMAGES="Z:$images" PICTRAP_BENCH_OUT="Z:$out" \
    wine build/bench-win32/bin/pictrap_bench.exe --benchmark_out="Z:$results/shipped-$run.json" \
    --benchmark_out_format=json "$@" >/dev/null 2>>"$results/shipped.log"
  PICTRAP_BENCH_IMAGES=$images PICTRAP_BENCH_OUT=$out \
    build/bench/bin/pictrap_bench --benchmark_out="$results/native-$run.json" --benchmark_out_format=json \
    "$@" >/dev/null 2>>"$results/native.log"
  /usr/bin/python3 bench/pillow_bench.py "$images" "$results/pictures" "$out" > "$results/pillow-$run.json"
done
status=0
/usr/bin/python3 scripts/bench_table.py "$results" || status=$?

# The rest runs the program itself under Wine in private prefixes of its own.
wineserver -k 2>/dev/null || true
echo
scripts/build.sh win32 >/dev/null
/usr/bin/python3 scripts/bench_capture.py
# The print job runs only under Wine: the Windows build, timed there.
echo
/usr/bin/python3 scripts/print_bench.py || status=$?
echo
/usr/bin/python3 scripts/bench_selection.py
exit $status
