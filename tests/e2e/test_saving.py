"""Settings, naming, saving and the status window under Wine, driven through
the shell test program, which reads SHOTBOX.INI beside itself as the program
does."""
import shutil
import subprocess
import time

import pytest
from PIL import Image

from conftest import BIN, ROOT, wait_for

WM_COMMAND = 0x111
IDYES, IDNO, IDOK = 6, 7, 1
SCREENS = ROOT / "build" / "e2e-screens"


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


@pytest.fixture
def shell(app_dir):
    shutil.copy2(BIN / "shelltest.exe", app_dir / "shelltest.exe")
    return app_dir


def write_ini(folder, **keys):
    text = "[Pictrap]\r\n" + "".join(f"{k}={v}\r\n" for k, v in keys.items())
    (folder / "SHOTBOX.INI").write_bytes(text.encode("ascii"))


def read_ini(folder):
    keys = {}
    for line in (folder / "SHOTBOX.INI").read_text("ascii").splitlines():
        if "=" in line:
            k, v = line.split("=", 1)
            keys[k.strip()] = v.strip()
    return keys


def run_shell(desktop, folder, *args, timeout=60):
    r = desktop.run([folder / "shelltest.exe"] + list(args), cwd=folder, timeout=timeout)
    out = r.stdout.replace("\r", "")
    return r.returncode, dict(line.split("=", 1) for line in out.splitlines() if "=" in line)


def finished_output(desktop, proc):
    """The KEY=VALUE lines a shell test program printed, once it ended well."""
    assert proc.wait(timeout=30) == 0
    return dict(line.split("=", 1) for line in desktop.output(proc).splitlines() if "=" in line)


def capture_dir(tmp_path, *names, directories=()):
    shots = tmp_path / "shots"
    shots.mkdir()
    for n in names:
        (shots / n).write_bytes(b"x")
    for d in directories:
        (shots / d).mkdir()
    return shots


def test_defaults_without_a_settings_file(desktop, shell):
    rc, s = run_shell(desktop, shell, "settings")
    assert rc == 0
    assert (s["Mode"], s["SizeWd"], s["SizeHt"], s["Alt"], s["Ctrl"], s["Shift"], s["Key"]) == \
        ("1", "2", "2", "1", "1", "0", "10")
    assert (s["AutoSave"], s["AutoName"], s["AutoNamePrefix"], s["CapFormat"]) == ("1", "1", "Cap", "4"), \
        "saving is on, so a first run saves PNG"
    assert s["CapDir"].lower() == windows_path(shell).lower(), "the current directory"
    assert not (shell / "SHOTBOX.INI").exists(), "loading writes nothing"


def test_settings_file_beside_the_program_with_corrections(desktop, shell, tmp_path):
    shots = capture_dir(tmp_path, "cap5.bmp", "CAP12.bmp", "Cap40.pcx", "Cap50.bmp", "Cap60.bmp",
                        directories=["CAP99.bmp"])
    for name, attribute in (("Cap50.bmp", "+h"), ("Cap60.bmp", "+s")):
        assert desktop.run(["attrib", attribute, windows_path(shots / name)]).returncode == 0
    write_ini(shell, Mode=9, Key=300, SizeWd=1, SizeHt=99999, AutoNamePrefix="ABCDEFGHIJK", CapFormat=1,
              CapDir=windows_path(shots), Greyscale=1)
    rc, s = run_shell(desktop, shell, "settings")
    assert rc == 0
    assert s["Mode"] == "3"
    assert s["Key"] == "44"
    assert (s["SizeWd"], s["SizeHt"]) == ("1024", "768"), "the desktop's client size"
    assert s["AutoNamePrefix"] == "ABCDEFGH"
    assert s["Greyscale"] == "1"
    assert s["NextCaptureNumber"] == "13", \
        "cap5 and CAP12 count; the directory CAP99, the PCX and the hidden and system files do not"


def test_numbering_continues_past_four_digits(desktop, shell, tmp_path):
    shots = capture_dir(tmp_path, "Cap1234.bmp", "Cap77.bmp")
    write_ini(shell, CapFormat=1, CapDir=windows_path(shots) + "\\")
    assert run_shell(desktop, shell, "settings")[1]["NextCaptureNumber"] == "1235"


