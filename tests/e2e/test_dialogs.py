"""About, Capture Setup, Disk Saving Setup and Help under Wine, driven with
xdotool and read back control by control."""
import shutil
import time

import pytest

from conftest import BIN, wait_for
from shellui import (CAPTURE_SETUP, SC_MAXIMIZE, SC_MINIMIZE, WM_COMMAND, StandIn, assert_tidy_layout, by_id,
                     click, click_rect, client_rect, controls, dialog_units_in_pixels, find_window, read_ini,
                     window_shot, windows_path, write_ini, xdotool)

IDOK, IDCANCEL = 1, 2


@pytest.fixture
def shell(app_dir):
    shutil.copy2(BIN / "shelltest.exe", app_dir / "shelltest.exe")
    return app_dir


def client_size(desktop, hwnd):
    left, top, right, bottom = client_rect(desktop, hwnd)
    return right - left, bottom - top


def open_about(desktop, program):
    program.command(SC_MAXIMIZE)
    about = find_window(desktop, "About Pictrap")
    return about, by_id(controls(desktop, about))


@pytest.fixture
def system_ini(desktop):
    """The prefix's system.ini naming a display driver longer than 12 characters."""
    path = desktop.prefix / "drive_c" / "windows" / "system.ini"
    before = path.read_bytes()
    path.write_bytes(before + b"\r\n[boot]\r\ndisplay.drv=pictrapvga32.drv\r\n")
    yield path
    path.write_bytes(before)


def test_about_box(desktop, shell, system_ini):
    program = StandIn(desktop, shell)
    about, c = open_about(desktop, program)
    assert (c[101].text, c[102].text) == ("Pictrap", "Version 2.1 - 32")
    assert c[103].text.startswith("Copyright")
    assert c[201].text == "1024 x 768 x 16.7M", "Xvfb at 24 bits: 32 bits per pixel"
    assert c[202].text == "pictrapvga32", "at most 12 characters of display.drv"
    labels = [x.text for x in controls(desktop, about) if x.id < 0 and x.text]
    assert labels == ["MYICON", "Video Info:", "Resolution:", "Driver:"]
    assert client_size(desktop, about) == dialog_units_in_pixels(desktop, 159, 135)
    assert_tidy_layout(desktop, about, controls(desktop, about))
    window_shot(desktop, about, "about")
    click(desktop, about, IDOK)
    assert desktop.wintest("gone", str(about))[0] == 0
    program.close()
    assert program.events == ["about=0"]


def test_about_box_without_a_display_driver_line(desktop, shell):
    program = StandIn(desktop, shell)
    about, c = open_about(desktop, program)
    assert c[202].text == " ", "the default: one blank"
    xdotool(desktop, "key", "Escape")
    assert desktop.wintest("gone", str(about))[0] == 0
    program.close()


def test_about_box_on_a_16_bit_display(desktop_at_depth, shell):
    d16 = desktop_at_depth(16)
    try:
        program = StandIn(d16, shell)
        about, c = open_about(d16, program)
        assert c[201].text == "1024 x 768 x 64K"
        d16.wintest("post", str(about), str(WM_COMMAND), str(IDOK))
        program.close()
    finally:
        d16.end_programs()


def open_setup(desktop, program):
    program.command(CAPTURE_SETUP)
    return find_window(desktop, "Pictrap Setup")


def state(ctrls, cid):
    """"E" or "D" for enabled or disabled, then "x" checked or "-" not, for buttons."""
    c = ctrls[cid]
    checkable = c.cls == "Button" and c.style & 0xF not in (0, 1)  # not a push button
    return ("E" if c.enabled else "D") + ({1: "x", 0: "-"}[c.check] if checkable else "")


DEFAULT_STATES = {102: "Ex", 111: "E-", 107: "D", 108: "D", 109: "D", 211: "Ex", 221: "Ex", 222: "Ex",
                  223: "E-", 301: "E-", 302: "E-", 303: "E-", 401: "E-", 402: "E-", 403: "D-", 404: "Ex",
                  405: "E"}


