"""About, Capture Setup, Disk Saving Setup and Help in the real program:
opened from its system menu, driven with xdotool, read back control by
control, and followed to the settings file and the next capture."""
import time

import pytest

from conftest import wait_for
from pictrap import WM_COMMAND, boxes, copy_deliverables, dismiss, hotkey, start_pattern, wait_file, windows_path, \
    write_ini, xdotool
from shellui import (ABOUT, CAPTURE_SETUP, HELP, Pictrap, assert_tidy_layout, by_id, clear_and_type, click,
                     click_rect, client_size, controls, dialog_units_in_pixels, find_window, gone, is_group_box,
                     read_ini, state, window_shot)

IDOK, IDCANCEL = 1, 2


@pytest.fixture
def system_ini(desktop):
    """The prefix's system.ini naming a display driver longer than 12 characters."""
    path = desktop.prefix / "drive_c" / "windows" / "system.ini"
    before = path.read_bytes()
    path.write_bytes(before + b"\r\n[boot]\r\ndisplay.drv=pictrapvga32.drv\r\n")
    yield path
    path.write_bytes(before)


def test_about_box(desktop, app_dir, system_ini):
    program = Pictrap(desktop, app_dir)
    about = program.dialog(ABOUT, "About Pictrap")
    ctrls = controls(desktop, about)
    c = by_id(ctrls)
    assert (c[101].text, c[102].text) == ("Pictrap", "Version 2.1 - 32")
    assert c[103].text.startswith("Copyright")
    assert c[201].text == "1024 x 768 x 16.7M", "Xvfb at 24 bits: 32 bits per pixel"
    assert c[202].text == "pictrapvga32", "at most 12 characters of display.drv"
    assert [x.text for x in ctrls if x.id < 0 and x.text] == ["MYICON", "Video Info:", "Resolution:", "Driver:"]
    assert client_size(desktop, about) == dialog_units_in_pixels(desktop, 159, 135)
    assert_tidy_layout(desktop, about, ctrls)
    assert desktop.info(program.main)["enabled"] == "0", "modal: the main window waits"
    window_shot(desktop, about, "about")
    click(desktop, about, IDOK)
    assert gone(desktop, about)
    assert desktop.info(program.main)["enabled"] == "1"
    program.close()


def test_about_box_on_a_16_bit_display(desktop_at_depth, tmp_path):
    d16 = desktop_at_depth(16)
    folder = tmp_path / "Pictrap"
    folder.mkdir()
    copy_deliverables(folder)
    try:
        program = Pictrap(d16, folder)
        about = program.dialog(ABOUT, "About Pictrap")
        c = by_id(controls(d16, about))
        assert (c[201].text, c[202].text) == ("1024 x 768 x 64K", " "), "no display.drv: one blank"
        xdotool(d16, "key", "Escape")
        assert gone(d16, about)
        program.close()
    finally:
        d16.end_programs()


def open_setup(program):
    return program.dialog(CAPTURE_SETUP, "Pictrap Setup")


@pytest.mark.parametrize("ini,states", [
    ({}, {102: "Ex", 111: "E-", 107: "D", 108: "D", 109: "D", 211: "Ex", 221: "Ex", 222: "Ex", 223: "E-",
          301: "E-", 302: "E-", 303: "E-", 401: "E-", 402: "E-", 403: "D-", 404: "Ex", 405: "E"}),
    ({"Mode": 0, "IncludeCursor": 1, "Greyscale": 1, "Dither": 1},
     {101: "Ex", 102: "E-", 111: "Dx", 107: "D", 109: "D", 301: "Ex", 303: "Dx"}),
    ({"Mode": 5, "SizeWd": 300, "SizeHt": 200, "Dither": 1, "Print": 1, "IncFileName": 1},
     {106: "Ex", 111: "D-", 107: "E", 108: "E", 109: "E", 301: "D-", 303: "Ex", 402: "Ex", 403: "Ex"}),
    ({"Mode": 4, "IncludeCursor": 1, "Print": 1, "AutoSave": 0, "IncFileName": 1, "Key": 4, "Alt": 0, "Ctrl": 0,
      "Shift": 1},
     {105: "Ex", 111: "Ex", 403: "Dx", 404: "E-", 405: "D", 205: "Ex", 211: "E-", 221: "E-", 222: "E-",
      223: "Ex"}),
])
def test_capture_setup_opens_as_the_settings_say_and_ok_keeps_them(desktop, app_dir, ini, states):
    write_ini(app_dir, **ini)
    program = Pictrap(desktop, app_dir)
    dialog = open_setup(program)
    ctrls = by_id(controls(desktop, dialog))
    assert {cid: state(ctrls, cid) for cid in states} == states
    if "SizeWd" in ini:
        assert (ctrls[107].text, ctrls[109].text) == (str(ini["SizeWd"]), str(ini["SizeHt"]))
    xdotool(desktop, "key", "Return")  # OK has the focus
    assert gone(desktop, dialog)
    assert wait_for(lambda: "Mode" in read_ini(app_dir)), "OK saves"
    written = read_ini(app_dir)
    for key, value in ini.items():
        assert written[key] == str(value), f"OK changed {key}"
    program.close()


