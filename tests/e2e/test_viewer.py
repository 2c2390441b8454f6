"""The capture viewer under Wine: the picture at its own size at the top left
on black, closing on the first key or mouse button, reopening, and a capture
taken while it is open."""
import shutil

import pytest
from PIL import Image, ImageChops

from conftest import BIN, wait_for
from shellui import SC_SIZE, SCREENS, StandIn, screenshot, wait_enabled, xdotool

BLACK = (0, 0, 0)


@pytest.fixture
def shell(app_dir):
    shutil.copy2(BIN / "shelltest.exe", app_dir / "shelltest.exe")
    return app_dir


def open_viewer(desktop, program):
    program.command(SC_SIZE)
    viewer = desktop.find("", "FullScreen", 10000)
    assert viewer, "no viewer window"
    assert desktop.wintest("visible", str(viewer))[0] == 0
    info = desktop.info(viewer)
    assert (info["rect"], info["title"]) == ("0,0,1024,768", "")
    assert wait_enabled(desktop, program.main, False), "the main window stays usable under the viewer"
    return viewer


def shown_picture(desktop, path, expected):
    """The screen once the viewer has painted `expected` at the top left."""
    def painted():
        image = screenshot(desktop, path)
        return image if image.getpixel((0, 0)) == expected.getpixel((0, 0)) else None
    image = wait_for(painted, timeout=10)
    assert image is not None, "the viewer never painted"
    return image


def assert_shows(screen, picture):
    """The picture, clipped to the screen, at the top left; black elsewhere."""
    w, h = min(picture.width, screen.width), min(picture.height, screen.height)
    diff = ImageChops.difference(screen.crop((0, 0, w, h)), picture.crop((0, 0, w, h)))
    assert diff.getbbox() is None, f"pixels differ within {diff.getbbox()}"
    if w < screen.width:
        assert screen.crop((w, 0, screen.width, screen.height)).getcolors(1) == \
            [((screen.width - w) * screen.height, BLACK)]
    if h < screen.height:
        assert screen.crop((0, h, w, screen.height)).getcolors(1) == [(w * (screen.height - h), BLACK)]


def closes(desktop, program, viewer):
    assert desktop.wintest("gone", str(viewer), "5000")[0] == 0, "the viewer stayed open"
    assert wait_enabled(desktop, program.main, True), "the main window stayed disabled"


CLOSERS = [("key", "a"), ("click", "1"), ("key", "alt+x"), ("click", "3"), ("click", "2"), ("key", "F10")]


def test_viewer_shows_the_capture_and_any_key_or_button_closes_it(desktop, shell):
    bmp = shell / "capture.bmp"
    program = StandIn(desktop, shell, image=(300, 200, 24), bmp=bmp)
    xdotool(desktop, "mousemove", 600, 500)
    with Image.open(bmp) as im:
        picture = im.convert("RGB")
    for n, (how, what) in enumerate(CLOSERS):
        viewer = open_viewer(desktop, program)
        if n == 0:
            SCREENS.mkdir(parents=True, exist_ok=True)
            assert_shows(shown_picture(desktop, SCREENS / "viewer.png", picture), picture)
        xdotool(desktop, how, what)
        closes(desktop, program, viewer)
    program.close()
    assert program.events == ["viewer=1"] * len(CLOSERS), "every opening after the first works too"


def test_viewer_clips_a_capture_larger_than_the_screen(desktop, shell, tmp_path):
    bmp = shell / "big.bmp"
    program = StandIn(desktop, shell, image=(1500, 1000, 24), bmp=bmp)
    with Image.open(bmp) as im:
        picture = im.convert("RGB")
    viewer = open_viewer(desktop, program)
    assert_shows(shown_picture(desktop, tmp_path / "screen.png", picture), picture)
    xdotool(desktop, "key", "space")
    closes(desktop, program, viewer)
    program.close()


def test_capture_request_while_the_viewer_is_open_closes_it(desktop, shell, tmp_path):
    bmp = shell / "capture.bmp"
    program = StandIn(desktop, shell, image=(320, 240, 24), bmp=bmp)
    viewer = open_viewer(desktop, program)
    with Image.open(bmp) as im:
        first = im.convert("RGB")
    shown_picture(desktop, tmp_path / "first.png", first)
    # The pipeline releases the image the viewer paints from: the viewer
    # closes before that, so no paint can reach the released block.
    program.capture_request()
    closes(desktop, program, viewer)
    with Image.open(bmp) as im:
        second = im.convert("RGB")
    assert ImageChops.difference(first, second).getbbox() is not None, "a new picture was taken"
    viewer = open_viewer(desktop, program)
    assert_shows(shown_picture(desktop, tmp_path / "second.png", second), second)
    xdotool(desktop, "key", "Escape")
    closes(desktop, program, viewer)
    program.close()
    assert program.events == ["viewer=1", "capture=2", "viewer=1"]


def test_8_bit_capture_on_an_8_bit_display(desktop_at_depth, shell, tmp_path):
    """Wine 8 draws on an 8-bit display through a fixed colour table: a
    realised palette changes no pixel there, so its exact colours cannot be
    observed. What can be: the viewer realises the capture's palette without
    failing, and every pixel shows the display colour of its palette entry,
    the same entry always the same colour, on black."""
    d8 = desktop_at_depth(8)
    try:
        bmp = shell / "palette.bmp"
        program = StandIn(d8, shell, image=(256, 160, 8), bmp=bmp)
        with Image.open(bmp) as im:
            assert im.mode == "P"
            indices = im.copy()
        viewer = open_viewer(d8, program)
        shot = tmp_path / "screen8.png"

        def painted():
            image = screenshot(d8, shot)
            return image if image.getpixel((0, 0)) != BLACK else None
        screen = wait_for(painted, timeout=10)
        assert screen is not None, "the viewer never painted"
        shown = {}
        for y in range(0, 160, 3):
            for x in range(0, 256, 3):
                shown.setdefault(indices.getpixel((x, y)), set()).add(screen.getpixel((x, y)))
        assert len(shown) == 64 and all(len(c) == 1 for c in shown.values()), "one colour per entry"
        assert len({c for colours in shown.values() for c in colours}) > 3, "not a blank picture"
        right = screen.crop((256, 0, 1024, 768))
        assert right.getcolors(1) == [(768 * 768, BLACK)]
        xdotool(d8, "click", "1")
        closes(d8, program, viewer)
        program.close()
    finally:
        d8.end_programs()
