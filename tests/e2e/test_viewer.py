"""The capture viewer: the last capture at its own size at the top left on
black, closing on the first key or mouse button, reopening, and a capture
requested while it is open."""
import time

from PIL import Image, ImageChops

from conftest import wait_for
from pictrap import WM_CLOSE, copy_deliverables, dib_image, gdi_screen, hotkey, start_pattern, wait_file, \
    write_ini, xdotool
from shellui import SCREENS, VIEW_LAST_CAPTURE, Pictrap, StandIn, gone, screenshot, wait_enabled

BLACK = (0, 0, 0)


def open_viewer(desktop, program):
    program.command(VIEW_LAST_CAPTURE)
    viewer = desktop.find("", "FullScreen", 10000)
    assert viewer, "no viewer window"
    assert desktop.wintest("visible", str(viewer))[0] == 0
    info = desktop.info(viewer)
    assert (info["rect"], info["title"]) == ("0,0,1024,768", "")
    assert wait_enabled(desktop, program.main, False), "the main window stays usable under the viewer"
    return viewer


def closes(desktop, program, viewer):
    assert gone(desktop, viewer, 5000), "the viewer stayed open"
    assert wait_enabled(desktop, program.main, True), "the main window stayed disabled"


def shown(desktop, path, picture):
    """The screen once the viewer shows `picture` at its top left."""
    def painted():
        image = screenshot(desktop, path)
        return image if image.getpixel((0, 0)) == picture.getpixel((0, 0)) else None
    image = wait_for(painted, timeout=10)
    assert image is not None, "the viewer never painted the capture"
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


CLOSERS = [("key", "a"), ("click", "1"), ("key", "alt+x"), ("click", "3"), ("click", "2"), ("key", "F10")]


def test_viewer_shows_the_last_capture_and_any_key_or_button_closes_it(desktop, app_dir):
    write_ini(app_dir, Mode=3, CapFormat=1)      # Window: smaller than the screen
    program = Pictrap(desktop, app_dir)
    start_pattern(desktop, 200, 150, 300, 200)
    hotkey(desktop)
    assert wait_file(app_dir / "cap1.bmp")
    with Image.open(app_dir / "cap1.bmp") as im:
        picture = im.convert("RGB")
    assert picture.size[0] < 1024 and picture.size[1] < 768
    xdotool(desktop, "mousemove", 900, 700)
    SCREENS.mkdir(parents=True, exist_ok=True)
    for n, (how, what) in enumerate(CLOSERS):
        viewer = open_viewer(desktop, program)   # every opening after the first works too
        if n == 0:
            assert_shows(shown(desktop, SCREENS / "viewer.png", picture), picture)
        xdotool(desktop, how, what)
        closes(desktop, program, viewer)
    program.close()


def test_hot_key_while_the_viewer_is_open_closes_it_and_captures_the_screen(desktop, app_dir):
    # F5 alone: no modifier key reaches the viewer first and closes it.
    write_ini(app_dir, Mode=1, CapFormat=1, Key=4, Alt=0, Ctrl=0, Shift=0)
    program = Pictrap(desktop, app_dir)
    pattern, pattern_window = start_pattern(desktop, 200, 150, 300, 200)
    hotkey(desktop, "F5")
    assert wait_file(app_dir / "cap1.bmp")
    desktop.wintest("post", str(pattern_window), str(WM_CLOSE))
    assert gone(desktop, pattern_window)
    with Image.open(app_dir / "cap1.bmp") as im:
        first = im.convert("RGB")
    viewer = open_viewer(desktop, program)
    time.sleep(0.5)
    # The pipeline releases the image the viewer paints from: the viewer
    # closes first, and the capture is of the screen beneath it.
    hotkey(desktop, "F5")
    closes(desktop, program, viewer)
    assert wait_file(app_dir / "cap2.bmp")
    with Image.open(app_dir / "cap2.bmp") as im:
        second = im.convert("RGB")
    window = (200, 150, 500, 350)
    assert ImageChops.difference(first.crop(window), second.crop(window)).getbbox() is not None, \
        "the second capture still shows the closed window: it took the viewer"
    assert second.crop(window).getcolors(1) is not None, "the desktop's plain background where the window was"
    assert second.getpixel(window[:2]) != BLACK
    viewer = open_viewer(desktop, program)       # and the viewer shows the new capture
    assert_shows(shown(desktop, app_dir / "screen.png", second), second)
    xdotool(desktop, "key", "Escape")
    closes(desktop, program, viewer)
    pattern.wait(timeout=30)
    program.close()


