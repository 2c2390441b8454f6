#!/usr/bin/env bash
# Runs one folder's pytest tests: here where this machine runs 32-bit x86
# programs, and otherwise the tests marked "wine" (those that run Windows
# programs) in a virtual machine that does (scripts/in-vm.sh), the others
# here.   scripts/wine-tests.sh tests/e2e [pytest arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
folder=$1
shift
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  cd "$folder"
  exec /usr/bin/python3 -m pytest -q -rfEs "$@"
fi
echo "this kernel runs no 32-bit code: the Wine tests run in a virtual machine"
(cd "$folder" && /usr/bin/python3 -m pytest -q -rfEs -m "not wine" "$@")
args=""
[ $# -gt 0 ] && args=$(printf ' %q' "$@")
scripts/in-vm.sh "cd $(printf %q "$folder") && /usr/bin/python3 -m pytest -q -rfEs -m wine$args"
