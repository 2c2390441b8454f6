"""The program on a display scaled to 150%, in a prefix of its own.

The manifest makes SHOTBOX DPI aware per monitor, so a Full Screen capture
holds every pixel of the display. The same program with the DPI line taken
out of its manifest is scaled by the system: it sees a screen of 683 by 512
and captures only the top-left two thirds of the real one.

Wine scales programs that are not DPI aware only when the user's profile
allows it (DpiScalingVer, which every Windows 8.1 and later profile has);
without it Wine runs every program per-monitor aware, and LogPixels alone
changes nothing a capture could show. Both are set here.
"""
import shutil
import tempfile
from pathlib import Path

import pytest
from PIL import Image

from conftest import Desktop
from pictrap import (WM_CLOSE, copy_deliverables, differing, hotkey, pattern_image, screen, start_pattern,
                     start_pictrap, wait_file)

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


def full_screen_capture(desktop, folder):
    """Starts the program in `folder`, presses the hot key; returns the main
    window's DPI awareness and the capture."""
    proc, hwnd = start_pictrap(desktop, folder)
    awareness = desktop.info(hwnd).get("dpi-awareness")
    hotkey(desktop)
    assert wait_file(folder / "cap1.bmp")
    desktop.wintest("post", str(hwnd), str(WM_CLOSE))
    assert proc.wait(timeout=30) == 0
    with Image.open(folder / "cap1.bmp") as image:
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
