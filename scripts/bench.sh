#!/usr/bin/env bash
# Builds the benchmarks (native, optimised, no sanitizers) and runs them,
# printing each of our operations' speed against its yardstick; then the
# capture itself under Wine on a 1920x1080 display: hot key to file beside
# scrot and ImageMagick, where the time goes, and peak memory; and the wait
# for an Area selection: CPU time and wake-up delay beside a tight loop.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh bench
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DPICTRAP_TESTS=OFF \
  -DPICTRAP_BENCH=ON >/dev/null
ninja -C build/bench

mkdir -p build/bench/results
for b in build/bench/bin/*_bench; do
  name=$(basename "$b")
  "$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_out="build/bench/results/$name.json" --benchmark_out_format=json "$@"
done
status=0
/usr/bin/python3 scripts/bench_ratios.py build/bench/results/*.json || status=$?

echo
scripts/build.sh win32 >/dev/null
/usr/bin/python3 scripts/bench_capture.py
# The print job runs only under Wine: the Windows build, timed there.
echo
/usr/bin/python3 scripts/print_bench.py || status=$?
echo
/usr/bin/python3 scripts/bench_selection.py
exit $status
