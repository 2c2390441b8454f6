"""The selection trackers with the real program, the mouse driven by xdotool:
Area spanned every way with its live size readout, Object picking a
dialog's button and never a hidden child, Defined Size left in place and
pushed past the edge, and Esc abandoning each of them. Every capture is
compared with the same rectangle of an independent grab taken before the
selection, and the screen must be exactly as before once it ends."""
import re
import time

from PIL import Image, ImageChops

from conftest import BIN, wait_for
from pictrap import (boxes, cursor_count, hotkey, screen, start_pattern, start_pictrap, wait_file, wait_output,
                     window_rect, windows_path, write_ini, xdotool)

PRESS_GAP = 0.15  # between xdotool actions, so that each reaches a hook on its own


def hook_state(desktop, folder):
    """SBHOOK32's shared state, read through the program's own copy of the library."""
    rc, out = desktop.wintest("hookstate", windows_path(folder / "SBHOOK32.DLL"))
    assert rc == 0, out
    return dict(line.split("=", 1) for line in out.splitlines() if "=" in line)


def wait_state(desktop, folder, **wanted):
    """Waits until every named variable has its value (as the helper prints it)."""
    found = wait_for(lambda: (lambda s: s if all(s[k] == str(v) for k, v in wanted.items()) else None)(
        hook_state(desktop, folder)), timeout=10, interval=0.05)
    assert found, f"{wanted} never held: {hook_state(desktop, folder)}"
    return found


def start_selection(desktop, folder):
    hotkey(desktop)
    wait_for(lambda: hook_state(desktop, folder)["TrackerHookHandle"] != "0", timeout=10, interval=0.05)
    state = hook_state(desktop, folder)
    assert state["TrackerHookHandle"] != "0" and state["Busy"] == "1", state
    time.sleep(0.2)  # the first feedback is on the screen


def escape(desktop):
    """Esc through SendInput, which goes to the foreground window: activating
    windows from another process, as `steady` does, can leave Wine's X focus
    behind, and xdotool's keys would follow it."""
    assert desktop.wintest("keys", "esc")[0] == 0


def move(desktop, x, y):
    xdotool(desktop, "mousemove", x, y)
    time.sleep(PRESS_GAP)


def click(desktop, x=None, y=None):
    if x is not None:
        move(desktop, x, y)
    xdotool(desktop, "click", 1)
    time.sleep(PRESS_GAP)


def changed(now, base):
    """{(x, y)} where two screens differ, found inside the bounding box of the change."""
    box = ImageChops.difference(now, base).getbbox()
    if box is None:
        return set()
    a, b = now.crop(box).load(), base.crop(box).load()
    return {(box[0] + x, box[1] + y) for y in range(box[3] - box[1]) for x in range(box[2] - box[0])
            if a[x, y] != b[x, y]}


def assert_inverted(now, base, pixels):
    a, b = now.load(), base.load()
    wrong = [p for p in pixels if a[p] != tuple(255 - v for v in b[p])]
    assert not wrong, f"{len(wrong)} pixels changed without being inverted, e.g. {wrong[:5]}"


def outline(x1, y1, x2, y2):
    xs, ys = sorted((x1, x2)), sorted((y1, y2))
    return ({(x, y) for x in range(xs[0], xs[1] + 1) for y in (ys[0], ys[1])}
            | {(x, y) for y in range(ys[0], ys[1] + 1) for x in (xs[0], xs[1])})


def frame(left, top, right, bottom):
    """The pixels within 3 of a window rectangle's edge."""
    return {(x, y) for y in range(top, bottom) for x in range(left, right)
            if min(x - left, right - 1 - x, y - top, bottom - 1 - y) < 3}


