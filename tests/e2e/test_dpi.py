"""The program on a display scaled to 150%, in a prefix of its own.

The manifest makes SHOTBOX DPI aware per monitor, so a Full Screen capture
holds every pixel of the display. The same program with the DPI line taken
out of its manifest is scaled by the system: it sees a screen of 683 by 512
and captures only the top-left two thirds of the real one.

An Area selection is tracked by the hook inside whichever application is
under the pointer; here that is a dialog that is not DPI aware, which is
told scaled-down positions. The band must still be where the pointer is,
and the capture exactly the band's rectangle; without the DPI line the
program cuts that rectangle at the edge of the screen it is told about.

Wine scales programs that are not DPI aware only when the user's profile
allows it (DpiScalingVer, which every Windows 8.1 and later profile has);
without it Wine runs every program per-monitor aware, and LogPixels alone
changes nothing a capture could show. Both are set here.
"""
import re
import shutil
import tempfile
import time
from pathlib import Path

import pytest
from PIL import Image

from conftest import BIN, Desktop
from pictrap import (WM_CLOSE, copy_deliverables, differing, hotkey, pattern_image, screen, start_pattern,
                     start_pictrap, wait_file, wait_output, write_ini, xdotool)
from test_selection import changed, click, hook_state, move, outline, start_selection, wait_state

SCALED_150 = """REGEDIT4

[HKEY_CURRENT_USER\\Control Panel\\Desktop]
"LogPixels"=dword:00000090
"DpiScalingVer"=dword:00001000

"""
DPI_LINE = b'<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true/pm</dpiAware>'
# The icon's bar, drawn larger at 150%, at the bottom left.
ICON_BAR_150 = (0, 728, 176, 768)


@pytest.fixture(scope="module")
def scaled_desktop():
    root = Path(tempfile.mkdtemp(prefix="pictrap-e2e-150-"))
    d = Desktop(root)
    try:
        reg = root / "scaled.reg"
        reg.write_text(SCALED_150)
        assert d.run(["regedit", "/S", reg]).returncode == 0
        d.end_programs()  # programs started from now on run at 150%
        yield d
    finally:
        d.close()
        shutil.rmtree(root, ignore_errors=True)


def without_dpi_line(program):
    data = program.read_bytes()
    assert data.count(DPI_LINE) == 1
    # A comment of the same length keeps every offset in the file valid.
    return data.replace(DPI_LINE, b"<!--" + b" " * (len(DPI_LINE) - 7) + b"-->")


def status_window_scaled(desktop):
    """The status window, created hidden at start-up, laid out at 150%: the
    system does not enlarge a DPI-aware program's windows, and unscaled the
    grown caption pushed its Cancel button off the bottom."""
    status = desktop.find("Pictrap", "Status")
    assert status, "no status window"
    rc, button = desktop.wintest("child", str(status), "2")
    assert rc == 0
    window, button = desktop.info(status), desktop.info(int(button))
    left, top, right, bottom = map(int, window["rect"].split(","))
    assert (right - left, bottom - top) == (405, 192), "270 by 128 at 150%"
    ox, oy = map(int, window["origin"].split(","))
    cw, ch = map(int, window["client"].split(","))
    bl, bt, br, bb = map(int, button["rect"].split(","))
    assert (bl - ox, bt - oy, br - bl, bb - bt) == (153, 95, 99, 39), "the button at 102, 63, 66 by 26, at 150% rounded"
    assert bb <= oy + ch and br <= ox + cw, "the button wholly inside the window"


def full_screen_capture(desktop, folder):
    """Starts the program in `folder`, presses the hot key; returns the main
    window's DPI awareness and the capture."""
    proc, hwnd = start_pictrap(desktop, folder)
    awareness = desktop.info(hwnd).get("dpi-awareness")
    if awareness == "2":
        status_window_scaled(desktop)
    hotkey(desktop)
    assert wait_file(folder / "cap1.png")
    desktop.wintest("post", str(hwnd), str(WM_CLOSE))
    assert proc.wait(timeout=30) == 0
    with Image.open(folder / "cap1.png") as image:
        return awareness, image.convert("RGB")


