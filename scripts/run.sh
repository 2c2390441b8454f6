#!/usr/bin/env bash
# Builds Pictrap and runs it under Wine. On a display ($DISPLAY) it runs there
# in its own 32-bit prefix until you close its icon; with no display it starts
# on a private Xvfb, shows that it started, and stops it again.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh win32

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  export WINEPREFIX="${PICTRAP_WINEPREFIX:-$HOME/.local/share/pictrap/wine32}"
  export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$(dirname "$WINEPREFIX")"
  [ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
  echo "Pictrap runs as an icon; close it from its system menu."
  exec wine build/win32/bin/SHOTBOX.EXE
fi

exec /usr/bin/python3 scripts/run_headless.py