@pytest.mark.parametrize("ini,states", [
    ({}, DEFAULT_STATES),
    ({"Mode": 0, "IncludeCursor": 1}, {101: "Ex", 102: "E-", 111: "Dx", 107: "D", 109: "D"}),
    ({"Mode": 5, "SizeWd": 300, "SizeHt": 200}, {106: "Ex", 111: "D-", 107: "E", 108: "E", 109: "E"}),
    ({"Mode": 4, "IncludeCursor": 1}, {105: "Ex", 111: "Ex", 107: "D"}),
    ({"Greyscale": 1, "Dither": 1}, {301: "Ex", 303: "Dx"}),
    ({"Dither": 1}, {301: "D-", 303: "Ex"}),
    ({"Print": 1, "IncFileName": 1}, {402: "Ex", 404: "Ex", 403: "Ex", 405: "E"}),
    ({"Print": 1, "AutoSave": 0, "IncFileName": 1}, {403: "Dx", 404: "E-", 405: "D"}),
    ({"Key": 4, "Alt": 0, "Ctrl": 0, "Shift": 1}, {205: "Ex", 211: "E-", 221: "E-", 222: "E-", 223: "Ex"}),
])
def test_capture_setup_opens_as_the_settings_say_and_ok_keeps_them(desktop, shell, ini, states):
    write_ini(shell, **ini)
    program = StandIn(desktop, shell)
    dialog = open_setup(desktop, program)
    ctrls = by_id(controls(desktop, dialog))
    assert {cid: state(ctrls, cid) for cid in states} == states
    if "SizeWd" in ini:
        assert (ctrls[107].text, ctrls[109].text) == (str(ini["SizeWd"]), str(ini["SizeHt"]))
    xdotool(desktop, "key", "Return")  # OK holds the focus
    assert desktop.wintest("gone", str(dialog))[0] == 0
    program.close()
    assert program.events == ["setup=0"]
    written = read_ini(shell)
    for key, value in ini.items():
        assert written[key] == str(value), f"OK changed {key}"