def test_capture_setup_rules_ok_writes_sixteen_keys_and_arms_the_new_hot_key(desktop, app_dir):
    program = Pictrap(desktop, app_dir)
    dialog = open_setup(program)
    ctrls = controls(desktop, dialog)
    assert client_size(desktop, dialog) == dialog_units_in_pixels(desktop, 354, 156)
    assert_tidy_layout(desktop, dialog, ctrls)
    assert [c.text for c in ctrls if is_group_box(c)] == ["Capture:", "Hot Key:", "Image Processing:", "Send to:"]

    def states(*ids):
        now = by_id(controls(desktop, dialog))
        return "".join(state(now, i) for i in ids)

    click(desktop, dialog, 101)                   # Area
    assert states(111, 107, 108, 109) == "D-DDD"
    click(desktop, dialog, 104)                   # Window
    assert states(111, 107) == "E-D"
    click(desktop, dialog, 111)                   # Include Cursor on
    click(desktop, dialog, 106)                   # Defined Size: the width box gets the focus
    assert states(111, 107, 108, 109) == "DxEEE"
    clear_and_type(desktop, "1")
    xdotool(desktop, "key", "Tab")                # leaving it: below 2 gives the screen width
    xdotool(desktop, "type", "5000")              # Tab selected the height: replaced
    xdotool(desktop, "key", "Tab")
    now = by_id(controls(desktop, dialog))
    assert (now[107].text, now[109].text) == ("1024", "768")
    click(desktop, dialog, 107)
    clear_and_type(desktop, "0640")
    click(desktop, dialog, 102)                   # Full Screen; 640 fits a 1024-pixel screen
    assert by_id(controls(desktop, dialog))[107].text == "640", "the box shows the number it stores"
    for cid in (205, 221, 222, 223):              # F5, and only Shift
        click(desktop, dialog, cid)

    click(desktop, dialog, 301)                   # Greyscale locks Convert to B&W
    assert states(301, 303) == "ExD-"
    click(desktop, dialog, 301)
    assert states(301, 303) == "E-E-"
    click(desktop, dialog, 303)                   # and the other way round
    assert states(301, 303) == "D-Ex"
    click(desktop, dialog, 302)
    click(desktop, dialog, 401)

    click(desktop, dialog, 402)                   # Printer with Disk: Include File Name
    assert states(403, 405) == "E-E"
    click(desktop, dialog, 403)
    click(desktop, dialog, 404)                   # Disk off locks both; the check stays
    assert states(403, 405) == "DxD"
    click(desktop, dialog, 404)                   # back on: the stored choice (off) returns
    assert states(403, 405) == "E-E"
    click(desktop, dialog, 403)
    window_shot(desktop, dialog, "capture-setup")
    click(desktop, dialog, IDOK)
    assert gone(desktop, dialog)
    assert wait_for(lambda: len(read_ini(app_dir)) == 16)
    assert read_ini(app_dir) == {
        "Mode": "1", "SizeWd": "640", "SizeHt": "768", "IncludeCursor": "1", "Alt": "0", "Ctrl": "0",
        "Shift": "1", "Key": "4", "Greyscale": "0", "Invert": "1", "Dither": "1", "ToClipbd": "1",
        "Print": "1", "IncFileName": "1", "AutoSave": "1", "Delay": "0"}, "the sixteen keys of OK, and no others"

    # The hot key was armed again: the old one is dead, the new one captures.
    start_pattern(desktop, 200, 150, 300, 200)
    hotkey(desktop)
    time.sleep(1.5)
    assert not list(app_dir.glob("cap*.png")), "Ctrl+Alt+F11 still captured"
    hotkey(desktop, "shift+F5")
    box, text = boxes(desktop, 30000)            # Printer is on, and this desktop has none
    assert "printer" in text.lower(), text
    dismiss(desktop, box)
    assert wait_file(app_dir / "cap1.png", timeout=30)
    program.close()


