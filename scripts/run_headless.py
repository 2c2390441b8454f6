"""Starts Pictrap on a private Xvfb and Wine desktop, shows that it runs, and
stops it again: the run command's answer to a machine without a display."""
import shutil
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
from winedesktop import BIN, ROOT, Desktop  # noqa: E402

WM_CLOSE = 0x10


def main():
    root = Path(tempfile.mkdtemp(prefix="pictrap-run-"))
    print("Starting a private X display and Wine desktop ...", flush=True)
    desktop = Desktop(root)
    try:
        app = root / "Pictrap"
        app.mkdir()
        for name in ("SHOTBOX.EXE", "SBHOOK32.DLL", "SBMSG32.DLL"):
            shutil.copy2(BIN / name, app / name)
        proc = desktop.start([app / "SHOTBOX.EXE"], cwd=app)
        hwnd = desktop.find("Pictrap", "Pictrap", 15000)
        if not hwnd:
            print("Pictrap did not start.")
            return 1
        info = desktop.info(hwnd)
        shot = ROOT / "build" / "run-screenshot.png"
        desktop.screenshot(shot)
        print(f"Pictrap is running as an icon at {info['rect']} (iconic={info['iconic']}).")
        print(f"Screenshot of its desktop: {shot}")
        desktop.wintest("post", str(hwnd), str(WM_CLOSE))
        code = proc.wait(timeout=30)
        print(f"Closed it; exit code {code}.")
        return code
    finally:
        desktop.close()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
