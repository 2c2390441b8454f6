"""Captures end to end with the real program: the hot key in another
application, each capture mode against a window of ours, the processing
chain and the clipboard, the system menu, one copy at a time, CTL3D32 present
and absent."""
import re
import time

from PIL import Image

from conftest import wait_for
from pictrap import (BIN, ICON_BAR, WM_CLOSE, bounding_box, boxes, client_rect, cpu_ticks, differing, dismiss, hotkey,
                     menu_item_looks_enabled, pattern_image, screen, screen_while_hidden, start_pattern, start_pictrap, system_menu,
                     wait_file, wait_output, window_rect, write_ini, xdotool)

CF_BITMAP, CF_DIB, CF_PALETTE = 2, 8, 9


def clipboard_formats(desktop):
    rc, out = desktop.wintest("clipboard")
    assert rc == 0
    return [int(f) for f in out.split()]


def test_first_run_hot_key_in_notepad_menu_and_one_copy(desktop, app_dir):
    """No SHOTBOX.INI: the first Ctrl+Alt+F11 in notepad writes cap1.png in
    the current directory, the whole screen as an independent grab sees it,
    and where the icon lies the capture shows what lies beneath it."""
    proc, hwnd = start_pictrap(desktop, app_dir)
    menu = system_menu(desktop, hwnd)
    assert [(i, t) for (i, _s, t, *_) in menu][:5] == [
        ("0xf121", "Cap&ture Setup"), ("0xf010", "&Printer Setup"), ("0xf000", "&View Last Capture"),
        ("0xf020", "&Help"), ("0xf030", "&About")]
    assert "0xf120" not in [m[0] for m in menu], "Restore is gone"
    assert "0xf060" in [m[0] for m in menu], "Close stays"
    states = {m[0]: m[1] for m in menu}
    assert (states["0xf000"], states["0xf010"], states["0xf020"]) == ("grayed", "enabled", "enabled")
    rc, modules = desktop.wintest("modules", desktop.info(hwnd)["pid"])
    assert "CTL3D32.DLL" in modules.upper().split()
    # The real menu as the system draws it for the icon.
    assert [menu_item_looks_enabled(desktop, i) for i in range(5)] == [True, True, False, True, True]
    # While it is open, the program waits like any other.
    xdotool(desktop, "mousemove", 40, 756, "click", 1)
    assert desktop.wintest("find", "-", "#32768", "5000")[0] == 0
    time.sleep(0.5)
    before = cpu_ticks(proc)
    time.sleep(3)
    spent = cpu_ticks(proc) - before
    xdotool(desktop, "key", "Escape")
    assert spent < 20, f"{spent / 100:.2f} s of processor time in 3 s with the menu open"

    desktop.start(["notepad"])
    notepad = desktop.find("-", "Notepad", 15000)
    assert notepad
    time.sleep(0.5)
    xdotool(desktop, "mousemove", 300, 200, "click", 1)
    xdotool(desktop, "type", "hello")
    assert desktop.info(notepad)["focus"] == "1"
    # Wine draws the caption of a window activated by a click as inactive
    # until the activation moves away and back; this makes the screen one
    # steady picture.
    desktop.wintest("activate", str(hwnd))
    desktop.wintest("activate", str(notepad))
    time.sleep(0.3)
    hotkey(desktop)
    assert wait_file(app_dir / "cap1.png"), sorted(p.name for p in app_dir.iterdir())
    assert wait_for(lambda: desktop.info(notepad)["focus"] == "1"), "the application gets the activation back"
    time.sleep(0.3)  # its caption repainted as active
    hidden = screen_while_hidden(desktop, hwnd)
    with Image.open(app_dir / "cap1.png") as cap:
        assert (cap.format, cap.mode, cap.size) == ("PNG", "RGB", (1024, 768))
        assert differing(cap.convert("RGB").crop(ICON_BAR), hidden.crop(ICON_BAR)) == [], \
            "the program's own icon is in the picture"
        diff = differing(cap.convert("RGB"), hidden)
    if diff:  # notepad's caret may have blinked between the two grabs
        x0, y0, x1, y1 = bounding_box(diff)
        assert x1 - x0 <= 2 and y1 - y0 <= 20 and 40 <= y0 <= 80, (x0, y0, x1, y1)
    assert not [p for p in app_dir.iterdir() if p.name.startswith("Cap")], "the whole path is lower case"
    assert boxes(desktop, 300) == (None, None), "nothing reported"
    # The keyboard went back with the activation: typing goes on where it was.
    xdotool(desktop, "type", "abc")
    assert wait_for(lambda: "helloabc" in desktop.wintest("controls", str(notepad))[1]), \
        desktop.wintest("controls", str(notepad))[1]
    assert desktop.info(hwnd)["iconic"] == "1"
    assert {m[0]: m[1] for m in system_menu(desktop, hwnd)}["0xf000"] == "enabled"
    assert menu_item_looks_enabled(desktop, 2), "View Last Capture once there is one"
    desktop.wintest("activate", str(notepad))

    # A second copy says so and leaves; the first still captures.
    second = desktop.start([app_dir / "SHOTBOX.EXE"], cwd=app_dir)
    box, text = boxes(desktop)
    assert text == "Only one copy of Pictrap may be run at a time."
    dismiss(desktop, box)
    assert second.wait(timeout=30) == 0
    xdotool(desktop, "mousemove", 300, 200, "click", 1)
    hotkey(desktop)
    assert wait_file(app_dir / "cap2.png")

    # Double-clicking the icon opens nothing.
    xdotool(desktop, "mousemove", 80, 756, "click", "--repeat", 2, "--delay", 80, 1)
    time.sleep(0.5)
    info = desktop.info(hwnd)
    assert (info["iconic"], info["rect"]) == ("1", "0,744,160,768")
    assert desktop.wintest("post", str(hwnd), str(WM_CLOSE))[0] == 0
    assert proc.wait(timeout=30) == 0


