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
  # A real window manager for the icon's test; its fonts.
  twm xfonts-base
  # zlib reads the unit tests' PNG files back, natively and in the Windows build.
  imagemagick libtiff-tools netpbm pngcheck zlib1g-dev libz-mingw-w64-dev xclip
  python3 python3-pil python3-pytest python3-pefile
  ghostscript poppler-utils
  nsis
)

# The benchmarks' yardsticks, the source of Google Benchmark for the Windows build
# and the profiler are needed only by scripts/bench.sh and scripts/profile.sh.
if [ "${1:-}" = bench ]; then
  packages+=(libmagickwand-dev libtiff-dev pkg-config dpkg-dev valgrind g++-multilib scrot qemu-user)
fi

install_missing() {
  local missing=() p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "setup: installing ${missing[*]}" >&2
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  # INITRD=No: the virtual machine's kernel boots with an initial file
  # system of scripts/in-vm.sh's own, so Debian's would be built for nothing.
  # A mirror caught mid-sync fails one index of many ("File has unexpected
  # size"); the others are still good, and the install below fails plainly
  # if a package it needs really is missing.
  local try updated=0
  for try in 1 2 3; do
    $sudo env DEBIAN_FRONTEND=noninteractive INITRD=No apt-get update -qq && { updated=1; break; }
    echo "setup: apt-get update failed (try $try of 3)" >&2
    [ "$try" -lt 3 ] && sleep 20
  done
  local install=(apt-get install -y -qq --no-install-recommends "${missing[@]}")
  $sudo env DEBIAN_FRONTEND=noninteractive INITRD=No "${install[@]}" >/dev/null && return 0
  [ "$updated" = 1 ] && return 1
  # When the lost index is one architecture's security updates, the other's
  # are newer and no i386 library can match its amd64 twin. The release's
  # own archive alone always matches itself.
  echo "setup: installing from the Debian $VERSION_CODENAME archive alone" >&2
  local alone=/tmp/pictrap-apt-alone keyring=/usr/share/keyrings/debian-archive-keyring.gpg
  mkdir -p "$alone/lists/partial"
  printf 'deb [signed-by=%s] http://deb.debian.org/debian %s main\n' \
    "$keyring" "$VERSION_CODENAME" "$keyring" "$VERSION_CODENAME-updates" >"$alone/sources.list"
  local options=(-o Dir::Etc::sourcelist="$alone/sources.list" -o Dir::Etc::sourceparts=/nonexistent
    -o Dir::State::Lists="$alone/lists")
  $sudo apt-get "${options[@]}" update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive INITRD=No apt-get "${options[@]}" "${install[@]:1}" >/dev/null
}

. /etc/os-release

install_missing "${packages[@]}"

# Some kernels run 64-bit user code only, and 32-bit Wine with them: with
# PICTRAP_VM=1 the Wine tests then run in a virtual machine with Debian's
# kernel (scripts/in-vm.sh), which needs these.
if [ "${PICTRAP_VM:-0}" = 1 ] && ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  install_missing qemu-system-x86 linux-image-amd64 busybox-static cpio kmod python3-pytest-xdist
fi
