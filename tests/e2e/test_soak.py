"""500 hot-key captures in a row (Full Screen, 24 bits, to BMP): the
program's memory and its GDI objects stay flat. PICTRAP_SOAK sets the count."""
import os
import time

from pictrap import gdi_objects, lines, resident_kib, start_pattern, start_pictrap, windows_path, write_ini

COUNT = int(os.environ.get("PICTRAP_SOAK", "500"))
WARM_UP = 20


def captures(desktop, folder, first, last, target):
    """Presses the hot key for each number and waits for its file (written
    under a temporary name, then renamed), deleting it as it comes. On a
    failure, what the window in front received tells a key that reached it
    from one that went nowhere."""
    pattern = windows_path(folder) + "\\cap%d.bmp"
    rc, out = desktop.wintest("presses", "ctrl+alt+F11", pattern, str(first), str(last), timeout=600)
    assert rc == 0, (out[-300:], desktop.wintest("boxes"), desktop.wintest("foreground"),
                     lines(desktop, target)[-10:])
    return [int(v) for v in out.split()]


def test_soak_memory_and_gdi_objects_stay_flat(desktop, app_dir):
    write_ini(app_dir, Mode=1, CapFormat=1)
    proc, hwnd = start_pictrap(desktop, app_dir)
    target, _ = start_pattern(desktop, 200, 150, 400, 300)
    started = time.monotonic()
    captures(desktop, app_dir, 1, WARM_UP, target)
    rss_warm, gdi_warm = resident_kib(proc), gdi_objects(desktop, hwnd)
    times = captures(desktop, app_dir, WARM_UP + 1, COUNT, target)
    time.sleep(0.5)
    rss_end, gdi_end = resident_kib(proc), gdi_objects(desktop, hwnd)
    elapsed = time.monotonic() - started
    times.sort()
    print(f"\nsoak: {COUNT} captures in {elapsed:.1f} s (key to file: median {times[len(times) // 2]} ms); resident {rss_warm} KiB after {WARM_UP}, "
          f"{rss_end} KiB after {COUNT}; GDI objects {gdi_warm} -> {gdi_end}")
    assert gdi_end <= gdi_warm, "GDI objects leak"
    # One leaked 1024x768x24 image per capture would be 2.3 MB each.
    assert rss_end - rss_warm < 4096, f"memory grew by {rss_end - rss_warm} KiB"
    assert desktop.wintest("boxes")[1] == "", "no message box came up"