def test_runs_without_ctl3d32(desktop, app_dir):
    proc, hwnd = start_pictrap(desktop, app_dir, env={"WINEDLLOVERRIDES": "mscoree,mshtml=;ctl3d32="})
    rc, modules = desktop.wintest("modules", desktop.info(hwnd)["pid"])
    assert rc == 0 and "SBHOOK32.DLL" in modules.upper().split()
    assert "CTL3D32.DLL" not in modules.upper().split()
    start_pattern(desktop, 200, 150, 300, 200)
    hotkey(desktop)
    assert wait_file(app_dir / "cap1.png")
    desktop.wintest("post", str(hwnd), str(WM_CLOSE))
    assert proc.wait(timeout=30) == 0


def capture_with(desktop, folder, name="cap1.bmp", **ini):
    """Starts the program with these settings (BMP files unless they say
    otherwise), presses the hot key, returns the file's image."""
    write_ini(folder, **{"CapFormat": 1, **ini})
    proc, hwnd = start_pictrap(desktop, folder)
    hotkey(desktop)
    assert wait_file(folder / name), sorted(p.name for p in folder.iterdir())
    desktop.wintest("post", str(hwnd), str(WM_CLOSE))
    assert proc.wait(timeout=30) == 0
    image = Image.open(folder / name)
    image.load()
    (folder / name).unlink()
    return image


def test_client_area_and_window_with_and_without_the_pointer(desktop, app_dir):
    _p, pattern = start_pattern(desktop, 100, 120, 400, 300)
    left, top, right, bottom = client_rect(desktop, pattern)
    cap = capture_with(desktop, app_dir, Mode=2)
    assert cap.size == (right - left, bottom - top)
    assert differing(cap.convert("RGB"), pattern_image(*cap.size)) == []

    # Window: frame and caption included, compared with the screen itself.
    xdotool(desktop, "mousemove", 300, 250)
    wl, wt, wr, wb = window_rect(desktop, pattern)
    plain = capture_with(desktop, app_dir, Mode=3, IncludeCursor=0).convert("RGB")
    assert plain.size == (wr - wl, wb - wt)
    assert differing(plain, screen(desktop).crop((wl, wt, wr, wb))) == [], "no pointer when it is off"
    with_pointer = capture_with(desktop, app_dir, Mode=3, IncludeCursor=1).convert("RGB")
    drawn = differing(with_pointer, plain)
    assert drawn, "the pointer was not drawn"
    hx, hy = map(int, desktop.wintest("hotspot")[1].split())
    x0, y0, x1, y1 = bounding_box(drawn)
    # The arrow's image starts at its hot spot's offset before the pointer.
    assert (x0, y0) == (300 - wl - hx, 250 - wt - hy)
    assert x1 - x0 <= 32 and y1 - y0 <= 32
    # Hidden by the application under it: not drawn, as the user sees none.
    _p, hiding = start_pattern(desktop, 100, 120, 400, 300, nocursor=True)
    xdotool(desktop, "mousemove", 300, 250)
    hidden = capture_with(desktop, app_dir, Mode=3, IncludeCursor=1).convert("RGB")
    assert differing(hidden, screen(desktop).crop(window_rect(desktop, hiding))) == [], "a hidden pointer drawn"


