"""Full Screen on displays of other depths, each on its own Xvfb and Wine
desktop: a 256-colour display gives an 8-bit DIB with the realised palette
and all three clipboard formats; a 16-bit display gives a 24-bit DIB. Either
capture prints as it was saved."""
import struct

import pytest
from PIL import Image

from pictrap import copy_deliverables, differing, gdi_screen, hotkey, screen, screen_while_hidden, start_pattern, \
    start_pictrap, wait_file, write_ini
from printers import Printers, ink_box, printed_pixels, render, single_job
from winedesktop import ROOT

CF_BITMAP, CF_DIB, CF_PALETTE = 2, 8, 9


@pytest.fixture(params=[8, 16])
def depth_desktop(request, desktop_at_depth):
    """The session's desktop of that depth, shared with the viewer and About tests."""
    return request.param, desktop_at_depth(request.param)


def bmp_header(path):
    """(biBitCount, biClrUsed, biSizeImage, width, height) of a BMP file."""
    info = path.read_bytes()[14:54]
    width, height, _planes, bits = struct.unpack("<iiHH", info[4:16])
    size_image, = struct.unpack("<I", info[20:24])
    clr_used, = struct.unpack("<I", info[32:36])
    return bits, clr_used, size_image, width, height


def test_full_screen_at_the_display_depth(depth_desktop, tmp_path):
    depth, desktop = depth_desktop
    folder = tmp_path / "Pictrap"
    folder.mkdir()
    copy_deliverables(folder)
    write_ini(folder, ToClipbd=1, CapFormat=1)
    try:
        _proc, hwnd = start_pictrap(desktop, folder)
        start_pattern(desktop, 150, 100, 500, 400)
        hotkey(desktop)
        assert wait_file(folder / "cap1.bmp")
        # On a PseudoColor display Wine draws through a colormap of its own,
        # which X clients such as ImageMagick do not apply: there the screen
        # is read back by Wine's GDI in another program, at 24 bits.
        # Where the icon lies, the picture holds what lay beneath it.
        grab = screen_while_hidden(desktop, hwnd, (lambda d: gdi_screen(d, tmp_path)) if depth == 8 else screen)
        bits, clr_used, size_image, width, height = bmp_header(folder / "cap1.bmp")
        assert (width, height) == (1024, 768)
        with Image.open(folder / "cap1.bmp") as cap:
            pixels = cap.convert("RGB")
        rc, out = desktop.wintest("clipboard")
        formats = [int(f) for f in out.split()]
        if depth == 8:
            assert (bits, clr_used, size_image) == (8, 256, 1024 * 768)
            assert differing(pixels, grab) == []
            assert formats[:3] == [CF_BITMAP, CF_PALETTE, CF_DIB], formats
        else:
            assert (bits, clr_used, size_image) == (24, 0, 1024 * 3 * 768)
            # 5 or 6 bits per channel widened to 8: the two readers may fill
            # the low bits differently.
            assert differing(pixels, grab, tolerance=7) == []
            assert formats[0] == CF_DIB and CF_PALETTE not in formats, formats
    finally:
        desktop.end_programs()


def test_capture_at_the_display_depth_prints(depth_desktop, tmp_path):
    """The 8-bit palette capture and the 24-bit one both print: 1024 x 768
    is shrunk to the page width, 800 x 599 hundredths (the single-precision
    ratio truncates 599.99997), 2400 x 1797 printer pixels, each pixel as
    saved."""
    depth, desktop = depth_desktop
    folder = tmp_path / "Pictrap"
    folder.mkdir()
    copy_deliverables(folder)
    write_ini(folder, CapFormat=1, Print=1)
    printers = Printers(desktop, tmp_path)
    try:
        printers.install("PTA", default=True)
        _proc, hwnd = start_pictrap(desktop, folder)
        start_pattern(desktop, 150, 100, 500, 400)
        hotkey(desktop)
        assert wait_file(folder / "cap1.bmp")
        job = single_job(printers, "PTA")
        assert bmp_header(folder / "cap1.bmp")[0] == (8 if depth == 8 else 24)
        page = render(job, ROOT / "build" / "e2e-pages" / f"display-{depth}-bit.png")
        area = (75, 150, 75 + 2400, 150 + 1797)
        found = ink_box(page)
        assert found and all(f >= a - 1 if i < 2 else f <= a + 1 for i, (f, a) in enumerate(zip(found, area))), \
            (found, area)
        with Image.open(folder / "cap1.bmp") as cap:
            saved = cap.convert("RGB")
        assert differing(printed_pixels(page, area, saved.size), saved, tolerance=2) == []
    finally:
        printers.remove_all()
        desktop.end_programs()
