#!/usr/bin/env bash
# Builds Pictrap and runs it under Wine. On a display ($DISPLAY) it runs there
# in its own 32-bit prefix until you close its icon; with no display it
# demonstrates a capture on a private Xvfb: a sample window, the hot key, and
# the file it wrote.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh win32

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  export WINEPREFIX="${PICTRAP_WINEPREFIX:-$HOME/.local/share/pictrap/wine32}"
  export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$(dirname "$WINEPREFIX")"
  [ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
  cat <<EOT
Pictrap runs as an icon; close it from its system menu (Alt+Space while it
has the focus). The hot key is Ctrl+Alt+F11, and captures are saved as
cap1.png, cap2.png, ... in $PWD. Under Wine the hot key is seen only while
a Windows program of this Wine prefix has the keyboard focus, for example
notepad started with: WINEPREFIX=$WINEPREFIX wine notepad

On most Linux desktops Ctrl+Alt+F1 to F12 switch virtual consoles, so that
key never reaches Wine. To use another one, close Pictrap and put, for
example Ctrl+Shift+F11, into build/win32/bin/SHOTBOX.INI:
    [Pictrap]
    Alt=0
    Ctrl=1
    Shift=1
    Key=10
(Key is 0 for F1 up to 11 for F12; Alt, Ctrl and Shift are 1 for "held").
EOT
  exec wine build/win32/bin/SHOTBOX.EXE
fi

exec /usr/bin/python3 scripts/run_headless.py
