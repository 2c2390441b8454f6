#!/usr/bin/env bash
# Makes the release (scripts/release.sh) and tests it from its artefacts:
# checksums, the zip's contents, every binary's imports, version resource and
# manifest, a second release build compared byte for byte, and under Wine in
# fresh 32-bit prefixes the silent install with its log-in start, captures
# and uninstall, the installer clicked through, and the zip unpacked and
# capturing. Leaves pictures for the README in build/e2e-screens/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh win32 >/dev/null  # the tests' helper program
scripts/release.sh
echo "== release tests"
scripts/wine-tests.sh tests/release "$@"