def test_capture_setup_keys_are_written_back(desktop, shell, tmp_path):
    shots = capture_dir(tmp_path, "Cap3.tif")
    write_ini(shell, CapFormat=3, CapDir=windows_path(shots), AutoNamePrefix="Img")
    rc, s = run_shell(desktop, shell, "save-setup", "Key=3", "Mode=5", "Shift=1")
    assert rc == 0 and s["NextCaptureNumber"] == "4"
    ini = read_ini(shell)
    assert (ini["Key"], ini["Mode"], ini["Shift"], ini["Ctrl"], ini["AutoSave"]) == ("3", "5", "1", "1", "1")
    assert ini["AutoNamePrefix"] == "Img", "keys Capture Setup does not own stay as they were"
    assert run_shell(desktop, shell, "settings")[1]["Key"] == "3"


def test_a_program_too_deep_for_its_path_buffer_uses_no_settings_file(desktop, app_dir, tmp_path):
    # The program 150 characters deep: its path cut at 127 characters would end
    # inside its own folder's name, and the last separator left would name the
    # folder above, whose settings file holds another program's keys.
    above = tmp_path / ("p" * (120 - len(windows_path(tmp_path)) - 1))
    folder = above / ("q" * 20)
    folder.mkdir(parents=True)
    assert len(windows_path(above)) == 120 and len(windows_path(folder / "shelltest.exe")) > 150
    for name in ("shelltest.exe", "SBMSG32.DLL"):
        shutil.copy2(BIN / name, folder / name)
    write_ini(above, Key=3, Mode=5, CapFormat=1, AutoNamePrefix="Img")
    before = (above / "SHOTBOX.INI").read_bytes()
    rc, s = run_shell(desktop, folder, "settings")
    assert rc == 0
    assert (s["Key"], s["Mode"], s["CapFormat"], s["AutoNamePrefix"]) == ("10", "1", "4", "Cap"), "the defaults"
    assert run_shell(desktop, folder, "save-setup", "Key=4")[0] == 0
    assert (above / "SHOTBOX.INI").read_bytes() == before, "nothing written to the other folder's file"
    assert sorted(p.name for p in folder.iterdir()) == ["SBMSG32.DLL", "shelltest.exe"], "nor a file of its own"


def test_automatic_name_continues_the_numbering(desktop, shell, tmp_path):
    shots = capture_dir(tmp_path, "cap5.bmp", "CAP12.bmp", directories=["CAP99.bmp"])
    write_ini(shell, AutoName=1, CapFormat=1, CapDir=windows_path(shots))
    proc = desktop.start([shell / "shelltest.exe", "name"], cwd=shell)
    out = finished_output(desktop, proc)
    assert out["name"] == windows_path(shots) + "\\Cap13.bmp"
    assert out["NextCaptureNumber"] == "14"
    assert (shots / "Cap13.bmp").read_bytes()[:2] == b"BM"


def answer_overwrite(desktop, shell, path, answer):
    proc = desktop.start([shell / "shelltest.exe", "save", windows_path(path), "1", "7", "5"], cwd=shell)
    box = desktop.find("Pictrap", "#32770")
    assert box, "no overwrite question"
    texts = [t for (_i, cls, t) in desktop.texts(box) if cls == "Static" and t]
    desktop.wintest("post", str(box), str(WM_COMMAND), str(answer))
    assert proc.wait(timeout=30) == 0
    return texts


def test_overwrite_question_no_keeps_the_file_and_yes_replaces_it(desktop, shell, tmp_path):
    shots = capture_dir(tmp_path)
    target = shots / "Cap7.bmp"
    target.write_bytes(b"an earlier capture")
    texts = answer_overwrite(desktop, shell, target, IDNO)
    assert texts == [f"The filename, {windows_path(target)}, is already in use.  Would you like to overwrite it."]
    assert target.read_bytes() == b"an earlier capture"

    answer_overwrite(desktop, shell, target, IDYES)
    data = target.read_bytes()
    assert data[:2] == b"BM" and len(data) == 54 + 24 * 5
    assert sorted(p.name for p in shots.iterdir()) == ["Cap7.bmp"], "no temporary file left"


def box_texts(desktop, box):
    return [t for (_i, cls, t) in desktop.texts(box) if cls == "Static" and t]