def luminance(rgb):
    r, g, b = rgb
    return (r * 30 + g * 59 + b * 11) // 100


def tone_curve():
    import re
    from conftest import ROOT
    text = (ROOT / "imaging" / "blackwhite.cpp").read_text()
    table = text.split("kToneCurve[256] = {", 1)[1].split("};", 1)[0]
    values = [int(v) for v in re.findall(r"\d+", table)]
    assert len(values) == 256
    return values


def test_processing_chain_in_order_and_the_clipboard(desktop, app_dir):
    _p, pattern = start_pattern(desktop, 100, 120, 400, 300)
    left, top, right, bottom = client_rect(desktop, pattern)
    size = (right - left, bottom - top)
    expected = pattern_image(*size)
    lum = Image.new("L", size)
    lum.putdata([luminance(p) for p in expected.getdata()])

    grey = capture_with(desktop, app_dir, Mode=2, Greyscale=1, ToClipbd=1)
    assert grey.mode in ("L", "P") and list(grey.convert("L").getdata()) == list(lum.getdata())
    formats = clipboard_formats(desktop)
    assert formats[0] == CF_DIB and CF_PALETTE not in formats, \
        f"a 24-bit capture gives CF_DIB only, grey or not: {formats}"

    inverted = capture_with(desktop, app_dir, Mode=2, Greyscale=2, Invert=1)
    assert list(inverted.convert("L").getdata()) == [255 - v for v in lum.getdata()], "grey, then inverted"

    curve = tone_curve()
    bw = capture_with(desktop, app_dir, "cap1.tif", Mode=2, Greyscale=1, Invert=1, Dither=1, CapFormat=3)
    assert bw.mode == "1" and bw.info.get("compression") == "raw", "uncompressed: captured at 24 bits"
    assert [1 if v else 0 for v in bw.getdata()] == [1 if curve[255 - v] > 127 else 0 for v in lum.getdata()]

    untouched = capture_with(desktop, app_dir, Mode=2, Dither=2, Invert=0)
    assert untouched.mode == "RGB" and differing(untouched, expected) == [], "Dither=2 does nothing"

    colour_inverted = capture_with(desktop, app_dir, Mode=2, Invert=1, ToClipbd=1)
    negative = Image.eval(expected, lambda v: 255 - v)
    assert differing(colour_inverted.convert("RGB"), negative) == []
    # Read from outside Wine: the clipboard holds the capture's pixels.
    import subprocess, io
    data = subprocess.run(["xclip", "-selection", "clipboard", "-t", "image/bmp", "-o"], env=desktop.env,
                          capture_output=True, timeout=30, check=True).stdout
    from_x = Image.open(io.BytesIO(data)).convert("RGB")
    assert differing(from_x, negative) == []
    # The registered "PNG" format, which Wine offers X as image/png.
    data = subprocess.run(["xclip", "-selection", "clipboard", "-t", "image/png", "-o"], env=desktop.env,
                          capture_output=True, timeout=30, check=True).stdout
    with Image.open(io.BytesIO(data)) as png:
        assert png.format == "PNG" and differing(png.convert("RGB"), negative) == []


def test_hot_key_armed_while_another_process_holds_the_library_elsewhere(desktop, app_dir):
    # The first process to load the library need not be SHOTBOX, nor have it
    # at the same address: the hooks must name SHOTBOX's own copy.
    library = "Z:" + str(app_dir / "SBHOOK32.DLL").replace("/", "\\")
    holder = desktop.start([BIN / "wintest.exe", "load-relocated", library])
    out = wait_output(desktop, holder, "base=")
    m = re.search(r"base=(\w+) preferred=(\w+)", out)
    assert m and int(m.group(1), 16) != int(m.group(2), 16), f"the library was not relocated: {out!r}"
    proc, hwnd = start_pictrap(desktop, app_dir)
    start_pattern(desktop, 200, 150, 300, 200)
    hotkey(desktop)
    assert wait_file(app_dir / "cap1.png")
    desktop.wintest("post", str(hwnd), str(WM_CLOSE))
    assert proc.wait(timeout=30) == 0
