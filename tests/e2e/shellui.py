"""Driving the program's dialogs, Help and viewer from outside, as a user
does: system commands posted to the main window, clicks and keys with
xdotool, control states read back with the helper, screenshots of a window."""
import subprocess
import time
from collections import namedtuple

from PIL import Image

from conftest import ROOT, wait_for

SCREENS = ROOT / "build" / "e2e-screens"

CAPTURE_SETUP, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE = 0xF121, 0xF000, 0xF020, 0xF030
WM_CLOSE, WM_COMMAND = 0x10, 0x111
BS_TYPEMASK, BS_GROUPBOX = 0xF, 0x7

Control = namedtuple("Control", "id cls visible enabled check rect style text")


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def write_ini(folder, **keys):
    text = "[Pictrap]\r\n" + "".join(f"{k}={v}\r\n" for k, v in keys.items())
    (folder / "SHOTBOX.INI").write_bytes(text.encode("ascii"))


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


def xdotool(desktop, *args):
    subprocess.run(["xdotool"] + [str(a) for a in args], env=desktop.env, check=True, timeout=30)


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


def click_rect(desktop, rect, button=1, repeat=1):
    left, top, right, bottom = rect
    xdotool(desktop, "mousemove", (left + right) // 2, (top + bottom) // 2)
    xdotool(desktop, "click", "--repeat", repeat, "--delay", 80, button)


def click(desktop, dialog, control_id):
    control = by_id(controls(desktop, dialog))[control_id]
    assert control.visible and control.enabled, f"control {control_id} cannot be clicked: {control}"
    click_rect(desktop, control.rect)


def find_window(desktop, title, cls="#32770", timeout_ms=15000):
    hwnd = desktop.find(title, cls, timeout_ms)
    assert hwnd, f"no window {title!r} of class {cls}"
    return hwnd


def window_rect(desktop, hwnd):
    return tuple(map(int, desktop.info(hwnd)["rect"].split(",")))


def client_rect(desktop, hwnd):
    """The client area in screen coordinates."""
    info = desktop.info(hwnd)
    x, y = map(int, info["origin"].split(","))
    w, h = map(int, info["client"].split(","))
    return (x, y, x + w, y + h)


def screenshot(desktop, path):
    desktop.screenshot(path)
    with Image.open(path) as im:
        return im.convert("RGB")


def window_shot(desktop, hwnd, name):
    """A picture of one window in build/e2e-screens/, for the README."""
    SCREENS.mkdir(parents=True, exist_ok=True)
    path = SCREENS / f"{name}.png"
    time.sleep(0.3)  # let the last click's repaint land
    image = screenshot(desktop, path)
    image.crop(window_rect(desktop, hwnd)).save(path)
    return path


def dialog_units_in_pixels(desktop, cx, cy, face="Helv", points=8):
    rc, out = desktop.wintest("dialogsize", face, str(points), str(cx), str(cy))
    assert rc == 0
    values = dict(line.split("=", 1) for line in out.splitlines())
    return tuple(map(int, values["mapped"].split(",")))


def assert_tidy_layout(desktop, dialog, ctrls):
    """Every visible control lies inside the client area and no two overlap,
    apart from a group box around the controls it groups."""
    left, top, right, bottom = client_rect(desktop, dialog)
    shown = [c for c in ctrls if c.visible]
    for c in shown:
        l, t, r, b = c.rect
        assert left <= l < r <= right and top <= t < b <= bottom, f"{c} leaves the dialog"
    plain = [c for c in shown if not (c.cls == "Button" and c.style & BS_TYPEMASK == BS_GROUPBOX)]
    for i, a in enumerate(plain):
        for b in plain[i + 1:]:
            apart = (a.rect[2] <= b.rect[0] or b.rect[2] <= a.rect[0] or
                     a.rect[3] <= b.rect[1] or b.rect[3] <= a.rect[1])
            assert apart, f"{a.text or a.id!r} and {b.text or b.id!r} overlap"


def wait_gone(desktop, hwnd, timeout_ms=10000):
    return desktop.wintest("gone", str(hwnd), str(timeout_ms))[0] == 0


def wait_enabled(desktop, hwnd, enabled, timeout=10):
    want = "1" if enabled else "0"
    return wait_for(lambda: desktop.info(hwnd)["enabled"] == want, timeout=timeout)


class StandIn:
    """The shell test program's stand-in main window, whose system commands
    run the dialogs, Help and the viewer, and whose WM_USER+1 replaces the
    last capture with a new test picture as the capture pipeline does."""

    def __init__(self, desktop, folder, image=None, bmp=None):
        self.desktop = desktop
        args = [folder / "shelltest.exe", "ui"]
        if image:
            args += [*image, windows_path(bmp) if bmp else ""]
        self.proc = desktop.start(args, cwd=folder)
        self.main = find_window(desktop, "Pictrap shell test", "PictrapShellTest")

    def command(self, command):
        assert self.desktop.wintest("syscommand", str(self.main), str(command))[0] == 0

    def capture_request(self):
        assert self.desktop.wintest("post", str(self.main), str(0x401))[0] == 0

    def close(self):
        """Ends the program; returns what it printed, as KEY=VALUE pairs."""
        self.desktop.wintest("post", str(self.main), str(WM_CLOSE))
        assert self.proc.wait(timeout=30) == 0
        out = self.desktop.output(self.proc)
        self.events = [line for line in out.splitlines() if line.split("=")[0] in
                       ("setup", "viewer", "about", "capture")]
        return dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
