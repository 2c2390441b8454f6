#!/usr/bin/env bash
# Runs one folder's pytest tests: all of them where this machine runs 32-bit
# x86 programs. Where it cannot, the tests marked "wine" (those that run
# Windows programs) are skipped with the reason, unless PICTRAP_VM=1: then
# they run in a virtual machine that can (scripts/in-vm.sh), which takes
# about five times as long, and the others run here.
#   [PICTRAP_VM=1] scripts/wine-tests.sh tests/e2e [pytest arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
folder=$1
shift
if /lib/ld-linux.so.2 --version >/dev/null 2>&1 || [ "${PICTRAP_VM:-0}" != 1 ]; then
  cd "$folder"
  exec /usr/bin/python3 -m pytest -q -rfEs "$@"
fi
echo "this kernel runs no 32-bit code: the Wine tests run in a virtual machine"
# Named files or tests may hold only one kind: pytest's 5 (none collected)
# on one side is no failure, on both it is.
status=0
(cd "$folder" && /usr/bin/python3 -m pytest -q -rfEs -m "not wine" "$@") || status=$?
[ $status -eq 0 ] || [ $status -eq 5 ] || exit $status
if (cd "$folder" && /usr/bin/python3 -m pytest -q --collect-only -m wine "$@" >/dev/null 2>&1); then :; else
  wine_status=$?
  [ $wine_status -eq 5 ] && exit $status
  exit $wine_status
fi
[ -d build/win32/bin ] || { echo "wine-tests: no build/win32/bin; run scripts/build.sh first" >&2; exit 2; }
args=""
[ $# -gt 0 ] && args=$(printf ' %q' "$@")
# Two workers, each with its own X servers and Wine prefixes: the tests spend
# much of their time waiting, which the other worker fills. A file stays
# with one worker, which makes its module-wide desktops once.
workers=""
/usr/bin/python3 -c "import xdist" 2>/dev/null && workers="-n ${PICTRAP_VM_WORKERS:-2} --dist loadfile"
# The Windows binaries are run from a copy in the guest's memory: pages of
# a program mapped straight from the shared project folder can read as
# zeros there, and the program faults as it starts.
bin=/tmp/pictrap-win32-bin
scripts/in-vm.sh "mkdir -p $bin && cp -r build/win32/bin/. $bin && export PICTRAP_WIN32_BIN=$bin &&
  cd $(printf %q "$folder") && /usr/bin/python3 -m pytest -q -rfEs $workers -m wine$args"