def test_capture_setup_rules_and_ok_writes_fifteen_keys(desktop, shell):
    program = StandIn(desktop, shell)
    dialog = open_setup(desktop, program)
    ctrls = controls(desktop, dialog)
    assert client_size(desktop, dialog) == dialog_units_in_pixels(desktop, 354, 156)
    assert_tidy_layout(desktop, dialog, ctrls)
    groups = [c.text for c in ctrls if c.cls == "Button" and c.style & 0xF == 7]
    assert groups == ["Capture:", "Hot Key:", "Image Processing:", "Send to:"]

    def states(*ids):
        now = by_id(controls(desktop, dialog))
        return "".join(state(now, i)[0] + ("x" if now[i].check == 1 else "") for i in ids)

    click(desktop, dialog, 101)                   # Area
    assert states(111, 107, 108, 109) == "DDDD"
    click(desktop, dialog, 104)                   # Window
    assert states(111, 107) == "ED"
    click(desktop, dialog, 111)                   # Include Cursor on
    click(desktop, dialog, 106)                   # Defined Size: the width box gets the focus
    assert states(111, 107, 108, 109) == "DxEEE"
    xdotool(desktop, "key", "End", "shift+Home", "BackSpace")
    xdotool(desktop, "type", "1")
    xdotool(desktop, "key", "Tab")                # leaving it: below 2 gives the screen width
    xdotool(desktop, "type", "5000")              # Tab selected the height: replaced
    xdotool(desktop, "key", "Tab")
    now = by_id(controls(desktop, dialog))
    assert (now[107].text, now[109].text) == ("1024", "768")
    click(desktop, dialog, 107)
    xdotool(desktop, "key", "End", "shift+Home", "BackSpace")
    xdotool(desktop, "type", "640")
    click(desktop, dialog, 205)                   # F5, and only Shift
    click(desktop, dialog, 221)
    click(desktop, dialog, 222)
    click(desktop, dialog, 223)
    assert by_id(controls(desktop, dialog))[107].text == "640", "640 fits a 1024-pixel screen"

    click(desktop, dialog, 301)                   # Greyscale locks Convert to B&W
    assert states(301, 303) == "ExD"
    click(desktop, dialog, 301)
    assert states(301, 303) == "EE"
    click(desktop, dialog, 303)                   # and the other way round
    assert states(301, 303) == "DEx"
    click(desktop, dialog, 302)
    click(desktop, dialog, 401)

    click(desktop, dialog, 402)                   # Printer with Disk: Include File Name
    assert states(403, 405) == "EE"
    click(desktop, dialog, 403)
    click(desktop, dialog, 404)                   # Disk off locks both, the check stays
    assert states(403, 405) == "DxD"
    click(desktop, dialog, 404)                   # back on: the stored choice (off) returns
    assert states(403, 405) == "EE"
    click(desktop, dialog, 403)
    window_shot(desktop, dialog, "capture-setup")
    click(desktop, dialog, IDOK)
    assert desktop.wintest("gone", str(dialog))[0] == 0
    out = program.close()
    assert program.events == ["setup=0"]
    assert read_ini(shell) == {
        "Mode": "5", "SizeWd": "640", "SizeHt": "768", "IncludeCursor": "1", "Alt": "0", "Ctrl": "0",
        "Shift": "1", "Key": "4", "Greyscale": "0", "Invert": "1", "Dither": "1", "ToClipbd": "1",
        "Print": "1", "IncFileName": "1", "AutoSave": "1"}, "the fifteen keys of OK, and no others"
    assert (out["Mode"], out["SizeWd"], out["Key"], out["Shift"]) == ("5", "640", "4", "1")


def test_capture_setup_cancel_keeps_only_the_edited_size(desktop, shell):
    write_ini(shell, Mode=5, SizeWd=300, SizeHt=200, Key=3)
    before = (shell / "SHOTBOX.INI").read_bytes()
    program = StandIn(desktop, shell)
    dialog = open_setup(desktop, program)
    click(desktop, dialog, 107)
    xdotool(desktop, "key", "End", "shift+Home", "BackSpace")
    xdotool(desktop, "type", "640")
    click(desktop, dialog, 210)                   # F10: not kept
    click(desktop, dialog, IDCANCEL)              # the click leaves the width box first
    assert desktop.wintest("gone", str(dialog))[0] == 0
    assert (shell / "SHOTBOX.INI").read_bytes() == before, "Cancel writes nothing"

    dialog = open_setup(desktop, program)
    ctrls = by_id(controls(desktop, dialog))
    assert (ctrls[107].text, ctrls[109].text) == ("640", "200"), "the size stayed in memory"
    assert state(ctrls, 204) == "Ex" and state(ctrls, 210) == "E-"
    xdotool(desktop, "key", "Return")
    assert desktop.wintest("gone", str(dialog))[0] == 0
    program.close()
    assert program.events == ["setup=1", "setup=0"]
    ini = read_ini(shell)
    assert (ini["SizeWd"], ini["SizeHt"], ini["Key"]) == ("640", "200", "3")


def open_disk_setup(desktop, program):
    setup = open_setup(desktop, program)
    click(desktop, setup, 405)
    return setup, find_window(desktop, "Disk Saving Setup")


def list_items(desktop, dialog, list_id):
    rc, out = desktop.wintest("listitems", str(dialog), str(list_id))
    assert rc == 0
    items = {}
    for line in out.splitlines():
        _index, rect, text = line.split("\t", 2)
        items[text] = tuple(map(int, rect.split(",")))
    return items