def test_capture_setup_cancel_keeps_only_the_edited_size(desktop, app_dir):
    write_ini(app_dir, Mode=5, SizeWd=300, SizeHt=200, Key=3)
    before = (app_dir / "SHOTBOX.INI").read_bytes()
    program = Pictrap(desktop, app_dir)
    dialog = open_setup(program)
    click(desktop, dialog, 107)
    clear_and_type(desktop, "640")
    click(desktop, dialog, 210)                   # F10: not kept
    click(desktop, dialog, IDCANCEL)              # the click leaves the width box first
    assert gone(desktop, dialog)
    time.sleep(0.5)
    assert (app_dir / "SHOTBOX.INI").read_bytes() == before, "Cancel writes nothing"

    dialog = open_setup(program)
    ctrls = by_id(controls(desktop, dialog))
    assert (ctrls[107].text, ctrls[109].text) == ("640", "200"), "the size stayed in memory"
    assert (state(ctrls, 204), state(ctrls, 210)) == ("Ex", "E-")
    xdotool(desktop, "key", "Return")
    assert gone(desktop, dialog)
    assert wait_for(lambda: read_ini(app_dir).get("SizeWd") == "640")
    ini = read_ini(app_dir)
    assert (ini["SizeHt"], ini["Key"]) == ("200", "3")
    program.close()


def test_closing_the_program_under_its_setup_dialogs_saves_nothing(desktop, app_dir):
    # Installers, uninstallers and task managers close it with WM_CLOSE.
    write_ini(app_dir, Mode=9, SizeWd=1)
    before = (app_dir / "SHOTBOX.INI").read_bytes()
    for nested in (False, True):
        program = Pictrap(desktop, app_dir)
        open_disk_setup(desktop, program) if nested else open_setup(program)
        program.close()
        assert (app_dir / "SHOTBOX.INI").read_bytes() == before, f"saved from the closed dialog (nested={nested})"


def open_disk_setup(desktop, program):
    setup = open_setup(program)
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


def test_disk_saving_setup_chooses_format_directory_and_prefix(desktop, app_dir, tmp_path):
    parent = tmp_path / "disk"
    (parent / "shots2").mkdir(parents=True)
    write_ini(app_dir, CapDir=windows_path(parent), CapFormat=1, AutoNamePrefix="Cap")
    program = Pictrap(desktop, app_dir)
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
    assert {"&Directories:", "&File Format:", "Dri&ves:", "File Name:", "File Name &Prefix:"} <= \
        {x.text for x in ctrls if x.visible}

    click(desktop, disk, 102)
    clear_and_type(desktop, 'A\\/:*?"<>|BCDEF')
    assert by_id(controls(desktop, disk))[102].text == "ABC", "at most 3 characters typed, none a name may not hold"
    click(desktop, disk, 1136)                   # the format list: BMP, PCX, TIF
    xdotool(desktop, "key", "Down", "Return")
    c = by_id(controls(desktop, disk))
    assert (c[1136].text, c[1152].text) == ("PCX - Zsoft Paintbrush", "Temp.tmp")
    click_rect(desktop, list_items(desktop, disk, 1121)["[shots2]"], repeat=2)
    assert wait_for(lambda: by_id(controls(desktop, disk))[1088].text.lower().endswith("shots2"))
    window_shot(desktop, disk, "disk-saving-setup")
    click(desktop, disk, IDOK)
    assert gone(desktop, disk)
    ini = read_ini(app_dir)
    assert (ini["CapFormat"], ini["AutoName"], ini["AutoNamePrefix"]) == ("2", "1", "ABC")
    assert ini["CapDir"].lower() == windows_path(parent / "shots2").lower()

    click(desktop, setup, IDCANCEL)              # Cancel there undoes none of it
    assert gone(desktop, setup)
    assert read_ini(app_dir) == ini
    start_pattern(desktop, 200, 150, 300, 200)
    hotkey(desktop)                              # the next capture: new directory, prefix, format
    assert wait_file(parent / "shots2" / "abc1.pcx", timeout=30)
    program.close()


def test_disk_saving_setup_asked_names_and_a_long_prefix(desktop, app_dir):
    (app_dir / "browsed").mkdir()
    write_ini(app_dir, AutoNamePrefix="ABCDEFGH", AutoName=1, CapFormat=3)
    program = Pictrap(desktop, app_dir)
    setup, disk = open_disk_setup(desktop, program)
    c = by_id(controls(desktop, disk))
    assert c[102].text == "ABCDEFGH", "a longer prefix from the file is shown whole"
    assert c[1136].text == "TIF - Tagged Image File Format"
    click(desktop, disk, 103)                    # Ask For File Name locks the prefix
    c = by_id(controls(desktop, disk))
    assert (c[101].enabled, c[102].enabled) == (False, False)
    click(desktop, disk, IDOK)
    assert gone(desktop, disk)
    ini = read_ini(app_dir)
    assert (ini["AutoName"], ini["AutoNamePrefix"], ini["CapFormat"]) == ("0", "ABCD", "3")

    click(desktop, setup, 405)                   # again: opens asking, prefix locked
    disk = find_window(desktop, "Disk Saving Setup")
    c = by_id(controls(desktop, disk))
    assert (state(c, 100), state(c, 103), c[101].enabled, c[102].enabled) == ("E-", "Ex", False, False)
    click(desktop, disk, 100)                    # unlocks it and puts the caret there
    xdotool(desktop, "key", "End", "BackSpace", "BackSpace")
    xdotool(desktop, "type", "Z")
    assert by_id(controls(desktop, disk))[102].text == "ABZ"
    click_rect(desktop, list_items(desktop, disk, 1121)["[browsed]"], repeat=2)
    assert wait_for(lambda: by_id(controls(desktop, disk))[1088].text.lower().endswith("browsed"))
    before = (app_dir / "SHOTBOX.INI").read_bytes()
    click(desktop, disk, IDCANCEL)               # Cancel writes nothing
    assert gone(desktop, disk)
    assert (app_dir / "SHOTBOX.INI").read_bytes() == before
    # Nor does the program keep the folder it browsed to open: it can go.
    desktop.run(["cmd", "/c", "rmdir", windows_path(app_dir / "browsed")])
    assert not (app_dir / "browsed").exists(), "the program holds the browsed folder as its current directory"
    click(desktop, setup, IDCANCEL)
    program.close()


