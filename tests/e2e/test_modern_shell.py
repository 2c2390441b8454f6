"""What a user of Windows 10 or 11 meets: the notification-area icon with its
menu and tip, the capture delay, a hot key another program holds, and every
dialog laid out in both looks (classic, and common controls 6 under a visual
style) at 100% and 150%.

Wine's explorer shows notification icons on the virtual desktop's taskbar
(in a desktop made for it); wintest reads them from the tooltips the taskbar
keeps for them, with their places and tips."""
import re
import time

import pytest
from PIL import Image

from conftest import BIN, session_desktop, wait_for
from pictrap import WM_CLOSE, copy_deliverables, differing, hotkey, screen, start_pictrap, wait_file, wait_output, window_rect, xdotool
from shellui import (ABOUT, CAPTURE_SETUP, HELP, assert_tidy_layout, click, read_ini, click_rect, controls,
                     find_window, gone, window_shot)
from test_dpi import scaled_desktop  # noqa: F401  (the 150% desktop, a fixture)

IDC_KEY_F12, IDC_DELAY, IDC_DISK_SETUP, IDOK = 212, 501, 405, 1
MOD_ALT_CONTROL, VK_F11 = 0x3, 0x7A
THEMES = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager"
LIGHT = "C:\\windows\\resources\\themes\\light\\light.msstyles"


def theme_setting(desktop, name):
    out = desktop.run(["reg", "query", THEMES, "/v", name]).stdout
    m = re.search(name + r"\s+REG_SZ\s+(.*)", out)
    return m.group(1).strip() if m else None


def set_theme(desktop, active, dll=LIGHT):
    for name, value in (("DllName", dll), ("ColorName", "Blue"), ("SizeName", "NormalSize"), ("ThemeActive", active)):
        if value is not None:
            assert desktop.run(["reg", "add", THEMES, "/v", name, "/t", "REG_SZ", "/d", value, "/f"]).returncode == 0


def tray_icons(desktop):
    rc, out = desktop.wintest("tray")
    icons = []
    for line in out.splitlines() if rc == 0 else []:
        hwnd, rect, tip = line.split("\t", 2)
        left, top, right, bottom = map(int, rect.split(","))
        if right > left and bottom > top:  # Wine 8.0 keeps a removed icon's tooltip, with no place
            icons.append((int(hwnd), (left, top, right, bottom), tip))
    return icons


def our_icon(desktop):
    return next((icon for icon in tray_icons(desktop) if icon[2].startswith("Pictrap")), None)


def open_menu(desktop):
    rc, out = desktop.wintest("find", "-", "#32768", "5000")
    assert rc == 0, "no menu opened"
    return int(out.split()[0])


@pytest.fixture(scope="module")
def shell_desktop():
    """A desktop with Wine's taskbar and its notification area, as on Windows."""
    yield from session_desktop(shell=True)


