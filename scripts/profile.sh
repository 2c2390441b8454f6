#!/usr/bin/env bash
# Where each operation's time goes, as instruction counts, which do not
# depend on how busy the machine is: the operations are built for 32-bit x86
# with the shipped build's code-generation flags (as a Linux program, which
# callgrind can run) and each is run once under callgrind on the real
# desktop pictures. Prints instructions per input byte and the functions
# that execute them.
#
#   scripts/profile.sh [EXTRA_COMPILER_FLAGS]
#
# The flags default to the i686 toolchain's (-msse2 -mfpmath=sse); pass
# e.g. "-march=i686" to see the build without SSE2.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
flags=${1:--msse2 -mfpmath=sse}

scripts/setup.sh bench
images=${PICTRAP_BENCH_IMAGES:-}
for candidate in "$root/../shared/bench-images" "$root/../../shared/bench-images" /work/shared/bench-images; do
  [ -n "$images" ] && break
  [ -f "$candidate/screen1080_24.dib" ] && images=$candidate
done
[ -f "$images/screen1080_24.dib" ] || { echo "profile: the real desktop pictures are missing" >&2; exit 1; }

build=build/profile32
cmake -S . -B $build -G Ninja -DCMAKE_BUILD_TYPE=Release -DPICTRAP_TESTS=OFF -DPICTRAP_PROFILE=ON \
  -DCMAKE_C_FLAGS="-m32 -g $flags" -DCMAKE_CXX_FLAGS="-m32 -g $flags" -DCMAKE_EXE_LINKER_FLAGS=-m32 >/dev/null
ninja -C $build profile_op >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%-9s %-10s %14s %10s   %s\n' operation picture instructions "per byte" "where (share of the instructions)"
for job in grey:24 bw:24 bw:8 invert:24 bmp:24 tiff:24 tiff:8 packbits:24 packbits:8 packbits:1 pcx:24 pcx:8 pcx:1 png:24 png:8 png:1; do
  op=${job%%:*} bits=${job##*:}
  dib=$images/screen1080_$bits.dib
  valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file="$work/cg.out" \
    $build/bin/profile_op "$op" "$dib" "$work/out" >/dev/null 2>&1
  bytes=$(stat -c %s "$dib")
  callgrind_annotate --threshold=100 "$work/cg.out" 2>/dev/null | /usr/bin/python3 -c '
import re, sys
bytes = int(sys.argv[1]); total = 0; by_function = {}; section = False
for line in sys.stdin:
    if line.strip().endswith("PROGRAM TOTALS"):
        total = int(line.split()[0].replace(",", ""))
    elif "file:function" in line:
        section = True
    elif section and line.startswith("---"):
        section = not by_function  # the listing ends at the next rule; read on to the end
    elif section:
        m = re.match(r"\s*([\d,]+)\s+\(\s*[\d.]+%\)\s+(.*)$", line) or re.match(r"\s*([\d,]+)\s+(.*)$", line)
        if not m:
            continue
        where = m.group(2).replace("(anonymous namespace)::", "")
        where = re.sub(r"\s*\[.*\]\s*$", "", where)
        name = where.split(":", 1)[1] if ":" in where else where
        name = re.sub(r"\(.*", "", name).strip() or "(system library)"
        if name.startswith("0x"):
            name = "(C library)"
        by_function[name] = by_function.get(name, 0) + int(m.group(1).replace(",", ""))
top = sorted(by_function.items(), key=lambda kv: -kv[1])[:4]
print(f"{total:14,d} {total / bytes:10.2f}   " + ", ".join(f"{n} {100 * v / max(total, 1):.0f}%" for n, v in top))
' "$bytes" | sed "s/^/$(printf '%-9s %-10s' "$op" "desktop$bits")/"
done
