"""The three deliverables together under Wine: start, icon, close, error reports."""
import subprocess

import pytest

from conftest import BIN, _installed, session_desktop, wait_for
from pictrap import start_pictrap, xdotool

WM_CLOSE = 0x10
WM_COMMAND = 0x111
IDOK = 1


def test_unit_tests_pass_under_wine(desktop):
    r = desktop.run([BIN / "unit_tests.exe", "--gtest_brief=1"], timeout=300, cwd=BIN)
    assert r.returncode == 0, r.stdout[-4000:] + r.stderr[-2000:]
    assert "PASSED" in r.stdout


def test_program_starts_as_icon_and_closes_with_code_0(desktop, app_dir):
    # A save killed midway leaves its temporary; start-up removes the
    # program's own, and only those.
    others = ["~PT0000ABCD.TXT", "~PTXYZ.TMP", "~PT0000abce.TMP"]
    for name in ["~PT0000ABCD.TMP", "~PU12345678.TMP"] + others:
        (app_dir / name).write_bytes(b"partial")
    proc = desktop.start([app_dir / "SHOTBOX.EXE"], cwd=app_dir)
    hwnd = desktop.find("Pictrap", "Pictrap")
    assert hwnd, "the main window never appeared"
    assert sorted(p.name for p in app_dir.glob("~P*")) == sorted(others)
    info = desktop.info(hwnd)
    assert info["iconic"] == "1" and info["visible"] == "1"
    # In the virtual desktop an icon is a 160x24 bar at the bottom left.
    left, top, right, bottom = map(int, info["rect"].split(","))
    assert (left, bottom) == (0, 768) and right - left == 160 and 0 < bottom - top <= 32

    assert desktop.wintest("post", str(hwnd), str(WM_CLOSE))[0] == 0
    assert proc.wait(timeout=30) == 0
    assert desktop.find("Pictrap", "Pictrap", 200) is None


def test_restore_request_leaves_it_an_icon(desktop, app_dir):
    desktop.start([app_dir / "SHOTBOX.EXE"], cwd=app_dir)
    hwnd = desktop.find("Pictrap", "Pictrap")
    assert hwnd
    SC_RESTORE = 0xF120
    desktop.wintest("syscommand", str(hwnd), str(SC_RESTORE))
    desktop.wintest("find", "-", "-", "300")  # give the request time to land
    assert desktop.info(hwnd)["iconic"] == "1"


@pytest.fixture(scope="module")
def twm_desktop():
    """Wine's windows as X windows under a real window manager, twm."""
    for d in session_desktop(virtual_desktop=False):
        (d.root / "twmrc").write_text('RandomPlacement\nUsePPosition "on"\nNoGrabServer\n' + "".join(
            f'{part}Font "fixed"\n' for part in ("Title", "Resize", "Menu", "Icon", "IconManager")))
        wm = subprocess.Popen(["twm", "-f", str(d.root / "twmrc")], env=d.env, stderr=subprocess.DEVNULL)
        yield d
        wm.terminate()
        wm.wait(timeout=30)


def test_a_window_manager_cannot_open_the_icon(twm_desktop, request, tmp_path):
    d = twm_desktop
    x = lambda *args: subprocess.run(args, env=d.env, capture_output=True, text=True).stdout
    for folder in _installed(d, request, tmp_path / "Pictrap"):
        _, hwnd = start_pictrap(d, folder)
        # The one of the program's X windows that twm holds as an icon, mapped as a click on that icon does.
        icon = [w for w in x("xdotool", "search", "--name", "^Pictrap$").split()
                if "Iconic" in x("xprop", "-id", w, "WM_STATE")]
        assert len(icon) == 1
        xdotool(d, "windowmap", icon[0], "sleep", 1.5)
        assert wait_for(lambda: "IsUnMapped" in x("xwininfo", "-id", icon[0]) and d.info(hwnd)["iconic"] == "1",
                        timeout=10), "a frame is open"


def test_program_does_not_start_without_sbmsg32(desktop, app_dir):
    (app_dir / "SBMSG32.DLL").unlink()
    proc = desktop.start([app_dir / "SHOTBOX.EXE"], cwd=app_dir)
    try:
        code = proc.wait(timeout=30)
    except subprocess.TimeoutExpired:
        code = None
    assert code not in (None, 0), "the program ran without its message library"
    assert desktop.find("Pictrap", "Pictrap", 300) is None


def show_error_box(desktop, app_dir, code):
    """Calls ShowError from another process; returns (caller, box, its texts)."""
    caller = desktop.start([BIN / "wintest.exe", "showerror", "Pictrap", str(code)], cwd=app_dir)
    box = desktop.find("Pictrap", "#32770")
    assert box, "no message box captioned Pictrap appeared"
    texts = [t for (_id, cls, t) in desktop.texts(box) if cls == "Static" and t]
    return caller, box, texts


def test_show_error_is_modal_until_dismissed(desktop, app_dir):
    caller, box, texts = show_error_box(desktop, app_dir, 802)
    assert texts == ["Nothing was captured: the capture area is empty or the screen could not be copied."]
    assert caller.poll() is None, "ShowError returned while its box was still up"
    desktop.wintest("post", str(box), str(WM_COMMAND), str(IDOK))
    assert caller.wait(timeout=30) == 0
    assert "dismissed" in desktop.output(caller)


def test_show_error_names_an_unknown_code(desktop, app_dir):
    caller, box, texts = show_error_box(desktop, app_dir, 4242)
    assert len(texts) == 1 and "4242" in texts[0]
    desktop.wintest("post", str(box), str(WM_COMMAND), str(IDOK))
    assert caller.wait(timeout=30) == 0
