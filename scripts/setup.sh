#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, skipping quickly
# when they are all present. Safe to run again.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686
  wine wine32:i386 wine64
  xvfb xdotool xauth x11-utils x11-xkb-utils
  # Several monitors: Xorg's dummy driver can lay outputs out side by side
  # (Xvfb cannot), with modes from cvt, and 32-bit Wine sees them only through
  # the two i386 libraries.
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils xcvt libxrandr2:i386 libxinerama1:i386
  imagemagick libtiff-tools netpbm pngcheck zlib1g-dev xclip
  python3 python3-pil python3-pytest python3-pefile
  ghostscript poppler-utils
  nsis
)

# The benchmarks' yardsticks, the source of Google Benchmark for the Windows build
# and the profiler are needed only by scripts/bench.sh and scripts/profile.sh.
if [ "${1:-}" = bench ]; then
  packages+=(libmagickwand-dev libtiff-dev pkg-config dpkg-dev valgrind g++-multilib scrot)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}" >&2
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
