#!/usr/bin/env bash
# Builds everything and runs every test: the native unit tests with
# sanitizers, the writers' files read back by independent decoders, then
# under Wine the same unit tests cross-built and the end-to-end tests of the
# real program, and last the release made and tested from its files alone.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh host win32

echo "== native unit tests (ASan + UBSan)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/host --output-on-failure

echo "== writer output read back by independent decoders"
/usr/bin/python3 -m pytest -q -p no:cacheprovider tests/decoders

echo "== the benchmark table's verdicts"
/usr/bin/python3 -m pytest -q -p no:cacheprovider tests/bench

echo "== Windows unit tests and end-to-end tests under Wine"
scripts/wine-tests.sh tests/e2e

echo "== the release, made and tested from its files alone"
scripts/test-release.sh