def test_8_bit_capture_viewed_on_an_8_bit_display(desktop_at_depth, tmp_path):
    d8 = desktop_at_depth(8)
    folder = tmp_path / "Pictrap"
    folder.mkdir()
    copy_deliverables(folder)
    write_ini(folder, Mode=1, CapFormat=1)
    try:
        program = Pictrap(d8, folder)
        pattern, pattern_window = start_pattern(d8, 150, 100, 500, 400)
        hotkey(d8)
        assert wait_file(folder / "cap1.bmp")
        d8.wintest("post", str(pattern_window), str(WM_CLOSE))
        assert gone(d8, pattern_window)
        with Image.open(folder / "cap1.bmp") as im:
            assert im.mode == "P"
            picture = im.convert("RGB")
        viewer = open_viewer(d8, program)
        time.sleep(1)
        # Wine draws a palette display through a colormap of its own, which X
        # screenshots do not apply: the screen is read back through GDI.
        screen = gdi_screen(d8, tmp_path)
        assert ImageChops.difference(screen, picture).getbbox() is None, "the capture's own colours"
        xdotool(d8, "click", "1")
        closes(d8, program, viewer)
        program.close()
    finally:
        d8.end_programs()


# What no real capture makes: the shell test program's stand-in main window
# opens the same viewer on a test picture.

def test_viewer_clips_a_picture_larger_than_the_screen(desktop, app_dir):
    bmp = app_dir / "big.bmp"
    program = StandIn(desktop, app_dir, (1500, 1000, 24), bmp)
    with Image.open(bmp) as im:
        picture = im.convert("RGB")
    viewer = open_viewer(desktop, program)
    assert_shows(shown(desktop, app_dir / "screen.png", picture), picture)
    xdotool(desktop, "key", "space")
    closes(desktop, program, viewer)
    program.close()


def test_picture_with_a_palette_the_8_bit_display_lacks(desktop_at_depth, app_dir, tmp_path):
    """Wine 8 draws on an 8-bit display through a fixed colour table: a
    realised palette changes no pixel there, so colours the display lacks
    cannot be observed. What can be: the viewer realises the picture's
    palette without failing, and every pixel shows the display colour of its
    palette entry, the same entry always the same colour, on black."""
    d8 = desktop_at_depth(8)
    try:
        bmp = app_dir / "palette.bmp"
        program = StandIn(d8, app_dir, (256, 160, 8), bmp)
        with Image.open(bmp) as im:
            assert im.mode == "P"
            indices = im.copy()
        viewer = open_viewer(d8, program)
        time.sleep(1)
        screen = gdi_screen(d8, tmp_path)
        colours = {}
        for y in range(0, 160, 3):
            for x in range(0, 256, 3):
                colours.setdefault(indices.getpixel((x, y)), set()).add(screen.getpixel((x, y)))
        assert len(colours) == 64 and all(len(c) == 1 for c in colours.values()), "one colour per entry"
        assert len(set.union(*colours.values())) > 3, "not a blank picture"
        assert screen.crop((256, 0, 1024, 768)).getcolors(1) == [(768 * 768, BLACK)]
        xdotool(d8, "click", "1")
        closes(d8, program, viewer)
        program.close()
    finally:
        d8.end_programs()