def test_a_file_it_may_not_replace_or_cannot_look_at_is_kept(desktop, shell, tmp_path):
    shots = capture_dir(tmp_path)
    # Read-only: the question, Yes, and then the refusal; the file untouched.
    kept = shots / "Cap7.bmp"
    kept.write_bytes(b"old data")
    kept.chmod(0o444)
    proc = desktop.start([shell / "shelltest.exe", "save", windows_path(kept), "1", "7", "5"], cwd=shell)
    box = desktop.find("Pictrap", "#32770")
    assert box and "is already in use" in box_texts(desktop, box)[0]
    desktop.wintest("post", str(box), str(WM_COMMAND), str(IDYES))
    assert desktop.wintest("gone", str(box), "10000")[0] == 0
    box = desktop.find("Pictrap", "#32770")
    assert box and box_texts(desktop, box) == ["The file could not be created."]
    desktop.wintest("post", str(box), str(WM_COMMAND), str(IDOK))
    assert proc.wait(timeout=30) == 0
    assert kept.read_bytes() == b"old data"
    assert sorted(p.name for p in shots.iterdir()) == ["Cap7.bmp"], "no temporary file left"

    # A path of 261 characters or more, which the ANSI file calls cannot
    # open, in a folder short enough for the temporary: no question it
    # could not ground, no silent replace either.
    deep = shots / ("d" * (230 - len(windows_path(shots)) - 1))
    deep.mkdir()
    old = deep / ("Cap8" + "x" * 40 + ".bmp")
    old.write_bytes(b"old data")
    assert len(windows_path(deep)) == 230 and len(windows_path(old)) >= 261
    proc = desktop.start([shell / "shelltest.exe", "save", windows_path(old), "1", "7", "5"], cwd=shell)
    box = desktop.find("Pictrap", "#32770")
    assert box and box_texts(desktop, box) == ["The file could not be created."]
    desktop.wintest("post", str(box), str(WM_COMMAND), str(IDOK))
    assert proc.wait(timeout=30) == 0
    assert old.read_bytes() == b"old data"
    assert [p.name for p in deep.iterdir()] == [old.name]


def bar_white_starts(image, origin, row):
    """The first white pixel of the bar's row, in client x, right of 13."""
    ox, oy = origin
    for x in range(14, 258):
        if image.getpixel((ox + x, oy + row))[:3] == (255, 255, 255):
            return x
    return None


@pytest.mark.parametrize("steps,edge", [
    ([0], 13), ([50], 133), ([100], 254),
    ([50, 150], 133),   # above 100 changes nothing
    ([100, 0], 13),     # a new operation empties the bar
])
def test_status_window_bar(desktop, shell, steps, edge):
    percent = steps[-1] if steps[-1] <= 100 else steps[0]
    desktop.start([shell / "shelltest.exe", "status"] + [str(p) for p in steps], cwd=shell)
    status = desktop.find("Pictrap", "Status")
    assert status and desktop.wintest("visible", str(status), "10000")[0] == 0
    info = desktop.info(status)
    origin = tuple(map(int, info["origin"].split(",")))
    left, top, right, bottom = map(int, info["rect"].split(","))
    assert (right - left, bottom - top) == (270, 128)
    SCREENS.mkdir(parents=True, exist_ok=True)
    shot = SCREENS / f"status-{'-'.join(map(str, steps))}.png"

    def painted():
        desktop.screenshot(shot)
        with Image.open(shot) as im:
            im = im.convert("RGB")
            return im if bar_white_starts(im, origin, 32) is not None or percent == 100 else None
    image = wait_for(painted, timeout=10)
    assert image is not None
    light = (192, 192, 192)
    white = (255, 255, 255)
    for row in (32, 50):  # above and below the percentage text
        # Filled from 13 up to the edge, empty from just after it to 253; the
        # edge column itself belongs to neither and keeps an earlier paint.
        for x in range(13, edge):
            assert image.getpixel((origin[0] + x, origin[1] + row)) == light, (row, x)
        for x in range(edge + 1, 254):
            assert image.getpixel((origin[0] + x, origin[1] + row)) == white, (row, x)
    # Some dark pixels of the percentage text, in the middle of the bar.
    text = [image.getpixel((origin[0] + x, origin[1] + y)) for x in range(100, 170) for y in range(35, 48)]
    assert any(sum(p) < 200 for p in text), "no percentage text"
    caption_text = [image.getpixel((origin[0] + x, origin[1] + y)) for x in range(60, 210) for y in range(8, 24)]
    assert any(sum(p) < 200 for p in caption_text), "no status text line"

    WM_CLOSE = 0x10
    desktop.wintest("post", str(status), str(WM_CLOSE))
    desktop.wintest("find", "-", "-", "300")
    assert desktop.info(status)["visible"] == "1", "the status window cannot be closed"


