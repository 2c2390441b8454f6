"""Driving the real program in the test desktop: settings, start, the hot
key, the windows of ours the captures are checked against, and reading
captures and the screen back."""
import io
import re
import shutil
import subprocess
import time
from pathlib import Path

from PIL import Image

from winedesktop import BIN, ROOT

WM_COMMAND = 0x111
WM_CLOSE = 0x10
IDOK, IDYES, IDNO = 1, 6, 7
CAPTURE_REQUEST = 0x401
# The icon's bar at the bottom left: in an independent grab of the screen, not
# in a Full Screen capture (hidden for it, what lay beneath repainted).
ICON_BAR = (0, 744, 160, 768)


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def write_ini(folder, **keys):
    text = "[Pictrap]\r\n" + "".join(f"{k}={v}\r\n" for k, v in keys.items())
    (folder / "SHOTBOX.INI").write_bytes(text.encode("ascii"))


def xdotool(desktop, *args):
    subprocess.run(["xdotool"] + [str(a) for a in args], env=desktop.env, check=True, timeout=30)


def lines(desktop, proc):
    return desktop.output(proc).splitlines()


def wait_output(desktop, proc, text, timeout=20.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        out = desktop.output(proc)
        if text in out:
            return out
        if proc.poll() is not None:
            break
        time.sleep(0.05)
    return desktop.output(proc)


def start_pictrap(desktop, folder, env=None):
    """Starts SHOTBOX from `folder` (its current directory too); returns (process, main window)."""
    proc = desktop.start([folder / "SHOTBOX.EXE"], cwd=folder, env=env)
    hwnd = desktop.find("Pictrap", "Pictrap", 15000)
    assert hwnd, "the main window never appeared"
    if desktop.virtual_desktop and not desktop.shell:
        hide_taskbar(desktop)
    return proc, hwnd


def hide_taskbar(desktop):
    """Wine 8.0 shows its taskbar once the program's notification icon is
    added, whatever the desktop's settings say; on a close request it hides
    itself, until an icon is added anew."""
    rc, out = desktop.wintest("find", "-", "Shell_TrayWnd", "5000")
    assert rc == 0, "no Shell_TrayWnd on a virtual desktop"
    tray = out.split()[0]
    desktop.wintest("visible", tray, "5000")
    desktop.wintest("post", tray, str(WM_CLOSE))
    for _ in range(50):
        if desktop.info(int(tray))["visible"] == "0":
            return
        time.sleep(0.1)
    raise AssertionError("Wine's taskbar stays")


def start_pattern(desktop, x, y, w, h, popup=False, folder=None, aware=False, layered=False, nocursor=False):
    """A window of ours with known contents; returns (process, hwnd). An
    `aware` one is per-monitor DPI aware: placed and painted in the display's
    own pixels at any display scaling."""
    args = ([BIN / "wintest.exe", "pattern", x, y, w, h] + ["popup"] * popup + ["aware"] * aware
            + ["layered"] * layered + ["nocursor"] * nocursor)
    proc = desktop.start(args, cwd=folder)
    out = wait_output(desktop, proc, "hwnd=")
    m = re.search(r"hwnd=(\d+)", out)
    assert m, f"the pattern window did not start: {out!r}"
    desktop.wintest("visible", m.group(1), "5000")
    time.sleep(0.3)  # its first paint
    return proc, int(m.group(1))


def pattern_colour(column, row):
    return (column * 32 + 16, row * 64 + 32, (column * 3 + row * 5) * 8 & 255)


def pattern_image(w, h):
    """What the pattern window paints into a client area of w x h."""
    im = Image.new("RGB", (w, h))
    px = im.load()
    for y in range(h):
        row = next(r for r in range(4) if h * r // 4 <= y < h * (r + 1) // 4)
        for x in range(w):
            column = next(c for c in range(8) if w * c // 8 <= x < w * (c + 1) // 8)
            px[x, y] = pattern_colour(column, row)
    return im


def hotkey(desktop, combo="ctrl+alt+F11"):
    """The default hot key through SendInput inside the desktop: this Xvfb
    keeps Ctrl+Alt+F-keys as console switches (its keymap cannot be changed),
    so from xdotool only their release would arrive."""
    rc, _ = desktop.wintest("keys", combo)
    assert rc == 0


def wait_file(path, timeout=15.0):
    """Waits until the file exists and its size has stopped changing."""
    deadline = time.monotonic() + timeout
    last = -1
    while time.monotonic() < deadline:
        if path.exists():
            size = path.stat().st_size
            if size == last and size > 0:
                return True
            last = size
        time.sleep(0.1)
    return path.exists()


def boxes(desktop, timeout_ms=10000):
    """The message boxes captioned Pictrap now up: [(hwnd, text)]."""
    deadline = time.monotonic() + timeout_ms / 1000
    while time.monotonic() < deadline:
        rc, out = desktop.wintest("find", "Pictrap", "#32770", "200")
        if rc == 0:
            hwnd = int(out.split()[0])
            texts = [t for (_i, cls, t) in desktop.texts(hwnd) if cls == "Static" and t]
            return hwnd, (texts[0] if texts else "")
    return None, None


def dismiss(desktop, hwnd, answer=IDOK):
    desktop.wintest("post", str(hwnd), str(WM_COMMAND), str(answer))
    desktop.wintest("gone", str(hwnd), "5000")


def screen(desktop):
    """The whole screen as an independent grab (ImageMagick's import)."""
    out = subprocess.run(["import", "-display", desktop.display, "-window", "root", "png:-"],
                         check=True, capture_output=True, timeout=30).stdout
    return Image.open(io.BytesIO(out)).convert("RGB")


def screen_while_hidden(desktop, hwnd, grab=screen):
    """The screen while the program's window is hidden, as for a Full Screen
    capture: where the icon lies, what lay beneath it (Wine's taskbar, once
    the program's notification icon is on it, without the program's button)."""
    desktop.wintest("show", str(hwnd), 0)  # SW_HIDE
    time.sleep(1)  # the repaint of what lay beneath, by other processes
    hidden = grab(desktop)
    desktop.wintest("show", str(hwnd), 8)  # SW_SHOWNA: as it was, an icon
    return hidden


def dib_image(path):
    """A packed DIB file (header, colour table, pixels) as an RGB image."""
    import struct
    dib = Path(path).read_bytes()
    bits, = struct.unpack("<H", dib[14:16])
    colours, = struct.unpack("<I", dib[32:36])
    if bits <= 8 and colours == 0:
        colours = 1 << bits
    offset = 14 + 40 + 4 * colours
    header = b"BM" + struct.pack("<IHHI", 14 + len(dib), 0, 0, offset)
    return Image.open(io.BytesIO(header + dib)).convert("RGB")


def gdi_screen(desktop, folder):
    """The whole screen as Wine's GDI reads it back at 24 bits, by another program."""
    path = folder / "gdi-screen.dib"
    assert desktop.wintest("grab", windows_path(path))[0] == 0
    return dib_image(path)


def differing(a, b, skip=None, tolerance=0):
    """Pixels where two RGB images of one size differ, outside `skip`."""
    assert a.size == b.size, (a.size, b.size)
    pa, pb = a.load(), b.load()
    out = []
    for y in range(a.size[1]):
        for x in range(a.size[0]):
            if skip and skip[0] <= x < skip[2] and skip[1] <= y < skip[3]:
                continue
            if max(abs(c - d) for c, d in zip(pa[x, y], pb[x, y])) > tolerance:
                out.append((x, y))
    return out


def bounding_box(points):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return (min(xs), min(ys), max(xs) + 1, max(ys) + 1)


def window_rect(desktop, hwnd):
    return tuple(map(int, desktop.info(hwnd)["rect"].split(",")))


def client_rect(desktop, hwnd):
    """The client area in screen coordinates."""
    info = desktop.info(hwnd)
    x, y = map(int, info["origin"].split(","))
    w, h = map(int, info["client"].split(","))
    return (x, y, x + w, y + h)


def unix_pid(proc):
    """The Linux process of a program started with wine (it execs in place)."""
    return proc.pid


def resident_kib(proc):
    status = Path(f"/proc/{unix_pid(proc)}/status").read_text()
    return int(re.search(r"VmRSS:\s+(\d+)", status).group(1))


def cpu_ticks(proc):
    """User and system time the program has used, in clock ticks (1/100 s)."""
    fields = Path(f"/proc/{unix_pid(proc)}/stat").read_text().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def gdi_objects(desktop, hwnd):
    rc, out = desktop.wintest("probe", str(hwnd), "gdi")
    assert rc == 0, out
    return int(re.search(r"gdi=(-?\d+)", out).group(1))


def cursor_count(desktop, hwnd):
    """The cursor display count of the thread that owns the window."""
    rc, out = desktop.wintest("probe", str(hwnd), "cursor")
    assert rc == 0, out
    return int(re.search(r"cursor=(-?\d+)", out).group(1))


def system_menu(desktop, hwnd):
    """[(identifier, state, text)] as WM_INITMENU leaves the system menu."""
    rc, out = desktop.wintest("probe", str(hwnd), "sysmenu")
    assert rc == 0, out
    return [tuple(line.split("\t")) for line in out.splitlines() if line]


def text_bands(image, left, top, right, bottom):
    """The dark, colourless pixels of each line of text in a menu's rectangle."""
    px = image.load()
    bands, inside = [], False
    for y in range(top + 2, bottom - 2):
        ink = [px[x, y] for x in range(left + 20, min(right - 40, left + 160))
               if sum(px[x, y]) < 600 and max(px[x, y]) - min(px[x, y]) < 16]
        if ink and not inside:
            bands.append([])
        inside = bool(ink)
        if ink:
            bands[-1].extend(ink)
    return bands


def menu_item_looks_enabled(desktop, index):
    """Opens the icon's real system menu and tells from its pixels whether
    item `index` (from 0; separators do not count) is drawn enabled (black
    text) or greyed. Closes the menu again."""
    xdotool(desktop, "mousemove", 40, 756, "click", 1)
    rc, out = desktop.wintest("find", "-", "#32768", "5000")
    assert rc == 0, "the system menu did not open"
    time.sleep(0.5)
    left, top, right, bottom = window_rect(desktop, int(out.split()[0]))
    # A loaded machine draws the menu late: read it until two looks agree.
    bands, previous = [], None
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        time.sleep(0.3)
        bands = text_bands(screen(desktop), left, top, right, bottom)
        if len(bands) > index and bands == previous:
            break
        previous = bands
    xdotool(desktop, "key", "Escape")
    assert len(bands) > index, f"the menu shows {len(bands)} items"
    return min(sum(p) for p in bands[index]) < 150


def copy_deliverables(folder, extra=()):
    for name in ("SHOTBOX.EXE", "SBHOOK32.DLL", "SBMSG32.DLL") + tuple(extra):
        shutil.copy2(BIN / name, folder / name)


__all__ = [n for n in dir() if not n.startswith("_")] + ["ROOT"]