def test_disk_saving_setup_chooses_format_directory_and_prefix(desktop, shell, tmp_path):
    parent = tmp_path / "disk"
    (parent / "shots2").mkdir(parents=True)
    write_ini(shell, CapDir=windows_path(parent), CapFormat=1, AutoNamePrefix="Cap")
    program = StandIn(desktop, shell)
    setup, disk = open_disk_setup(desktop, program)
    ctrls = controls(desktop, disk)
    assert client_size(desktop, disk) == dialog_units_in_pixels(desktop, 293, 134)
    assert_tidy_layout(desktop, disk, ctrls)
    c = by_id(ctrls)
    assert c[1088].text.lower() == windows_path(parent).lower(), "starts in CapDir from the file"
    assert c[1136].text == "BMP - Windows Bitmap"
    assert (state(c, 100), state(c, 103), c[102].text, c[101].enabled, c[102].enabled) == \
        ("Ex", "E-", "Cap", True, True)
    assert not c[1152].visible and not c[1120].visible, "the file name box and file list stay hidden"
    labels = {x.text for x in ctrls if x.visible}
    assert {"&Directories:", "&File Format:", "Dri&ves:", "File Name:", "File Name &Prefix:"} <= labels

    click(desktop, disk, 102)
    xdotool(desktop, "key", "End", "shift+Home", "BackSpace")
    xdotool(desktop, "type", "ABCDEF")
    assert by_id(controls(desktop, disk))[102].text == "ABC", "at most 3 characters typed"
    click(desktop, disk, 1136)                   # the format list: BMP, PCX, TIF
    xdotool(desktop, "key", "Down", "Return")
    c = by_id(controls(desktop, disk))
    assert (c[1136].text, c[1152].text) == ("PCX - Zsoft Paintbrush", "Temp.tmp")
    click_rect(desktop, list_items(desktop, disk, 1121)["[shots2]"], repeat=2)
    assert wait_for(lambda: by_id(controls(desktop, disk))[1088].text.lower().endswith("shots2"))
    window_shot(desktop, disk, "disk-saving-setup")
    click(desktop, disk, IDOK)
    assert desktop.wintest("gone", str(disk), "15000")[0] == 0
    ini = read_ini(shell)
    assert (ini["CapFormat"], ini["AutoName"], ini["AutoNamePrefix"]) == ("2", "1", "ABC")
    assert ini["CapDir"].lower() == windows_path(parent / "shots2").lower()

    click(desktop, setup, IDCANCEL)              # Cancel there undoes none of it
    out = program.close()
    assert program.events == ["setup=1"]
    assert read_ini(shell) == ini
    assert out["CapDir"].lower() == ini["CapDir"].lower() and out["CapFormat"] == "2"


def test_disk_saving_setup_asked_names_and_a_long_prefix(desktop, shell):
    write_ini(shell, AutoNamePrefix="ABCDEFGH", AutoName=1, CapFormat=3)
    program = StandIn(desktop, shell)
    setup, disk = open_disk_setup(desktop, program)
    c = by_id(controls(desktop, disk))
    assert c[102].text == "ABCDEFGH", "a longer prefix from the file is shown whole"
    assert c[1136].text == "TIF - Tagged Image File Format"
    click(desktop, disk, 103)                    # Ask For File Name locks the prefix
    c = by_id(controls(desktop, disk))
    assert (c[101].enabled, c[102].enabled) == (False, False)
    click(desktop, disk, IDOK)
    assert desktop.wintest("gone", str(disk), "15000")[0] == 0
    ini = read_ini(shell)
    assert (ini["AutoName"], ini["AutoNamePrefix"], ini["CapFormat"]) == ("0", "ABCD", "3")

    click(desktop, setup, 405)                   # again: opens asking, prefix locked
    disk = find_window(desktop, "Disk Saving Setup")
    c = by_id(controls(desktop, disk))
    assert (state(c, 100), state(c, 103), c[101].enabled, c[102].enabled) == ("E-", "Ex", False, False)
    click(desktop, disk, 100)                    # unlocks it and puts the caret there
    xdotool(desktop, "key", "End", "BackSpace", "BackSpace")
    xdotool(desktop, "type", "Z")
    assert by_id(controls(desktop, disk))[102].text == "ABZ"
    before = (shell / "SHOTBOX.INI").read_bytes()
    click(desktop, disk, IDCANCEL)               # Cancel writes nothing
    assert desktop.wintest("gone", str(disk), "15000")[0] == 0
    assert (shell / "SHOTBOX.INI").read_bytes() == before
    click(desktop, setup, IDCANCEL)
    out = program.close()
    assert (out["AutoName"], out["AutoNamePrefix"]) == ("0", "ABCD")