def xdotool(desktop, *args):
    subprocess.run(["xdotool"] + [str(a) for a in args], env=desktop.env, check=True, timeout=30)


def click_control(desktop, dialog, control_id):
    rc, out = desktop.wintest("child", str(dialog), str(control_id))
    assert rc == 0, f"no control {control_id:#x}"
    left, top, right, bottom = map(int, desktop.info(int(out))["rect"].split(","))
    xdotool(desktop, "mousemove", (left + right) // 2, (top + bottom) // 2)
    xdotool(desktop, "click", "1")


def save_as(desktop, shell, typed, next_type=0):
    """Runs the Save As branch and answers the dialog with xdotool: the name
    typed into the file-name box, optionally a type that many further down
    the list, then Save."""
    proc = desktop.start([shell / "shelltest.exe", "name"], cwd=shell)
    dialog = desktop.find("Save As", "#32770", 15000)
    assert dialog, "no Save As dialog"
    time.sleep(0.5)
    click_control(desktop, dialog, 0x47C)  # the file-name box
    xdotool(desktop, "key", "End", "shift+Home", "BackSpace")
    xdotool(desktop, "type", typed)
    if next_type:
        click_control(desktop, dialog, 0x470)  # the file type list: BMP, PCX, TIF, PNG
        xdotool(desktop, "key", *["Down"] * next_type, "Return")
        time.sleep(0.3)
    click_control(desktop, dialog, 1)  # Save
    return proc


@pytest.mark.parametrize("down, ext, magic, stored", [(1, "pcx", b"\x0a\x05", "2"), (3, "png", b"\x89PNG", "4")])
def test_save_as_dialog_type_decides_the_extension(desktop, shell, tmp_path, down, ext, magic, stored):
    shots = capture_dir(tmp_path)
    write_ini(shell, AutoName=0, CapFormat=1, CapDir=windows_path(shots))
    proc = save_as(desktop, shell, "shot.txt", next_type=down)
    out = finished_output(desktop, proc)
    assert out["result"] == "0"
    assert out["name"].lower() == (windows_path(shots) + f"\\shot.{ext}").lower()
    assert (shots / f"shot.{ext}").read_bytes()[:len(magic)] == magic
    assert not (shots / "shot.txt").exists()
    ini = read_ini(shell)
    assert ini["CapFormat"] == stored
    assert ini["CapDir"].lower() == windows_path(shots).lower()
    assert out["cwd"].lower() == windows_path(shell).lower(), "the dialog left the current directory in shots"


@pytest.mark.parametrize("key", ["Escape", "Return"])
def test_cancelling_a_pcx_save_from_the_keyboard(desktop, shell, tmp_path, key):
    shots = capture_dir(tmp_path)
    target = shots / "big.pcx"
    proc = desktop.start([shell / "shelltest.exe", "save", windows_path(target), "2", "6000", "3000"], cwd=shell)
    status = desktop.find("Pictrap", "Status", 15000)
    assert status and desktop.wintest("visible", str(status), "30000")[0] == 0
    box = None
    for _ in range(100):  # Esc or Enter on the Cancel button until the save stops
        xdotool(desktop, "key", key)
        box = desktop.find("Pictrap", "#32770", 100)
        if box or proc.poll() is not None:
            break
    assert box, "the save ran to its end: no cancel reached it"
    texts = [t for (_i, cls, t) in desktop.texts(box) if cls == "Static" and t]
    assert texts == ["The operation was cancelled."]
    assert not desktop.info(status)["visible"] == "1", "the status window is hidden before the report"
    desktop.wintest("post", str(box), str(WM_COMMAND), str(IDOK))
    assert proc.wait(timeout=30) == 0
    assert list(shots.iterdir()) == [], "no file, not even a temporary one"


def test_save_as_on_a_removable_drive_keeps_the_stored_directory(desktop, shell, tmp_path, floppy):
    shots = capture_dir(tmp_path)
    write_ini(shell, AutoName=0, CapFormat=1, CapDir=windows_path(shots))
    proc = save_as(desktop, shell, "A:\\shot")
    out = finished_output(desktop, proc)
    assert out["name"].upper() == "A:\\SHOT.BMP"
    assert out["CapDir"].upper() == "A:", "this run uses the floppy's directory"
    assert (floppy / "shot.bmp").exists() or (floppy / "SHOT.BMP").exists()
    ini = read_ini(shell)
    assert ini["CapFormat"] == "1"
    assert ini["CapDir"].lower() == windows_path(shots).lower(), "the file keeps the earlier directory"
