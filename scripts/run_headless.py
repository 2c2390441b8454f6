"""Demonstrates Pictrap on a machine without a display: a private Xvfb and
Wine desktop, notepad with some text as the sample window, the hot key, and
the capture written to disk. The program's folder is build/run/, so the
capture stays there; a PNG view of it goes to build/run-capture.png."""
import shutil
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
from pictrap import copy_deliverables, hotkey, start_pictrap, wait_file, xdotool  # noqa: E402
from winedesktop import ROOT, Desktop  # noqa: E402

from PIL import Image  # noqa: E402

WM_CLOSE = 0x10


def main():
    app = ROOT / "build" / "run"
    shutil.rmtree(app, ignore_errors=True)
    app.mkdir(parents=True)
    copy_deliverables(app)
    root = Path(tempfile.mkdtemp(prefix="pictrap-run-"))
    print("Starting a private X display and Wine desktop (about 15 s) ...", flush=True)
    desktop = Desktop(root)
    try:
        proc, hwnd = start_pictrap(desktop, app)
        print("Pictrap runs as an icon at the bottom left of the desktop.")
        desktop.start(["notepad"])
        notepad = desktop.find("-", "Notepad", 15000)
        if not notepad:
            print("notepad did not start; no sample window to capture.")
            return 1
        time.sleep(0.5)
        xdotool(desktop, "mousemove", 300, 200, "click", 1)
        xdotool(desktop, "type", "This notepad window was captured by Pictrap's hot key, Ctrl+Alt+F11.")
        print("Pressing Ctrl+Alt+F11 in notepad ...", flush=True)
        hotkey(desktop)
        capture = app / "cap1.png"
        if not wait_file(capture):
            print("No capture arrived.")
            return 1
        view = ROOT / "build" / "run-capture.png"
        with Image.open(capture) as image:
            image.save(view)
            size = image.size
        print(f"The capture ({size[0]}x{size[1]}, the whole screen) was saved to {capture}")
        print(f"A PNG view of it: {view}")
        desktop.wintest("post", str(hwnd), str(WM_CLOSE))
        code = proc.wait(timeout=30)
        print(f"Closed Pictrap; exit code {code}.")
        return code
    finally:
        desktop.close()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
