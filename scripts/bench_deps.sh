#!/usr/bin/env bash
# Builds Google Benchmark for the 32-bit Windows target into
# build/bench-deps/benchmark-win32 (once), from the source of the Debian
# package the host's libbenchmark-dev comes from. The source index is read
# through a private apt configuration made from the system's own Debian
# entries, turned into deb-src: the system's apt setup is left as it is.
set -euo pipefail
cd "$(dirname "$0")/.."

deps=$PWD/build/bench-deps
prefix=$deps/benchmark-win32
[ -f "$prefix/lib/libbenchmark.a" ] && exit 0

apt_dir=$deps/apt
rm -rf "$apt_dir" "$deps/src" "$deps/benchmark-build"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/parts" "$deps/src"
: > "$apt_dir/sources.list"
# deb822 files: every stanza of Types "deb" also as "deb-src".
for f in /etc/apt/sources.list.d/*.sources; do
  [ -e "$f" ] || continue
  sed -e 's/^Types:.*/Types: deb-src/' "$f" > "$apt_dir/parts/$(basename "$f")"
done
# One-line entries.
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -e "$f" ] || continue
  sed -n -e 's/^deb \(.*\)/deb-src \1/p' "$f" >> "$apt_dir/sources.list"
done
apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/parts"
          -o "Dir::State::Lists=$apt_dir/lists" -o "APT::Sandbox::User=root")
echo "bench: fetching Google Benchmark's Debian source to cross-build it" >&2
apt-get "${apt_opts[@]}" update -qq
version=$(dpkg-query -W -f='${source:Version}' libbenchmark-dev 2>/dev/null || true)
(cd "$deps/src" && apt-get "${apt_opts[@]}" source -qq "benchmark${version:+=$version}" >/dev/null)
src=$(find "$deps/src" -mindepth 1 -maxdepth 1 -type d -name 'benchmark-*' | head -1)
[ -n "$src" ] || { echo "bench: no Google Benchmark source was unpacked" >&2; exit 1; }
upstream=${version%-*}
upstream=${upstream#*:}

# The Debian build names the version itself instead of reading git tags.
cmake -S "$src" -B "$deps/benchmark-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DGIT_VERSION="${upstream:-0.0.0}" -DBUILD_SHARED_LIBS=OFF \
  -DBENCHMARK_ENABLE_TESTING=OFF -DBENCHMARK_ENABLE_GTEST_TESTS=OFF -DBENCHMARK_ENABLE_WERROR=OFF \
  -DBENCHMARK_ENABLE_LTO=OFF -DCMAKE_INSTALL_PREFIX="$prefix" >"$deps/configure.log" 2>&1 \
  || { cat "$deps/configure.log" >&2; exit 1; }
ninja -C "$deps/benchmark-build" install >/dev/null
echo "bench: Google Benchmark for Windows is in $prefix" >&2