def test_disk_saving_setup_on_a_removable_drive_for_this_run_only(desktop, app_dir, tmp_path, floppy):
    fixed = tmp_path / "fixed"
    fixed.mkdir()
    write_ini(app_dir, CapDir=windows_path(fixed), CapFormat=1)
    program = Pictrap(desktop, app_dir)
    setup, disk = open_disk_setup(desktop, program)
    click(desktop, disk, 1137)                   # the drive list, A: first
    xdotool(desktop, "key", "Home", "Return")
    assert wait_for(lambda: by_id(controls(desktop, disk))[1088].text.upper() == "A:\\")
    click(desktop, disk, 1136)
    xdotool(desktop, "key", "End", "Return")     # PNG, the last
    click(desktop, disk, IDOK)
    assert gone(desktop, disk)
    ini = read_ini(app_dir)
    assert ini["CapDir"].lower() == windows_path(fixed).lower(), "the file keeps the fixed directory"
    assert ini["CapFormat"] == "4"
    click(desktop, setup, IDOK)
    assert gone(desktop, setup)
    start_pattern(desktop, 200, 150, 300, 200)
    hotkey(desktop)
    assert wait_file(floppy / "cap1.png", timeout=30), "this run captures onto the floppy"
    assert not list(fixed.iterdir())
    assert read_ini(app_dir)["CapDir"].lower() == windows_path(fixed).lower()
    program.close()


def test_help_of_our_own_without_a_help_file(desktop, app_dir):
    program = Pictrap(desktop, app_dir)
    program.command(HELP)
    help_window = find_window(desktop, "Pictrap Help")
    rc, text_box = desktop.wintest("child", str(help_window), "100")
    assert rc == 0
    rc, text = desktop.wintest("gettext", text_box.strip())
    assert rc == 0
    for phrase in ("Ctrl+Alt+F11", "Full Screen", "Defined Size", "Disk Saving Setup", "SHOTBOX.INI",
                   "[Pictrap]", "CapDir", "AutoNamePrefix", "IncFileName", "begin with Cap, whatever the prefix"):
        assert phrase in text, phrase
    assert len(text.splitlines()) > 40, "one line per line of the text"
    assert desktop.info(program.main)["enabled"] == "1", "help leaves the program usable"
    window_shot(desktop, help_window, "help")
    xdotool(desktop, "key", "Escape")            # the message loop gives the window its keys
    assert gone(desktop, help_window)

    program.command(HELP)
    help_window = find_window(desktop, "Pictrap Help")
    program.command(HELP)                        # a second command keeps one window
    time.sleep(0.5)
    assert desktop.find("Pictrap Help", "#32770", 200) == help_window
    start_pattern(desktop, 200, 150, 300, 200)
    hotkey(desktop)                              # captures go on while it is open
    assert wait_file(app_dir / "cap1.png")
    program.close()                              # the end of the run closes it
    assert gone(desktop, help_window)


def test_help_opens_winhelp_when_a_help_file_lies_beside_the_program(desktop, app_dir):
    (app_dir / "SHOTBOX.HLP").write_bytes(b"not a help file")
    program = Pictrap(desktop, app_dir)
    program.command(HELP)
    # Wine's WinHelp reads the file and, as it is no help file, says so.
    report = find_window(desktop, "ERROR")
    texts = [t for (_i, cls, t) in desktop.texts(report) if cls == "Static" and t]
    assert any("SHOTBOX.HLP" in t.upper() and windows_path(app_dir).upper() in t.upper() for t in texts), texts
    assert desktop.find("Pictrap Help", "#32770", 300) is None
    desktop.wintest("post", str(report), str(WM_COMMAND), str(IDOK))
    program.close()
