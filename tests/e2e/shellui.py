"""Driving the program's dialogs, Help and viewer from outside, as a user
does: system-menu commands posted to the real main window, clicks and keys
with xdotool, control states read back with the helper, screenshots of a
window."""
import shutil
import time
from collections import namedtuple

from PIL import Image

from conftest import BIN, ROOT, wait_for
from pictrap import WM_CLOSE, client_rect, start_pictrap, window_rect, windows_path, xdotool

SCREENS = ROOT / "build" / "e2e-screens"

CAPTURE_SETUP, VIEW_LAST_CAPTURE, HELP, ABOUT = 0xF121, 0xF000, 0xF020, 0xF030
BS_TYPEMASK, BS_GROUPBOX = 0xF, 0x7

Control = namedtuple("Control", "id cls visible enabled check rect style text")


def read_ini(folder):
    path = folder / "SHOTBOX.INI"
    if not path.exists():
        return {}
    keys = {}
    for line in path.read_text("ascii").splitlines():
        if "=" in line:
            k, v = line.split("=", 1)
            keys[k.strip()] = v.strip()
    return keys


def controls(desktop, hwnd):
    """Every control of a window, in creation order."""
    rc, out = desktop.wintest("controls", str(hwnd))
    assert rc == 0, f"window {hwnd} is gone"
    result = []
    for line in out.splitlines():
        cid, cls, visible, enabled, check, rect, style, text = line.split("\t", 7)
        cid = int(cid)
        result.append(Control(cid - 65536 if cid > 32767 else cid, cls, visible == "1", enabled == "1",
                              int(check), tuple(map(int, rect.split(","))), int(style, 16), text))
    return result


def by_id(ctrls):
    return {c.id: c for c in ctrls if c.id > 0}


def is_group_box(c):
    return c.cls == "Button" and c.style & BS_TYPEMASK == BS_GROUPBOX


def state(ctrls, cid):
    """"E" or "D" for enabled or disabled, then for a check box or radio
    button "x" when checked and "-" when not."""
    c = ctrls[cid]
    checkable = c.cls == "Button" and c.style & BS_TYPEMASK not in (0, 1)  # not a push button
    return ("E" if c.enabled else "D") + ({1: "x", 0: "-"}[c.check] if checkable else "")


def click_rect(desktop, rect, button=1, repeat=1):
    left, top, right, bottom = rect
    xdotool(desktop, "mousemove", (left + right) // 2, (top + bottom) // 2)
    xdotool(desktop, "click", "--repeat", repeat, "--delay", 80, button)


def click(desktop, dialog, control_id):
    control = by_id(controls(desktop, dialog))[control_id]
    assert control.visible and control.enabled, f"control {control_id} cannot be clicked: {control}"
    click_rect(desktop, control.rect)


def clear_and_type(desktop, text):
    xdotool(desktop, "key", "End", "shift+Home", "BackSpace")
    xdotool(desktop, "type", text)


def find_window(desktop, title, cls="#32770", timeout_ms=15000):
    hwnd = desktop.find(title, cls, timeout_ms)
    assert hwnd, f"no window {title!r} of class {cls}"
    return hwnd


def gone(desktop, hwnd, timeout_ms=15000):
    return desktop.wintest("gone", str(hwnd), str(timeout_ms))[0] == 0


def screenshot(desktop, path):
    desktop.screenshot(path)
    with Image.open(path) as im:
        return im.convert("RGB")


def window_shot(desktop, hwnd, name):
    """A picture of one window in build/e2e-screens/, for the README."""
    SCREENS.mkdir(parents=True, exist_ok=True)
    path = SCREENS / f"{name}.png"
    time.sleep(0.3)  # let the last click's repaint land
    screenshot(desktop, path).crop(window_rect(desktop, hwnd)).save(path)
    return path


def dialog_units_in_pixels(desktop, cx, cy, face="Helv", points=8):
    rc, out = desktop.wintest("dialogsize", face, str(points), str(cx), str(cy))
    assert rc == 0
    values = dict(line.split("=", 1) for line in out.splitlines())
    return tuple(map(int, values["mapped"].split(",")))


def client_size(desktop, hwnd):
    left, top, right, bottom = client_rect(desktop, hwnd)
    return right - left, bottom - top


def assert_tidy_layout(desktop, dialog, ctrls):
    """The dialog lies on the screen; every visible control lies inside its
    client area and no two overlap, apart from a group box around the
    controls it groups."""
    left, top, right, bottom = window_rect(desktop, dialog)
    assert 0 <= left and 0 <= top and right <= 1024 and bottom <= 768, "the dialog leaves the screen"
    left, top, right, bottom = client_rect(desktop, dialog)
    shown = [c for c in ctrls if c.visible]
    for c in shown:
        l, t, r, b = c.rect
        assert left <= l < r <= right and top <= t < b <= bottom, f"{c} leaves the dialog"
    plain = [c for c in shown if not is_group_box(c)]
    for i, a in enumerate(plain):
        for b in plain[i + 1:]:
            apart = (a.rect[2] <= b.rect[0] or b.rect[2] <= a.rect[0] or
                     a.rect[3] <= b.rect[1] or b.rect[3] <= a.rect[1])
            assert apart, f"{a.text or a.id!r} and {b.text or b.id!r} overlap"


def wait_enabled(desktop, hwnd, enabled, timeout=10):
    want = "1" if enabled else "0"
    return wait_for(lambda: desktop.info(hwnd)["enabled"] == want, timeout=timeout)


class Pictrap:
    """The real program, started from `folder`, driven through its main
    window's system-menu commands."""

    def __init__(self, desktop, folder):
        self.desktop = desktop
        self.folder = folder
        self.proc, self.main = start_pictrap(desktop, folder)

    def command(self, command):
        assert self.desktop.wintest("syscommand", str(self.main), str(command))[0] == 0

    def dialog(self, command, title):
        self.command(command)
        return find_window(self.desktop, title)

    def close(self):
        self.desktop.wintest("post", str(self.main), str(WM_CLOSE))
        assert self.proc.wait(timeout=30) == 0


class StandIn:
    """The shell test program's stand-in main window, for the viewer cases a
    real capture cannot make: a picture larger than the screen, or one whose
    palette the display does not hold. Its View Last Capture command opens
    the viewer on a W x H test picture (8 or 24 bits, also written to `bmp`)
    and its capture request replaces the picture as the pipeline does."""

    def __init__(self, desktop, folder, image, bmp):
        shutil.copy2(BIN / "shelltest.exe", folder / "shelltest.exe")
        self.desktop = desktop
        self.proc = desktop.start([folder / "shelltest.exe", "viewer", *image, windows_path(bmp)], cwd=folder)
        self.main = find_window(desktop, "Pictrap shell test", "PictrapShellTest")

    def command(self, command):
        assert self.desktop.wintest("syscommand", str(self.main), str(command))[0] == 0

    def close(self):
        self.desktop.wintest("post", str(self.main), str(WM_CLOSE))
        assert self.proc.wait(timeout=30) == 0
