"""The status window as the shell drives it, under Wine: where it appears when
its owner is an icon, and what it shows when it is shown again for another
operation that never drains its queue (a BMP save). The shell test program
runs the steps; at each "hold" it stops touching its message queue until the
test releases it, as a save does, and the test looks at the screen."""
import shutil

import pytest
from PIL import Image

from conftest import BIN, wait_for

LIGHT, WHITE = (192, 192, 192), (255, 255, 255)
TEXT_LINE = (8, 4, 260, 27)    # client pixels, right and bottom exclusive
BAR = (11, 30, 257, 54)        # the bar with its frame


def bar_right(percent):
    return 13 + percent * 241 // 100


class Script:
    """shelltest's status-script, started in `folder` on `desktop`."""

    def __init__(self, desktop, folder, *steps, iconic=False):
        shutil.copy2(BIN / "shelltest.exe", folder / "shelltest.exe")
        self.desktop, self.folder = desktop, folder
        args = [folder / "shelltest.exe"] + (["iconic"] if iconic else []) + ["status-script", *steps]
        self.proc = desktop.start(args, cwd=folder)
        self.holds = 0

    def lines(self):
        return self.desktop.output(self.proc).splitlines()

    def value(self, key):
        """The last KEY=VALUE the program printed for `key`."""
        values = [line.split("=", 1)[1] for line in self.lines() if line.startswith(key + "=")]
        return values[-1] if values else None

    def hold(self, path):
        """Waits for the next hold, takes a screenshot, releases the program;
        returns the status window's client area as an image."""
        self.holds += 1
        assert wait_for(lambda: self.lines().count("held") >= self.holds, timeout=30), self.lines()
        status = int(self.value("status"))
        left, top = map(int, self.desktop.info(status)["origin"].split(","))
        self.desktop.screenshot(path)
        (self.folder / "release").write_bytes(b"")
        assert wait_for(lambda: not (self.folder / "release").exists(), timeout=30)
        with Image.open(path) as image:
            return image.convert("RGB").crop((left, top, left + 270, top + 128))


def crop(client, box):
    return client.crop(box).tobytes()


def assert_bar(client, percent):
    """Filled from 13 to the edge, empty from just after it to 253 (row 32,
    above the percentage text; the edge column belongs to neither)."""
    edge = bar_right(percent)
    row = [client.getpixel((x, 32)) for x in range(13, 254)]
    assert row[:edge - 13] == [LIGHT] * (edge - 13), f"filled part at {percent}%"
    assert row[edge - 12:] == [WHITE] * (253 - edge), f"empty part at {percent}%"


@pytest.fixture(params=["virtual desktop", "no virtual desktop"])
def screen(request):
    """(desktop, app folder) with and without Wine's virtual desktop."""
    if request.param == "virtual desktop":
        return request.getfixturevalue("desktop"), request.getfixturevalue("app_dir")
    return request.getfixturevalue("bare_desktop"), request.getfixturevalue("bare_app_dir")


def test_status_window_is_on_screen_when_its_owner_is_an_icon(screen, tmp_path):
    desktop, folder = screen
    script = Script(desktop, folder, "show=Saving - Cap1.bmp", "progress=0", "progress=50", "pump", "state", "hold",
                    iconic=True)
    client = script.hold(tmp_path / "iconic.png")
    assert script.value("visible") == "1"
    left, top, right, bottom = map(int, script.value("rect").split(","))
    assert (right - left, bottom - top) == (270, 128)
    assert 0 <= left and right <= 1024 and 0 <= top and bottom <= 768, "wholly on the 1024x768 screen"
    assert_bar(client, 50)  # seen where it is reported


T1, T2 = "Converting to Black and White", "Saving - Cap1.bmp"


def test_every_showing_displays_its_own_text_and_an_empty_bar(desktop, app_dir, tmp_path):
    script = Script(
        desktop, app_dir,
        # The first showing, as a reference.
        f"show={T2}", "hold",
        # A conversion runs to its end; the save's showing follows at once.
        "hide", "pump", f"show={T1}", "progress=0", "pump", "progress=100", "pump", "hide",
        f"show={T2}", "progress=0", "hold",
        # The same with the queue drained between hiding and showing.
        "progress=100", "pump", "hide", "pump", f"show={T1}", "hold",
        # The text changes while shown, with the text repaint message.
        "progress=40", "pump", f"text={T2}", "hold",
        # While hidden, the owner's showing its pop-ups leaves it hidden.
        "popups=0", "pump", "hide", "pump", "popups=1", "pump", "state")
    first = script.hold(tmp_path / "first.png")
    assert_bar(first, 0)
    again = script.hold(tmp_path / "again.png")
    assert crop(again, TEXT_LINE) == crop(first, TEXT_LINE), "the save's text, not the conversion's"
    assert crop(again, BAR) == crop(first, BAR), "an empty bar, not the conversion's full one"

    drained = script.hold(tmp_path / "drained.png")
    assert crop(drained, BAR) == crop(first, BAR)
    line = drained.crop(TEXT_LINE)
    assert line.getpixel((1, 1)) == LIGHT and line.getpixel((250, 20)) == LIGHT, "the text line is painted"
    assert crop(drained, TEXT_LINE) != crop(first, TEXT_LINE), "with the conversion's text"
    assert any(sum(line.getpixel((x, y))) < 200 for x in range(252) for y in range(23))

    changed = script.hold(tmp_path / "changed.png")
    assert crop(changed, TEXT_LINE) == crop(first, TEXT_LINE), "the text repaint message drew the new text"
    assert_bar(changed, 40)

    assert wait_for(lambda: script.value("visible") is not None, timeout=30)
    assert script.value("visible") == "0", "WM_SHOWWINDOW while hidden is swallowed"
