"""Two monitors under Wine without its virtual desktop (which is always one
monitor): the primary 1024x768 and an 800x600 one left of it, at negative
coordinates, on an Xorg of its own. X counts from the left monitor's corner,
so X's x is Windows' x + 800; below the left monitor lies a gap on no monitor."""
import shutil
import tempfile
from pathlib import Path

import pytest
from PIL import Image, ImageChops

from conftest import BIN, Desktop, _installed, wait_for
from pictrap import (WM_CLOSE, boxes, client_rect, dismiss, hotkey, pattern_image, screen, start_pattern, start_pictrap, wait_file,
                     window_rect, write_ini)
from shellui import VIEW_LAST_CAPTURE, Pictrap, gone
from test_selection import click, hook_state, move, start_selection, wait_state
from xorg_monitors import start_xorg

GAP = (0, 600, 800, 768)
WM_LBUTTONDOWN = 0x201


@pytest.fixture(scope="module")
def monitors_desktop():
    root = Path(tempfile.mkdtemp(prefix="pictrap-e2e-monitors-"))
    xorg, display = start_xorg(root, [(0, 0, 1024, 768), (-800, 0, 800, 600)])
    try:
        d = Desktop(root, virtual_desktop=False, display=display)
        try:
            d.wintest("foreground", timeout=300)  # the first program starts Wine's desktop process: slow here
            yield d
        finally:
            d.close()
    finally:
        xorg.terminate()
        xorg.wait(timeout=30)
        shutil.rmtree(root, ignore_errors=True)


@pytest.fixture
def folder(monitors_desktop, request, tmp_path):
    yield from _installed(monitors_desktop, request, tmp_path / "Pictrap")


def same(a, b):
    return a.size == b.size and ImageChops.difference(a, b).getbbox() is None


def in_x(rect):
    return (rect[0] + 800, rect[1], rect[2] + 800, rect[3])


def taken(folder):
    path = folder / "cap1.bmp"
    assert wait_file(path)
    with Image.open(path) as im:
        image = im.convert("RGB")
    path.unlink()  # each start counts from 1 again
    return image


def test_capture_selections_viewer_and_status_window_over_two_monitors(monitors_desktop, folder):
    d = monitors_desktop
    start_pattern(d, -800, 0, 1824, 700, popup=True)  # both monitors, and into the gap
    start_pattern(d, 200, 300, 240, 160, popup=True, layered=True)
    _, front = start_pattern(d, -700, 100, 300, 200)

    def program(**ini):
        write_ini(folder, CapFormat=1, **ini)
        p = Pictrap(d, folder)
        d.wintest("activate", str(front))
        return p, screen(d)

    def viewer_on(p, rect, image):
        p.command(VIEW_LAST_CAPTURE)
        viewer = d.find("", "FullScreen", 10000)
        assert window_rect(d, viewer) == rect, "on the monitor holding most of the capture"
        size = (rect[2] - rect[0], rect[3] - rect[1])
        assert wait_for(lambda: same(screen(d).crop(in_x(rect)), image.crop((0, 0) + size)), timeout=10)
        d.wintest("post", str(viewer), str(WM_LBUTTONDOWN))
        assert gone(d, viewer, 5000)

    p, shot = program(Mode=1)
    assert window_rect(d, p.main)[:2] == (-32000, -32000), "an icon off every monitor: nothing to hide first"
    hotkey(d)
    full = taken(folder)
    # Wine shows it opaque with or without CAPTUREBLT: in the picture, not proof of the flag.
    assert same(shot.crop((1000, 300, 1240, 460)), pattern_image(240, 160)), "the layered window is on the screen"
    assert shot.crop(GAP).getbbox(), "the big window reaches into the gap"
    shot.paste((0, 0, 0), GAP)
    assert same(full, shot), "every monitor, the layered window too, black where no monitor is"
    d.start([BIN / "wintest.exe", "showerror", "Pictrap", "802"], cwd=folder)
    box, _ = boxes(d)
    for window in (d.find("Pictrap", "Status"), box):  # last shown there, and up now
        left, top, right, bottom = window_rect(d, window)
        assert -800 <= left and right <= 0 and 0 <= top and bottom <= 600, "on the front window's monitor"
    dismiss(d, box)
    viewer_on(p, (0, 0, 1024, 768), full)
    p.close()

    p, base = program(Mode=0)
    start_selection(d, folder)
    click(d, 700, 100)
    move(d, 899, 199)
    wait_state(d, folder, Current="99,199")
    edge = (700, 100, 701, 200)  # the band's left side, on the left monitor
    assert wait_for(lambda: same(screen(d).crop(edge), ImageChops.invert(base.crop(edge))), timeout=5)
    click(d)
    assert same(taken(folder), base.crop((700, 100, 900, 200))), "the band across the monitors' edge"
    p.close()

    p, base = program(Mode=5, SizeWd=200, SizeHt=100)
    base.paste((0, 0, 0), GAP)
    start_selection(d, folder)
    move(d, 450, 350)
    wait_state(d, folder, CaptureRect="-450,300,-251,399")
    move(d, 750, 580)  # across the edge to the primary, and into the gap below
    wait_state(d, folder, CaptureRect="-150,530,49,629")
    click(d)
    box = taken(folder)
    assert same(box, base.crop((650, 530, 850, 630)))
    viewer_on(p, (-800, 0, 0, 600), box)
    p.close()

    p, _ = program(Mode=5, SizeWd=1824, SizeHt=768)  # the virtual screen's size, not the primary's
    start_selection(d, folder)
    left, top, right, bottom = map(int, hook_state(d, folder)["CaptureRect"].split(","))
    assert (right - left + 1, bottom - top + 1) == (1824, 768)
    click(d)
    taken(folder)
    p.close()


def test_window_mode_takes_the_frame_dwmapi_gives_else_the_window_rectangle(monitors_desktop, folder):
    # The throwaway prefix's own dwmapi.dll is replaced, and loaded in its
    # place only where the override asks for the native one.
    d = monitors_desktop
    shutil.copy2(BIN / "DWMFRAME.DLL", d.prefix / "drive_c" / "windows" / "system32" / "dwmapi.dll")
    _, window = start_pattern(d, 100, 100, 400, 300)
    for dwmapi, frame in (("n", client_rect(d, window)), ("", window_rect(d, window))):
        write_ini(folder, Mode=3, CapFormat=1)
        proc, main = start_pictrap(d, folder, env={"WINEDLLOVERRIDES": f"mscoree,mshtml=;dwmapi={dwmapi}"})
        d.wintest("activate", str(window))
        shot = screen(d)
        hotkey(d)
        assert same(taken(folder), shot.crop(in_x(frame))), f"dwmapi={dwmapi}: {frame}"
        d.wintest("post", str(main), str(WM_CLOSE))
        assert proc.wait(timeout=30) == 0
