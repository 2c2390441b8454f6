#!/usr/bin/env bash
# Configures and builds: the Windows deliverables and their test programs
# (build/win32), and with "host" also the native portable core with its unit
# tests under AddressSanitizer and UndefinedBehaviorSanitizer (build/host).
set -euo pipefail
cd "$(dirname "$0")/.."

build_win32() {
  cmake -S . -B build/win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  ninja -C build/win32
}

build_host() {
  cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPICTRAP_SANITIZE=ON >/dev/null
  ninja -C build/host
}

for what in "${@:-win32}"; do
  case "$what" in
    win32) build_win32 ;;
    host) build_host ;;
    *) echo "usage: $0 [win32] [host]" >&2; exit 2 ;;
  esac
done
