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
# The flags default to the i686 toolchain's (-msse2 -mfpmath=sse), with the
# 4-byte stack alignment that 32-bit Windows code may assume; pass e.g.
# "-march=i686" to see the build without SSE2.
#
# Where this machine's kernel runs no 32-bit code, callgrind cannot run the
# program either: qemu's user-mode emulator runs it instead, with a plugin
# of ours (bench/insn_count_plugin.c) counting what each translated block
# executes. Its counts are taken over the whole run, less a run that only
# loads the picture. The emulated processor is told to offer no AVX2 (nor
# carry-less multiplication), as valgrind offers none, so that both ways run
# the same code paths.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
flags=${1:--msse2 -mfpmath=sse -mincoming-stack-boundary=2}

scripts/setup.sh bench
images=${PICTRAP_BENCH_IMAGES:-}
for candidate in "$root/../shared/bench-images" "$root/../../shared/bench-images" /work/shared/bench-images; do
  [ -n "$images" ] && break
  [ -f "$candidate/screen1080_24.dib" ] && images=$candidate
done
[ -f "$images/screen1080_24.dib" ] || { echo "profile: the real desktop pictures are missing" >&2; exit 1; }

# Built as a fixed-address program: the emulator's counts are by address,
# read against the symbol table (and 32-bit Windows code keeps no register
# for position-independent addressing either).
build=build/profile32
cmake -S . -B $build -G Ninja -DCMAKE_BUILD_TYPE=Release -DPICTRAP_TESTS=OFF -DPICTRAP_PROFILE=ON \
  -DCMAKE_C_FLAGS="-m32 -g -fno-pie $flags" -DCMAKE_CXX_FLAGS="-m32 -g -fno-pie $flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-m32 -no-pie" >/dev/null
ninja -C $build profile_op >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
emulated=0
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  emulated=1
  gcc -shared -fPIC -O2 -Wall -Werror bench/insn_count_plugin.c -o "$work/insn_count.so"
fi

# One operation's instructions less those of loading the picture, on the
# emulator, and the functions that execute most of them.
emulated_counts() {
  local op=$1 dib=$2 bytes=$3
  local qemu=(qemu-i386 -cpu max,-avx2,-avx512f,-pclmulqdq)
  rm -f "$work/op.blocks" "$work/load.blocks"
  "${qemu[@]}" -plugin "$work/insn_count.so,out=$work/op.blocks" $build/bin/profile_op "$op" "$dib" "$work/out" \
    >/dev/null 2>&1
  "${qemu[@]}" -plugin "$work/insn_count.so,out=$work/load.blocks" $build/bin/profile_op load "$dib" "$work/out" \
    >/dev/null 2>&1
  nm -C --defined-only -n $build/bin/profile_op | /usr/bin/python3 -c '
import bisect, collections, re, sys
starts, names, end = [], [], 0
for line in sys.stdin:
    parts = line.rstrip("\n").split(" ", 2)
    if len(parts) == 3 and parts[1] in "tTwW":
        starts.append(int(parts[0], 16))
        names.append(parts[2])
    elif len(parts) == 3 and parts[2] == "_end":
        end = int(parts[0], 16)
def where(address):
    i = bisect.bisect_right(starts, address) - 1
    if i < 0 or address >= end:  # outside the program: the C library
        return "(C library)"
    return names[i]
def counts(path):
    c = collections.Counter()
    for line in open(path):
        address, n = line.split()
        c[where(int(address, 16))] += int(n)
    return c
by_function = collections.Counter()
for name, v in (counts(sys.argv[1]) - counts(sys.argv[2])).items():
    by_function[re.sub(r"\(.*", "", name.replace("(anonymous namespace)::", "")).strip() or name] += v
total = sum(by_function.values())
top = by_function.most_common(4)
print(f"{total:14,d} {total / int(sys.argv[3]):10.2f}   " + ", ".join(f"{n} {100 * v / max(total, 1):.0f}%" for n, v in top))
' "$work/op.blocks" "$work/load.blocks" "$bytes"
}
if [ $emulated = 1 ]; then
  echo "counted under qemu-i386 (this kernel runs no 32-bit code), SSSE3 code paths"
else
  echo "counted under callgrind, SSSE3 code paths"
fi
printf '%-9s %-10s %14s %10s   %s\n' operation picture instructions "per byte" "where (share of the instructions)"
for job in grey:24 bw:24 bw:8 invert:24 bmp:24 tiff:24 tiff:8 packbits:24 packbits:8 packbits:1 pcx:24 pcx:8 pcx:1 png:24 png:8 png:1; do
  op=${job%%:*} bits=${job##*:}
  dib=$images/screen1080_$bits.dib
  bytes=$(stat -c %s "$dib")
  if [ $emulated = 1 ]; then
    emulated_counts "$op" "$dib" "$bytes" | sed "s/^/$(printf '%-9s %-10s' "$op" "desktop$bits")/"
    continue
  fi
  valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file="$work/cg.out" \
    $build/bin/profile_op "$op" "$dib" "$work/out" >/dev/null 2>&1
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