def toward_zero(n, d):
    return -((-n) // d) if n < 0 else n // d


def readout_pixels(desktop, a, b):
    """The glyph pixels of the band's "WxH", placed by the centring rule."""
    text = f"{abs(b[0] - a[0]) + 1}x{abs(b[1] - a[1]) + 1}"
    rc, out = desktop.wintest("textmask", text)
    assert rc == 0
    lines = out.split("\n")
    cx, cy = map(int, lines[0].split())
    rows = lines[1:1 + cy]
    left = a[0] + toward_zero(b[0] - a[0] - cx, 2) if b[0] > a[0] else b[0] + toward_zero(a[0] - b[0] - cx, 2)
    top = a[1] + toward_zero(b[1] - a[1] - cy, 2)
    glyphs = {(left + x, top + y) for y, row in enumerate(rows) for x, bit in enumerate(row) if bit == "1"}
    assert glyphs, f"no glyphs for {text}"
    return glyphs


def capture(path):
    image = Image.open(path)
    image.load()
    return image.convert("RGB")


def start_windows(desktop):
    """A full-screen pattern under a dialog that has the focus; returns
    (pattern process, dialog process, dialog, its button, its hidden button)."""
    pattern_proc, pattern = start_pattern(desktop, 0, 0, 1024, 744, popup=True)
    pattern_proc.hwnd = pattern
    dialog_proc = desktop.start([BIN / "wintest.exe", "dialog", "600", "400"])
    out = wait_output(desktop, dialog_proc, "hidden=")
    dialog, button, hidden = map(int, re.search(r"hwnd=(\d+) button=(\d+) hidden=(\d+)", out).groups())
    desktop.wintest("visible", str(dialog), "5000")
    time.sleep(0.3)
    return pattern_proc, dialog_proc, dialog, button, hidden


def steady(desktop, hwnd, dialog):
    """Wine draws the caption of a window activated from another program as
    inactive until the activation moves away and back; this settles it."""
    desktop.wintest("activate", str(hwnd))
    desktop.wintest("activate", str(dialog))
    time.sleep(0.4)


def cursor_counts(desktop, *windows):
    """The cursor display counts of the threads the trackers ran in."""
    return [cursor_count(desktop, w) for w in windows]


def commands(desktop, dialog_proc):
    return re.findall(r"command=(\d+)", desktop.output(dialog_proc))


def test_area_every_direction_readout_and_esc(desktop, app_dir):
    write_ini(app_dir, Mode=0, IncludeCursor=1, CapFormat=1)
    pattern_proc, dialog_proc, dialog, button, _ = start_windows(desktop)
    _proc, hwnd = start_pictrap(desktop, app_dir)
    steady(desktop, hwnd, dialog)
    move(desktop, 20, 20)
    base = screen(desktop)
    shown = cursor_counts(desktop, pattern_proc.hwnd, dialog)
    made = []

    def finish(rect):
        path = app_dir / f"cap{len(made) + 1}.bmp"
        made.append(path)
        assert wait_file(path), f"no {path.name}"
        time.sleep(0.3)
        assert changed(screen(desktop), base) == set(), "the screen is exactly as before"
        image = capture(path)
        assert image.size == (rect[2] - rect[0], rect[3] - rect[1])
        assert changed(image, base.crop(rect)) == set(), f"{path.name} is the screen's {rect}, no pointer"
        return image

    def band_shown(a, b):
        time.sleep(0.2)
        now = screen(desktop)
        glyphs = readout_pixels(desktop, a, b)
        # The readout may stick out of a narrow band, past the screen's edge.
        shown = {(x, y) for x, y in outline(*a, *b) ^ glyphs if 0 <= x < now.width and 0 <= y < now.height}
        assert changed(now, base) == shown, "the outline and the readout, nothing else"
        assert_inverted(now, base, shown)

    def span(a, b, rect, readout=False):
        start_selection(desktop, app_dir)
        click(desktop, *a)
        move(desktop, *b)
        wait_state(desktop, app_dir, Tracking=1, Current=f"{b[0]},{b[1]}")
        if readout:
            band_shown(a, b)
        click(desktop)
        return finish(rect)

    # Every direction gives the same image; the readout is the captured size.
    rect = (100, 100, 300, 200)
    first = span((100, 100), (299, 199), rect, readout=True)
    for a, b in (((299, 199), (100, 100)), ((299, 100), (100, 199)), ((100, 199), (299, 100))):
        image = span(a, b, rect, readout=a == (299, 199))
        assert changed(image, first) == set()

    # Both releases at one point, as a double click over the dialog's button:
    # 1x1, and the button never hears of it.
    bl, bt, br, bb = window_rect(desktop, button)
    start_selection(desktop, app_dir)
    move(desktop, bl + 30, bt + 20)
    xdotool(desktop, "click", "--repeat", 2, "--delay", 120, 1)
    finish((bl + 30, bt + 20, bl + 31, bt + 21))

    span((500, 300), (499, 300), (499, 300, 501, 301))     # one pixel to the left: 2x1
    # The last column is captured; the band ends on the bare desktop beside
    # the icon, where the desktop's own thread draws it.
    span((1000, 700), (1023, 760), (1000, 700, 1024, 761), readout=True)

    # Press and drag: the release sets the first corner; a second one ends it.
    # A band one pixel high shows its whole line.
    start_selection(desktop, app_dir)
    move(desktop, 200, 300)
    xdotool(desktop, "mousedown", 1)
    move(desktop, 400, 350)
    xdotool(desktop, "mouseup", 1)
    wait_state(desktop, app_dir, Tracking=1, Anchor="400,350")
    time.sleep(0.3)
    assert hook_state(desktop, app_dir)["SelectionDone"] == "0", "still selecting"
    move(desktop, 450, 350)
    wait_state(desktop, app_dir, Current="450,350")
    band_shown((400, 350), (450, 350))
    click(desktop)
    finish((400, 350, 451, 351))
    assert "lbuttondown" not in desktop.output(pattern_proc), "every press was swallowed"
    assert commands(desktop, dialog_proc) == []

    # Esc with the band up: erased, tracker removed, nothing grabbed, no box.
    start_selection(desktop, app_dir)
    click(desktop, 300, 300)
    move(desktop, 400, 380)
    wait_state(desktop, app_dir, Current="400,380")
    assert changed(screen(desktop), base), "the band is up"
    escape(desktop)
    state = wait_state(desktop, app_dir, Busy=0, TrackerHookHandle=0)
    assert (state["SelectionCancelled"], state["Tracking"]) == ("1", "0")
    time.sleep(0.3)
    assert changed(screen(desktop), base) == set()
    assert boxes(desktop, 500) == (None, None), "a cancelled selection is no error"
    assert not (app_dir / f"cap{len(made) + 1}.bmp").exists()
    assert commands(desktop, dialog_proc) == [], "the Esc went no further"
    assert cursor_counts(desktop, pattern_proc.hwnd, dialog) == shown, "the applications can hide their pointer again"
    # Outside a selection clicks and Esc reach the application again.
    click(desktop, bl + 30, bt + 20)
    escape(desktop)
    assert wait_for(lambda: commands(desktop, dialog_proc) == ["100", "2"], timeout=5), commands(desktop, dialog_proc)
    # The following hot key captures as usual, and the keyboard stays with the
    # application through the selection and the save: a key pressed now, as
    # the user presses it, reaches it.
    base = screen(desktop)
    span((120, 110), (200, 150), (120, 110, 201, 151))
    xdotool(desktop, "key", "Escape")
    assert wait_for(lambda: commands(desktop, dialog_proc) == ["100", "2", "2"], timeout=5), \
        commands(desktop, dialog_proc)


def test_object_frames_the_control_not_its_parent_and_esc(desktop, app_dir):
    write_ini(app_dir, Mode=4, IncludeCursor=0, CapFormat=1)
    pattern_proc, dialog_proc, dialog, button, hidden = start_windows(desktop)
    _proc, hwnd = start_pictrap(desktop, app_dir)
    steady(desktop, hwnd, dialog)
    button_rect, dialog_rect, hidden_rect = (window_rect(desktop, w) for w in (button, dialog, hidden))
    move(desktop, button_rect[0] + 10, button_rect[1] + 10)
    base = screen(desktop)

    def framed(rect):
        time.sleep(0.2)
        now = screen(desktop)
        assert changed(now, base) == frame(*rect)
        assert_inverted(now, base, frame(*rect))
        return now

    # Installed over the button: the button is framed, not the dialog.
    start_selection(desktop, app_dir)
    assert hook_state(desktop, app_dir)["PickedWindow"] == str(button)
    first = framed(button_rect)
    for n, (dx, dy) in enumerate(((30, 12), (60, 20), (90, 25), (100, 30))):
        move(desktop, button_rect[0] + dx, button_rect[1] + dy)
        if n in (2, 3):  # after an odd and an even number of moves within it
            assert changed(screen(desktop), first) == set(), "moving within one window leaves the frame"
    # Over the hidden button: its parent.
    move(desktop, hidden_rect[0] + 20, hidden_rect[1] + 20)
    wait_state(desktop, app_dir, PickedWindow=dialog)
    framed(dialog_rect)
    # Onto another program's window: that program's thread moves the frame.
    move(desktop, 300, 200)
    wait_state(desktop, app_dir, PickedWindow=pattern_proc.hwnd)
    framed((0, 0, 1024, 744))
    # Onto the bare desktop, beside the icon: the desktop's own thread draws
    # its frame along the screen's edges, over the windows too.
    move(desktop, 600, 760)
    assert wait_for(lambda: hook_state(desktop, app_dir)["PickedWindow"] != str(pattern_proc.hwnd), timeout=10)
    assert window_rect(desktop, int(hook_state(desktop, app_dir)["PickedWindow"])) == (0, 0, 1024, 768)
    framed((0, 0, 1024, 768))
    move(desktop, 300, 200)
    wait_state(desktop, app_dir, PickedWindow=pattern_proc.hwnd)
    framed((0, 0, 1024, 744))
    move(desktop, button_rect[0] + 20, button_rect[1] + 20)
    wait_state(desktop, app_dir, PickedWindow=button)
    framed(button_rect)
    click(desktop)
    assert wait_file(app_dir / "cap1.bmp")
    time.sleep(0.3)
    assert changed(screen(desktop), base) == set(), "the frame is gone"
    image = capture(app_dir / "cap1.bmp")
    assert changed(image, base.crop(button_rect)) == set(), "the button as it was"
    assert commands(desktop, dialog_proc) == [], "the press was swallowed"

    # Esc with the frame up.
    steady(desktop, hwnd, dialog)
    base = screen(desktop)
    start_selection(desktop, app_dir)
    framed(button_rect)
    escape(desktop)
    state = wait_state(desktop, app_dir, Busy=0, TrackerHookHandle=0)
    assert state["SelectionCancelled"] == "1"
    time.sleep(0.3)
    assert changed(screen(desktop), base) == set()
    assert boxes(desktop, 500) == (None, None)
    assert not (app_dir / "cap2.bmp").exists()
    escape(desktop)
    assert wait_for(lambda: commands(desktop, dialog_proc) == ["2"], timeout=5), "only the Esc outside arrives"

    # The next hot key picks the dialog itself, frame and caption included.
    move(desktop, dialog_rect[0] + 200, dialog_rect[1] + 150)
    base = screen(desktop)
    start_selection(desktop, app_dir)
    framed(dialog_rect)
    click(desktop)
    assert wait_file(app_dir / "cap2.bmp")
    assert changed(capture(app_dir / "cap2.bmp"), base.crop(dialog_rect)) == set()


def test_defined_size_in_place_past_the_edge_and_esc(desktop, app_dir):
    write_ini(app_dir, Mode=5, IncludeCursor=1, SizeWd=200, SizeHt=100, CapFormat=1)
    pattern_proc, _dialog_proc, dialog, _b, _h = start_windows(desktop)
    _proc, hwnd = start_pictrap(desktop, app_dir)
    steady(desktop, hwnd, dialog)
    # Where the program puts the pointer: Wine refuses to warp the X pointer
    # while another client holds a grab, and the box then centres itself on
    # the pointer at its first move, wherever that is.
    move(desktop, 100, 50)
    base = screen(desktop)
    shown = cursor_counts(desktop, pattern_proc.hwnd, dialog)

    # The box starts at the top left with the pointer at its centre.
    start_selection(desktop, app_dir)
    now = screen(desktop)
    assert changed(now, base) == outline(0, 0, 199, 99)
    assert_inverted(now, base, outline(0, 0, 199, 99))
    click(desktop)  # where it starts
    assert wait_file(app_dir / "cap1.bmp")
    assert hook_state(desktop, app_dir)["CaptureRect"] == "0,0,200,100"
    time.sleep(0.3)
    assert changed(screen(desktop), base) == set()
    image = capture(app_dir / "cap1.bmp")
    assert image.size == (200, 100)
    assert changed(image, base.crop((0, 0, 200, 100))) == set(), "the pointer at its centre is not drawn"

    # Pushed past the right edge: clipped there.
    start_selection(desktop, app_dir)
    move(desktop, 1000, 300)
    wait_state(desktop, app_dir, CaptureRect="900,250,1099,349")
    time.sleep(0.2)
    assert changed(screen(desktop), base) == {p for p in outline(900, 250, 1099, 349) if p[0] < 1024}
    click(desktop)
    assert wait_file(app_dir / "cap2.bmp")
    assert hook_state(desktop, app_dir)["CaptureRect"] == "900,250,1100,350"
    time.sleep(0.3)
    assert changed(screen(desktop), base) == set()
    image = capture(app_dir / "cap2.bmp")
    assert image.size == (124, 100)
    assert changed(image, base.crop((900, 250, 1024, 350))) == set()

    # Esc with the box moved onto the bare desktop below the windows: erased,
    # nothing grabbed, no box.
    start_selection(desktop, app_dir)
    move(desktop, 400, 760)
    wait_state(desktop, app_dir, CaptureRect="300,710,499,809")
    time.sleep(0.2)
    assert changed(screen(desktop), base) == {p for p in outline(300, 710, 499, 809) if p[1] < 768}
    escape(desktop)
    wait_state(desktop, app_dir, Busy=0, TrackerHookHandle=0, SelectionCancelled=1)
    time.sleep(0.3)
    assert changed(screen(desktop), base) == set()
    assert boxes(desktop, 500) == (None, None)
    assert not (app_dir / "cap3.bmp").exists()
    assert "lbuttondown" not in desktop.output(pattern_proc)
    assert cursor_counts(desktop, pattern_proc.hwnd, dialog) == shown
    start_selection(desktop, app_dir)
    click(desktop)
    assert wait_file(app_dir / "cap3.bmp"), "the next hot key captures as usual"
    assert capture(app_dir / "cap3.bmp").size == (200, 100)