def test_full_screen_at_150_percent_is_the_whole_display(scaled_desktop, tmp_path):
    d = scaled_desktop
    # Known contents across the line two thirds of the way along, in the
    # display's own pixels.
    start_pattern(d, 560, 300, 300, 200, popup=True, aware=True)
    before = screen(d)
    assert before.size == (1024, 768)
    assert differing(before.crop((560, 300, 860, 500)), pattern_image(300, 200)) == []

    shipped = tmp_path / "shipped"
    shipped.mkdir()
    copy_deliverables(shipped)
    awareness, capture = full_screen_capture(d, shipped)
    assert awareness == "2", "per-monitor DPI aware"
    assert capture.size == (1024, 768)
    assert differing(capture, before, skip=ICON_BAR_150) == []

    unaware = tmp_path / "unaware"
    unaware.mkdir()
    copy_deliverables(unaware)
    (unaware / "SHOTBOX.EXE").write_bytes(without_dpi_line(shipped / "SHOTBOX.EXE"))
    awareness, capture = full_screen_capture(d, unaware)
    assert awareness == "0", "not DPI aware"
    assert capture.size == (683, 512), "the screen as a 96-dpi program is told it is"
    # Not the screen made smaller: its top-left part, pixel for pixel, with
    # the pattern cut off at the edge.
    assert differing(capture, before.crop((0, 0, 683, 512))) == []


def area_capture(desktop, folder, a, b):
    """Starts the program in `folder` in Area mode, spans a band from a to b
    (the display's pixels); returns the screen with the band up, the
    selection the hooks recorded, and the capture."""
    write_ini(folder, Mode=0, CapFormat=1)
    proc, hwnd = start_pictrap(desktop, folder)
    move(desktop, 20, 20)
    start_selection(desktop, folder)
    click(desktop, *a)
    move(desktop, *b)
    wait_state(desktop, folder, Tracking=1)
    time.sleep(0.3)
    band_up = screen(desktop)
    state = hook_state(desktop, folder)
    click(desktop)
    assert wait_file(folder / "cap1.bmp")
    time.sleep(0.3)
    desktop.wintest("post", str(hwnd), str(WM_CLOSE))
    assert proc.wait(timeout=30) == 0
    with Image.open(folder / "cap1.bmp") as image:
        return band_up, state, image.convert("RGB")


def test_area_at_150_percent_over_an_unaware_window_is_the_band(scaled_desktop, tmp_path):
    d = scaled_desktop
    start_pattern(d, 0, 0, 1024, 744, popup=True, aware=True)
    # Not DPI aware: placed at 300,200 in its scaled-down coordinates, which
    # is 450,300 to 900,600 on the display.
    dialog_proc = d.start([BIN / "wintest.exe", "dialog", "300", "200"])
    dialog = int(re.search(r"hwnd=(\d+)", wait_output(d, dialog_proc, "hidden=")).group(1))
    d.wintest("visible", str(dialog), "5000")
    assert d.info(dialog)["dpi-awareness"] == "0"
    time.sleep(0.3)
    xdotool(d, "mousemove", 20, 20)
    time.sleep(0.3)
    before = screen(d)
    # Past two thirds of the display's width, where the scaled screen ends.
    a, b = (560, 340), (759, 439)
    rect = (560, 340, 760, 440)

    shipped = tmp_path / "shipped"
    shipped.mkdir()
    copy_deliverables(shipped)
    band_up, state, capture = area_capture(d, shipped, a, b)
    assert (state["Anchor"], state["Current"]) == ("560,340", "759,439"), "where the pointer is"
    left, top, right, bottom = ICON_BAR_150
    band = {(x, y) for x, y in changed(band_up, before) if not (left <= x < right and top <= y < bottom)}
    assert outline(*a, *b) <= band, "the band's outline through the pointer's corners"
    assert min(x for x, _ in band) == 560 and max(x for x, _ in band) == 759
    assert min(y for _, y in band) == 340 and max(y for _, y in band) == 439, "nothing outside it"
    assert capture.size == (200, 100)
    assert differing(capture, before.crop(rect)) == [], "the band's rectangle, pixel for pixel"
    assert differing(screen(d).crop(rect), before.crop(rect)) == [], "the band erased"

    unaware = tmp_path / "unaware"
    unaware.mkdir()
    copy_deliverables(unaware)
    (unaware / "SHOTBOX.EXE").write_bytes(without_dpi_line(shipped / "SHOTBOX.EXE"))
    band_up, state, capture = area_capture(d, unaware, a, b)
    assert (state["Anchor"], state["Current"]) == ("560,340", "759,439")
    # The same band, but the program cuts it at the screen it is told of.
    assert capture.size == (683 - 560, 100)
    assert differing(capture, before.crop((560, 340, 683, 440))) == []