def test_disk_saving_setup_on_a_removable_drive_changes_the_directory_for_this_run(
        desktop, shell, tmp_path, floppy):
    fixed = tmp_path / "fixed"
    fixed.mkdir()
    write_ini(shell, CapDir=windows_path(fixed), CapFormat=1)
    program = StandIn(desktop, shell)
    setup, disk = open_disk_setup(desktop, program)
    click(desktop, disk, 1137)                   # the drive list, A: first
    xdotool(desktop, "key", "Home", "Return")
    assert wait_for(lambda: by_id(controls(desktop, disk))[1088].text.upper() == "A:\\")
    click(desktop, disk, IDOK)
    assert desktop.wintest("gone", str(disk), "15000")[0] == 0
    ini = read_ini(shell)
    assert ini["CapDir"].lower() == windows_path(fixed).lower(), "the file keeps the fixed directory"
    assert ini["CapFormat"] == "1"
    click(desktop, setup, IDOK)
    out = program.close()
    assert out["CapDir"].upper() == "A:", "this run uses the floppy"
    assert read_ini(shell)["CapDir"].lower() == windows_path(fixed).lower()


def test_help_of_our_own_without_a_help_file(desktop, shell):
    program = StandIn(desktop, shell)
    program.command(SC_MINIMIZE)
    help_window = find_window(desktop, "Pictrap Help")
    rc, text_box = desktop.wintest("child", str(help_window), "100")
    assert rc == 0
    rc, text = desktop.wintest("gettext", text_box.strip())
    assert rc == 0
    for phrase in ("Ctrl+Alt+F11", "Full Screen", "Defined Size", "SHOTBOX.INI", "[Pictrap]", "CapDir",
                   "AutoNamePrefix", "IncFileName", "Disk Saving Setup"):
        assert phrase in text, phrase
    assert len(text.splitlines()) > 40, "one line per line of the text"
    window_shot(desktop, help_window, "help")
    xdotool(desktop, "key", "Escape")
    assert desktop.wintest("gone", str(help_window))[0] == 0
    program.command(SC_MINIMIZE)                 # again, and the end of the run closes it
    help_window = find_window(desktop, "Pictrap Help")
    program.command(SC_MINIMIZE)                 # a second command keeps one window
    time.sleep(0.5)
    program.close()
    assert desktop.wintest("gone", str(help_window))[0] == 0


def test_help_opens_winhelp_when_a_help_file_lies_beside_the_program(desktop, shell):
    (shell / "SHOTBOX.HLP").write_bytes(b"not a help file")
    program = StandIn(desktop, shell)
    program.command(SC_MINIMIZE)
    # Wine's WinHelp reads the file and, as it is no help file, says so.
    report = find_window(desktop, "ERROR")
    texts = [t for (_i, cls, t) in desktop.texts(report) if cls == "Static" and t]
    assert any("SHOTBOX.HLP" in t.upper() and windows_path(shell).upper() in t.upper() for t in texts), texts
    assert desktop.find("Pictrap Help", "#32770", 300) is None
    desktop.wintest("post", str(report), str(WM_COMMAND), str(IDOK))
    program.close()
