"""Hot key to file under Wine, beside scrot and ImageMagick's import writing
the same 1920x1080x24 screen on the same display, as BMP and as PNG (beside
scrot's PNG), then where the time goes
and SHOTBOX's peak memory during one capture. Run by scripts/bench.sh; the
figures depend on the machine's load, so compare within one run."""
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
from pictrap import copy_deliverables, start_pictrap, wait_output, windows_path, write_ini  # noqa: E402
from winedesktop import BIN, ROOT, Desktop  # noqa: E402

RUNS = 20
WIDTH, HEIGHT = 1920, 1080


def bench_image():
    for shared in (ROOT.parent / "shared", Path("/work/shared")):
        image = shared / "bench-images" / "screen1080_24.dib"
        if image.exists():
            return image
    return None


def timed_runs(command, outdir, suffix):
    times = []
    for i in range(RUNS):
        out = outdir / f"{i}.{suffix}"
        start = time.perf_counter()
        subprocess.run(command + [str(out)], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append((time.perf_counter() - start) * 1000)
        out.unlink()
    return times


def presses(desktop, folder, first, last, extension="bmp"):
    pattern = windows_path(folder) + "\\cap%d." + extension
    rc, out = desktop.wintest("presses", "ctrl+alt+F11", pattern, str(first), str(last), timeout=600)
    if rc != 0:
        raise SystemExit(f"the hot key captures did not arrive: {out[-200:]}")
    return [float(v) for v in out.split()]


def status_kib(pid, field):
    return int(re.search(field + r":\s+(\d+)", Path(f"/proc/{pid}/status").read_text()).group(1))


def describe(name, times):
    return f"{name:34s} median {statistics.median(times):7.1f} ms  (min {min(times):.1f}, max {max(times):.1f})"


def main():
    root = Path(tempfile.mkdtemp(prefix="pictrap-bench-"))
    desktop = Desktop(root, size=f"{WIDTH}x{HEIGHT}")
    try:
        app = root / "Pictrap"
        app.mkdir()
        copy_deliverables(app)
        image = bench_image()
        if image is not None:
            picture = desktop.start([BIN / "wintest.exe", "picture", image])
            wait_output(desktop, picture, "hwnd=")
        else:
            picture = desktop.start([BIN / "wintest.exe", "pattern", 0, 0, WIDTH, HEIGHT, "popup"])
            wait_output(desktop, picture, "hwnd=")
        time.sleep(1.0)

        write_ini(app, Mode=1, CapFormat=1)
        proc, _hwnd = start_pictrap(desktop, app)
        presses(desktop, app, 1, 3)  # warm: the first read-back is slow
        ours = presses(desktop, app, 4, 3 + RUNS)
        out = root / "yardsticks"
        out.mkdir()
        env_display = ["env", f"DISPLAY={desktop.display}"]
        scrot = timed_runs(env_display + ["scrot", "-o"], out, "bmp")
        imagemagick = timed_runs(env_display + ["import", "-window", "root"], out, "bmp")
        print(f"Full Screen {WIDTH}x{HEIGHT}x24 to a BMP file, {RUNS} runs each, same display:")
        print(describe("Pictrap, hot key to file closed", ours))
        print(describe("scrot (process start to exit)", scrot))
        print(describe("import -window root (same)", imagemagick))
        verdict = "met" if statistics.median(ours) < statistics.median(scrot) else "NOT met"
        print(f"goal faster than scrot: {verdict} "
              f"({statistics.median(scrot) / statistics.median(ours):.2f}x)")

        # The same to PNG, which scrot writes too and a new user's first
        # capture is; the PNG coding is the difference from the BMP run.
        desktop.wintest("post", str(_hwnd), "16")
        proc.wait(timeout=30)
        write_ini(app, Mode=1, CapFormat=4)
        proc, _hwnd = start_pictrap(desktop, app)
        presses(desktop, app, 1, 3, "png")
        ours_png = presses(desktop, app, 4, 3 + RUNS, "png")
        scrot_png = timed_runs(env_display + ["scrot", "-o"], out, "png")
        print(f"\nFull Screen {WIDTH}x{HEIGHT}x24 to a PNG file, {RUNS} runs each, same display:")
        print(describe("Pictrap, hot key to file closed", ours_png))
        print(describe("scrot (process start to exit)", scrot_png))
        print(describe("  of which PNG coding, beside BMP", [statistics.median(ours_png) - statistics.median(ours)]))
        verdict = "met" if statistics.median(ours_png) < statistics.median(scrot_png) else "NOT met"
        print(f"goal faster than scrot: {verdict} "
              f"({statistics.median(scrot_png) / statistics.median(ours_png):.2f}x)")

        print("\nWhere the time goes (capture_profile.exe, same stages as SBHOOK32 and the BMP and PNG writers):")
        shutil.copy2(BIN / "capture_profile.exe", app / "capture_profile.exe")
        profile = desktop.run([app / "capture_profile.exe", windows_path(app / "profile.bmp"), str(RUNS)],
                              cwd=app, timeout=600)
        print(profile.stdout.replace("\r", ""), end="")

        # Peak memory of one capture with greyscale, clipboard and disk on.
        desktop.wintest("post", str(_hwnd), "16")
        proc.wait(timeout=30)
        for f in [*app.glob("cap*.bmp"), *app.glob("cap*.png")]:
            f.unlink()
        write_ini(app, Mode=1, CapFormat=1, Greyscale=1, ToClipbd=1)
        proc, _hwnd = start_pictrap(desktop, app)
        presses(desktop, app, 1, 1)
        time.sleep(1.0)
        idle = status_kib(proc.pid, "VmRSS")
        Path(f"/proc/{proc.pid}/clear_refs").write_text("5")  # peak back to the current size
        presses(desktop, app, 2, 2)
        peak = status_kib(proc.pid, "VmHWM")
        image_kib = (WIDTH * 3 * HEIGHT) / 1024
        ratio = (peak - idle) / image_kib
        print(f"\nPeak memory of one capture (greyscale, clipboard, disk): idle {idle} KiB, peak {peak} KiB, "
              f"{peak - idle} KiB over idle = {ratio:.2f}x the {image_kib:.0f} KiB image "
              f"(goal at most 3x: {'met' if ratio <= 3 else 'NOT met'})")
        return 0
    finally:
        desktop.close()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