def test_notification_icon_delay_and_a_hot_key_already_taken(shell_desktop, tmp_path):
    desktop, app_dir = shell_desktop, tmp_path / "Pictrap"
    app_dir.mkdir()
    copy_deliverables(app_dir)
    # Another program registered Ctrl+Alt+F11 first: the user is told at start.
    holder = desktop.start([BIN / "wintest.exe", "hold-hotkey", MOD_ALT_CONTROL, VK_F11, 600000])
    assert "held" in wait_output(desktop, holder, "held", timeout=90)
    proc, hwnd = start_pictrap(desktop, app_dir)
    rc, out = desktop.wintest("find", "Pictrap", "#32770", "15000")
    assert rc == 0, "no box about the taken key"
    box = int(out.split()[0])
    assert ("Static", "Ctrl+Alt+F11 is already taken as a hot key by another program or by Windows, so "
            "pressing it may not take a capture. Choose another hot key in Capture Setup.") in \
        [(cls, text) for (_i, cls, text) in desktop.texts(box)]
    desktop.wintest("post", str(box), "273", "1")  # WM_COMMAND IDOK
    assert gone(desktop, box)
    holder.kill()

    # The icon, its tip naming the key; a click opens the system menu's
    # commands at the pointer, and Capture Setup chosen there opens it.
    assert wait_for(lambda: our_icon(desktop) is not None, timeout=15), tray_icons(desktop)
    icon_hwnd, rect, tip = our_icon(desktop)
    assert tip == "Pictrap - Ctrl+Alt+F11"
    click_rect(desktop, rect)
    menu = open_menu(desktop)
    left, top, _r, _b = window_rect(desktop, menu)
    assert abs(left - (rect[0] + rect[2]) // 2) < 40 or abs(top - rect[1]) < 200, "the menu opens at the pointer"
    xdotool(desktop, "key", "Down", "Return")
    setup = find_window(desktop, "Pictrap Setup")
    # Ctrl+Alt+F12 with a delay of 3 seconds; the tip follows, and a free
    # key brings no box.
    click(desktop, setup, IDC_KEY_F12)
    click(desktop, setup, IDC_DELAY)
    xdotool(desktop, "key", "Down", "Return")
    click(desktop, setup, IDOK)
    assert gone(desktop, setup)
    assert wait_for(lambda: our_icon(desktop)[2] == "Pictrap - Ctrl+Alt+F12", timeout=10), our_icon(desktop)
    assert desktop.wintest("find", "Pictrap", "#32770", "1500")[0] == 1, "a box for a free key"
    assert (read_ini(app_dir)["Key"], read_ini(app_dir)["Delay"]) == ("11", "3")

    # The countdown leaves the keyboard and the mouse to the application:
    # notepad's File menu opened meanwhile is in the picture.
    desktop.start(["notepad"])
    notepad = desktop.find("-", "Notepad", 15000)
    desktop.wintest("activate", str(notepad))
    time.sleep(0.5)
    hotkey(desktop, "ctrl+alt+F12")
    status = desktop.find("Pictrap", "Status", 3000)
    assert status, "no countdown shown"
    # During the countdown: nothing more. (Pressed before the menu opens:
    # its Alt, released in the menu, would close it.)
    hotkey(desktop, "ctrl+alt+F12")
    xdotool(desktop, "key", "alt+f")  # the keyboard is still notepad's
    file_menu = open_menu(desktop)
    menu_box = window_rect(desktop, file_menu)
    time.sleep(0.3)
    with_menu = screen(desktop).crop(menu_box)
    assert wait_file(app_dir / "cap1.png", timeout=20)
    time.sleep(1)
    assert not (app_dir / "cap2.png").exists(), "the second press started a second capture"
    with Image.open(app_dir / "cap1.png") as cap:
        assert differing(cap.convert("RGB").crop(menu_box), with_menu) == [], "the open menu is not in the picture"
    xdotool(desktop, "key", "Escape")

    # Esc during the countdown: no capture, no box. A click on the icon
    # meanwhile is refused with a beep, not with a box that would be in the
    # picture.
    hotkey(desktop, "ctrl+alt+F12")
    assert wait_for(lambda: desktop.info(status)["visible"] == "1", timeout=3)
    click_rect(desktop, rect)
    assert desktop.wintest("find", "Pictrap", "#32770", "1000")[0] == 1, "a box during the countdown"
    xdotool(desktop, "key", "Escape")
    assert wait_for(lambda: desktop.info(status)["visible"] == "0", timeout=3), "Esc left the countdown running"
    time.sleep(4)
    assert not (app_dir / "cap2.png").exists()
    assert desktop.wintest("find", "Pictrap", "#32770", "500")[0] == 1

    # The icon goes with the program.
    desktop.wintest("post", str(hwnd), str(WM_CLOSE))
    assert proc.wait(timeout=30) == 0
    assert wait_for(lambda: our_icon(desktop) is None, timeout=10), tray_icons(desktop)


def assert_texts_fit(desktop, dialog):
    """Every caption fits its control, in the dialog's own font."""
    rc, out = desktop.wintest("textfit", str(dialog), "Helv", "8")
    assert rc == 0 and out.strip()
    for line in out.splitlines():
        cid, cls, need_w, need_h, width, height, text = line.split("\t", 6)
        assert int(need_w) <= int(width) and int(need_h) <= int(height), \
            f"{text!r} ({cls} {cid}) needs {need_w}x{need_h}, has {width}x{height}"


def each_dialog(desktop, folder, name):
    """Opens About, Capture Setup, Disk Saving Setup and Help in turn from
    the real program: each on the screen, tidy, its texts whole, and a
    picture of it in build/e2e-screens/."""
    proc, hwnd = start_pictrap(desktop, folder)
    for command, title in ((ABOUT, "About Pictrap"), (CAPTURE_SETUP, "Pictrap Setup"), (HELP, "Pictrap Help")):
        desktop.wintest("syscommand", str(hwnd), str(command))
        dialog = find_window(desktop, title)
        time.sleep(0.5)
        dialogs = [(title, dialog)]
        if command == CAPTURE_SETUP:
            click(desktop, dialog, IDC_DISK_SETUP)
            dialogs.append(("Disk Saving Setup", find_window(desktop, "Disk Saving Setup")))
            time.sleep(0.5)
        for shown, window in reversed(dialogs):
            ctrls = controls(desktop, window)
            assert_tidy_layout(desktop, window, ctrls)
            assert_texts_fit(desktop, window)
            window_shot(desktop, window, re.sub(r"\W+", "-", shown.lower()) + "-" + name)
            xdotool(desktop, "key", "Escape")
            assert gone(desktop, window), f"{shown} did not close on Esc"
    desktop.wintest("post", str(hwnd), str(WM_CLOSE))
    assert proc.wait(timeout=30) == 0


@pytest.mark.parametrize("scale", ["100", "150"])
def test_dialogs_in_the_classic_and_the_visual_style_looks(request, app_dir, tmp_path, scale):
    target = request.getfixturevalue("desktop" if scale == "100" else "scaled_desktop")
    folder = tmp_path / "program"
    folder.mkdir()
    for f in app_dir.iterdir():
        (folder / f.name).write_bytes(f.read_bytes())
    # The look is read as a program starts: each pass starts the program anew.
    before = theme_setting(target, "ThemeActive"), theme_setting(target, "DllName")
    try:
        set_theme(target, "0")
        each_dialog(target, folder, f"classic-{scale}")
        set_theme(target, "1")
        each_dialog(target, folder, f"themed-{scale}")
    finally:
        set_theme(target, before[0] or "0", before[1])
