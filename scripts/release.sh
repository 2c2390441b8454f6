#!/usr/bin/env bash
# Builds a release of the committed state of this checkout (HEAD, from a
# clean export: uncommitted changes are not part of it) and writes to dist/:
#   Pictrap-<version>.zip                the three binaries and README.TXT
#   Pictrap-<version>-setup.exe          the per-user installer (NSIS)
#   Pictrap-<version>-SHA256SUMS.txt     checksums of both
# The version comes from shell/version.h. Every date in the output is the
# commit's (SOURCE_DATE_EPOCH, unless it is set already) and the binaries
# carry no link time, so two runs on one commit give the same bytes.
#
# usage: scripts/release.sh [--out DIR] [--work DIR]
#   --out DIR    where the release goes (default dist/)
#   --work DIR   scratch folder for the export and the build, emptied first
#                (default build/release/)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/dist
work=$root/build/release
while [ $# -gt 0 ]; do
  case "$1" in
    --out) out=$(realpath -m "$2"); shift 2 ;;
    --work) work=$(realpath -m "$2"); shift 2 ;;
    *) echo "usage: $0 [--out DIR] [--work DIR]" >&2; exit 2 ;;
  esac
done

scripts/setup.sh

commit=$(git rev-parse HEAD)
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release: uncommitted changes are left out; building commit ${commit:0:12}" >&2
fi
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct "$commit")}"
export TZ=UTC LC_ALL=C

version_part() { sed -n "s/^#define PICTRAP_VERSION_$1 \(.*\)$/\1/p" shell/version.h; }
major=$(version_part MAJOR)
minor=$(version_part MINOR)
version="$major.$minor"
if [ "$(version_part TEXT)" != "\"$version\"" ]; then
  echo "release: shell/version.h: PICTRAP_VERSION_TEXT does not match $version" >&2
  exit 1
fi

rm -rf "$work"
mkdir -p "$work/src" "$work/stage"
git archive --format=tar "$commit" | tar -x -C "$work/src"

echo "== building Pictrap $version from ${commit:0:12}"
cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/src/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DPICTRAP_TESTS=OFF >/dev/null
ninja -C "$work/build" shotbox sbhook32 sbmsg32 >/dev/null

stage=$work/stage
cp "$work/build/bin/SHOTBOX.EXE" "$work/build/bin/SBHOOK32.DLL" "$work/build/bin/SBMSG32.DLL" "$stage/"
# Notepad on older Windows wants CR LF.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$work/src/release/README.txt" >"$stage/README.TXT"
touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*

mkdir -p "$out"
zip="Pictrap-$version.zip"
setup="Pictrap-$version-setup.exe"
sums="Pictrap-$version-SHA256SUMS.txt"
rm -f "$out/$zip" "$out/$setup" "$out/$sums"

echo "== packing"
/usr/bin/python3 scripts/release_zip.py "$out/$zip" "$SOURCE_DATE_EPOCH" \
  "$stage/SHOTBOX.EXE" "$stage/SBHOOK32.DLL" "$stage/SBMSG32.DLL" "$stage/README.TXT"
makensis -V2 -NOCD -INPUTCHARSET UTF8 -DVERSION="$version" -DVERSION_MAJOR="$major" -DVERSION_MINOR="$minor" \
  -DSTAGE="$stage" -DICON="$work/src/shell/shotbox.ico" -DOUTFILE="$out/$setup" "$work/src/release/pictrap.nsi"
(cd "$out" && sha256sum "$zip" "$setup" >"$sums")

echo "== Pictrap $version in $out"
(cd "$stage" && stat -c '%8s  %n' SHOTBOX.EXE SBHOOK32.DLL SBMSG32.DLL)
(cd "$out" && stat -c '%8s  %n' "$zip" "$setup" && cat "$sums")
