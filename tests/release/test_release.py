"""The release as a user gets it: the checksums, the zip and the installer
from dist/, run under Wine in fresh 32-bit prefixes; and a second release
build of the same commit, which must give the same bytes."""
import hashlib
import os
import re
import shlex
import subprocess
import time
import zipfile
from pathlib import Path

from PIL import Image

from conftest import ROOT, save_screen
from pefiles import SHIPPED, check_shipped_file, load, manifest, manifest_settings, version_h, version_info
from pictrap import (WM_CLOSE, client_rect, differing, hotkey, pattern_image, start_pattern, wait_file,
                     window_rect, windows_path, write_ini, xdotool)

UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pictrap"
RUN_ONCE_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\RunOnce"
INSTALLED = ["README.TXT", "SBHOOK32.DLL", "SBMSG32.DLL", "SHOTBOX.EXE", "Uninstall.exe"]


def sha256(path):
    return hashlib.sha256(Path(path).read_bytes()).hexdigest()


def wait_until(predicate, timeout=60.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.2)
    return bool(predicate())


# --- the artefacts themselves ----------------------------------------------

def test_checksums_zip_read_me_and_every_binary(release, tmp_path):
    assert release.sums.read_text().splitlines() == [
        f"{sha256(release.zip)}  {release.zip.name}", f"{sha256(release.setup)}  {release.setup.name}"]

    # Flat, so that Windows' "Extract All" gives one folder; a fixed order,
    # one date, and nothing of the machine that packed it.
    assert [i.filename for i in release.infos] == ["SHOTBOX.EXE", "SBHOOK32.DLL", "SBMSG32.DLL", "README.TXT"]
    assert len({i.date_time for i in release.infos}) == 1
    assert all(i.create_system == 0 and i.extra == b"" and i.compress_type == zipfile.ZIP_DEFLATED
               for i in release.infos)

    for name in SHIPPED:
        (tmp_path / name).write_bytes(release.members[name])
        check_shipped_file(tmp_path / name)

    raw = release.members["README.TXT"]
    assert b"\n" not in raw.replace(b"\r\n", b""), "CR LF lines, for Notepad"
    text = raw.decode("ascii")
    assert text.startswith(f"Pictrap {release.version} - ") and "@" not in text
    for words in ("Ctrl+Alt+F11", "cap1.png", "Pictures folder", "SHOTBOX.INI",
                  r"%LOCALAPPDATA%\Programs\Pictrap", "Full Screen", "Area", "Client Area", "Window", "Object",
                  "Defined Size", "captures stay", f"Pictrap-{release.version}-SHA256SUMS.txt"):
        assert words in text, words
    assert max(map(len, text.splitlines())) <= 78

    # The installer: its own version resource, and it asks for no rights.
    major, minor, version, _about = version_h()
    setup = load(release.setup)
    fixed, _type, strings = version_info(setup)
    assert fixed == (major, minor, 0, 0)
    assert (strings["ProductName"], strings["ProductVersion"], strings["FileDescription"],
            strings["OriginalFilename"]) == ("Pictrap", version, f"Pictrap {version} Setup", release.setup.name)
    assert manifest_settings(manifest(setup))["level"] == "asInvoker"


def test_a_second_release_build_is_byte_identical(release, tmp_path):
    out = tmp_path / "out"
    env = {k: v for k, v in os.environ.items() if k != "SOURCE_DATE_EPOCH"}
    r = subprocess.run([ROOT / "scripts" / "release.sh", "--out", out, "--work", tmp_path / "work"], cwd=ROOT,
                       env=env, capture_output=True, text=True, timeout=1200)
    assert r.returncode == 0, r.stdout[-2000:] + r.stderr[-2000:]
    for made in (release.zip, release.setup, release.sums):
        assert (out / made.name).read_bytes() == made.read_bytes(), f"{made.name} differs"


# --- in a fresh prefix -------------------------------------------------------

def user_folder(desktop):
    return next(p for p in (desktop.prefix / "drive_c" / "users").iterdir() if p.name != "Public")


def in_windows(desktop, path):
    """C:\\... for a path inside the prefix's drive C."""
    return "C:\\" + str(Path(path).relative_to(desktop.prefix / "drive_c")).replace("/", "\\")


def from_windows(desktop, path):
    """The file in the prefix a C:\\... path names."""
    return desktop.prefix / "drive_c" / path.strip('"')[3:].replace("\\", "/")


def registry_values(desktop, key):
    """{name: value} of a key, or None when it does not exist."""
    r = desktop.run(["reg", "query", key])
    if r.returncode != 0:
        return None
    return {m.group(1): m.group(3) for m in re.finditer(r"^ {4}(\S.*?) {4}(REG_\w+) {4}(.*?)\r?$", r.stdout, re.M)}


def all_files(desktop):
    """Every file and folder of drive C and of the home its Pictures is linked to."""
    found = set()
    for base in (desktop.prefix / "drive_c", desktop.home):
        for folder, dirs, files in os.walk(base):
            found.update(Path(folder) / n for n in dirs + files)
    return found


def registry_keys(desktop):
    export = desktop.root / "registry.reg"
    desktop.run(["regedit", "/E", export])
    text = export.read_bytes().decode("utf-16")
    # Wine renames its display adapter keys in every session.
    return {line for line in text.splitlines()
            if line.startswith("[") and "\\Control\\Video\\" not in line and not line.endswith("\\Control\\Video]")}, text


def capture_pattern(desktop, folder, name="cap1.png"):
    """Presses the hot key over a window of known contents; checks that the
    whole screen landed in folder/name with the window's pixels in it."""
    _proc, pattern = start_pattern(desktop, 200, 150, 400, 300)
    hotkey(desktop)
    assert wait_file(folder / name), sorted(p.name for p in folder.iterdir())
    left, top, right, bottom = client_rect(desktop, pattern)
    with Image.open(folder / name) as capture:
        assert capture.size == (1024, 768)
        assert differing(capture.convert("RGB").crop((left, top, right, bottom)),
                         pattern_image(right - left, bottom - top)) == []


def test_silent_install_log_in_capture_and_uninstall(release, fresh_desktop):
    d = fresh_desktop
    user = user_folder(d)
    programs = user / "AppData" / "Local" / "Programs" / "Pictrap"
    menu = user / "AppData" / "Roaming" / "Microsoft" / "Windows" / "Start Menu" / "Programs"
    shortcuts = [menu / "Pictrap.lnk", menu / "StartUp" / "Pictrap.lnk"]
    files_before = all_files(d)
    keys_before, _text = registry_keys(d)

    assert d.run([release.setup, "/S"], timeout=180).returncode == 0
    assert sorted(p.name for p in programs.iterdir()) == INSTALLED
    for name in SHIPPED + ("README.TXT",):
        assert (programs / name).read_bytes() == release.members[name], name
    assert all(s.exists() for s in shortcuts)
    location = in_windows(d, programs)
    entry = registry_values(d, UNINSTALL_KEY)
    assert {k: v for k, v in entry.items() if k != "EstimatedSize"} == {
        "DisplayName": "Pictrap", "DisplayVersion": release.version, "Publisher": "The Pictrap developers",
        "DisplayIcon": location + "\\SHOTBOX.EXE,0", "InstallLocation": location,
        "UninstallString": f'"{location}\\Uninstall.exe"', "QuietUninstallString": f'"{location}\\Uninstall.exe" /S',
        "NoModify": "0x1", "NoRepair": "0x1", "VersionMajor": f"0x{version_h()[0]:x}",
        "VersionMinor": f"0x{version_h()[1]:x}"}
    assert int(entry["EstimatedSize"], 16) * 1024 >= sum(len(release.members[n]) for n in SHIPPED)

    # A new session: the log-in shortcut starts Pictrap in the Pictures folder.
    d.end_programs()
    assert d.run(["wineboot"], timeout=180).returncode == 0
    hwnd = d.find("Pictrap", "Pictrap", 30000)
    assert hwnd, "Pictrap did not start at log-in"
    capture_pattern(d, d.home)

    # Installed again over it, without the log-in shortcut this time: the
    # running copy is closed, and its hook library, still loaded in the
    # pattern window's process, set aside. A silent update (nobody sees the
    # finish page) starts the new version again, in the Pictures folder, so
    # the hot key does not stop working until the next log-in.
    assert d.run([release.setup, "/S", "/NOSTARTUP"], timeout=180).returncode == 0
    assert d.wintest("gone", str(hwnd), "10000")[0] == 0
    assert sorted(p.name for p in programs.iterdir()) == INSTALLED
    assert (programs / "SBHOOK32.DLL").read_bytes() == release.members["SBHOOK32.DLL"]
    assert shortcuts[0].exists() and not shortcuts[1].exists()
    again = d.find("Pictrap", "Pictrap", 30000)
    assert again and again != hwnd, "the updated Pictrap runs again"
    capture_pattern(d, d.home, "cap2.png")
    d.wintest("post", str(again), str(WM_CLOSE))
    assert d.wintest("gone", str(again), "10000")[0] == 0

    # From the Start menu, with settings that save into the program's own
    # folder; it stays running, and its hook library stays loaded in the
    # pattern window's process.
    write_ini(programs, CapDir=location, CapFormat=1)
    d.start(["start", "/unix", shortcuts[0]])
    assert d.find("Pictrap", "Pictrap", 30000)
    capture_pattern(d, programs, "cap1.bmp")

    quiet = shlex.split(entry["QuietUninstallString"], posix=False)
    assert d.run([quiet[0].strip('"')] + quiet[1:], timeout=180).returncode == 0
    # The uninstaller goes on from a copy in Temp; its last step is the note
    # that removes that copy at the next log-in.
    assert wait_until(lambda: any(n.startswith("Pictrap ~nsu") for n in registry_values(d, RUN_ONCE_KEY) or {}))
    assert d.find("Pictrap", "Pictrap", 200) is None, "the uninstaller closes a running Pictrap"
    assert sorted(p.name for p in programs.iterdir()) == ["cap1.bmp"], "only the capture stays, with its folder"
    assert (d.home / "cap1.png").exists() and (d.home / "cap2.png").exists()
    assert not any(s.exists() for s in shortcuts)
    assert registry_values(d, UNINSTALL_KEY) is None

    # The hook library, still loaded elsewhere at the reinstall and at the
    # uninstall, was moved into Temp each time; those files and the
    # uninstaller's copy go at the next log-in.
    later = registry_values(d, RUN_ONCE_KEY)
    assert all(n.startswith("Pictrap ") for n in later) and len(later) == 3
    pending = [from_windows(d, shlex.split(cmd, posix=False)[-1]) for cmd in later.values()]
    set_aside = [p for p in pending if p.is_file()]
    assert len(set_aside) == 2 and all(p.read_bytes() == release.members["SBHOOK32.DLL"] for p in set_aside)

    # Nothing else of ours: besides the captures and what the next log-in
    # removes, only the standard places the installer filled stay: the
    # per-user Programs folder and the Uninstall key.
    added = all_files(d) - files_before
    expected = {programs, programs / "cap1.bmp", d.home / "cap1.png", d.home / "cap2.png", programs.parent}
    for p in pending:
        expected |= {p} | ({q for q in p.rglob("*")} if p.is_dir() else set())
    # Wine's own mirror of the Start menu in the home's desktop menus.
    added = {p for p in added if not str(p).startswith(str(d.home / ".local")) and
             not str(p).startswith(str(d.home / ".config"))}
    assert added == expected
    keys_after, text = registry_keys(d)
    as_user = {re.sub(r"^\[HKEY_USERS\\S-[^\\]+\\", lambda _m: "HKCU\\", k).rstrip("]") for k in keys_after - keys_before}
    # Wine's own record of settings changed for this session only (volatile,
    # never saved), which Wine makes itself as programs start and the mouse
    # is first used: notepad and one click alone make the same keys.
    as_user = {k for k in as_user if not k.startswith("HKCU\\Software\\Wine\\Temporary System Parameters")}
    assert as_user <= {UNINSTALL_KEY.rsplit("\\", 1)[0], RUN_ONCE_KEY}, as_user
    assert not keys_before - keys_after
    mentions, key = [], None
    for line in text.splitlines():
        key = line if line.startswith("[") else key
        if "pictrap" in line.lower() and not key.endswith(r"\Software\Wine\MenuFiles]"):
            mentions.append((key.rsplit("\\", 1)[-1], line.split("=", 1)[0]))
    # Wine keeps its own note of the desktop menu entry it made for the
    # Start-menu shortcut (MenuFiles), which it does not remove.
    assert sorted(mentions) == sorted(("RunOnce]", f'"{name}"') for name in later)

    # The next log-in, as Windows runs the RunOnce commands (Wine's start-up
    # runs only the machine's).
    d.end_programs()
    for cmd in later.values():
        # Word by word: no path here has a space to keep together.
        assert d.run([word.strip('"') for word in shlex.split(cmd, posix=False)]).returncode == 0
    assert not any(p.exists() for p in pending)


def test_zip_unpacked_into_an_empty_folder_runs_and_captures(release, fresh_desktop):
    d = fresh_desktop
    folder = d.prefix / "drive_c" / "Pictrap"
    folder.mkdir()
    with zipfile.ZipFile(release.zip) as archive:
        archive.extractall(folder)
    assert sorted(p.name for p in folder.iterdir()) == sorted(release.members)
    rc, out = d.wintest("version", windows_path(folder / "SHOTBOX.EXE"))
    assert rc == 0 and f"ProductVersion={release.version}\n" in out

    # As a double click in Explorer starts it: in its own folder.
    proc = d.start([folder / "SHOTBOX.EXE"], cwd=folder)
    hwnd = d.find("Pictrap", "Pictrap", 30000)
    assert hwnd
    assert d.info(hwnd)["dpi-awareness"] == "2"
    rc, modules = d.wintest("modules", d.info(hwnd)["pid"])
    assert {"SBHOOK32.DLL", "SBMSG32.DLL"} <= set(modules.upper().split())
    capture_pattern(d, folder)
    save_screen(d, "zip-capture-under-wine.png")
    d.wintest("post", str(hwnd), str(WM_CLOSE))
    assert proc.wait(timeout=30) == 0
    assert sorted(p.name for p in folder.iterdir()) == sorted(list(release.members) + ["cap1.png"])


def page_with(desktop, wizard, text, timeout=30.0):
    """Waits until the wizard shows a page with this text."""
    return wait_until(lambda: any(t == text for (_i, _c, t) in desktop.texts(wizard)), timeout)


def test_installer_pages_and_its_finish_starting_pictrap(release, fresh_desktop):
    """The installer as a user clicks through it, with Enter on each page."""
    d = fresh_desktop
    user = user_folder(d)
    setup = d.start([release.setup])
    wizard = d.find(f"Pictrap {release.version} Setup", "#32770", 60000)
    assert wizard
    assert page_with(d, wizard, f"Welcome to Pictrap {release.version} Setup")
    save_screen(d, "installer-welcome.png", window_rect(d, wizard))
    xdotool(d, "key", "Return")
    assert page_with(d, wizard, "Choose Components")
    save_screen(d, "installer-components.png", window_rect(d, wizard))
    xdotool(d, "key", "Return")
    assert page_with(d, wizard, "Choose Install Location")
    xdotool(d, "key", "Return")
    assert page_with(d, wizard, f"Completing Pictrap {release.version} Setup", 120)
    save_screen(d, "installer-finish.png", window_rect(d, wizard))
    xdotool(d, "key", "Return")  # Finish, with "Start Pictrap now" ticked
    hwnd = d.find("Pictrap", "Pictrap", 30000)
    assert hwnd, "the finish page did not start Pictrap"
    assert setup.wait(timeout=60) == 0
    programs = user / "AppData" / "Local" / "Programs" / "Pictrap"
    assert sorted(p.name for p in programs.iterdir()) == INSTALLED, "into the offered folder"
    capture_pattern(d, d.home)

    # Its commands, in the menu of its icon.
    xdotool(d, "mousemove", 40, 756, "click", 1)
    assert d.wintest("find", "-", "#32768", "5000")[0] == 0
    time.sleep(0.5)
    save_screen(d, "pictrap-menu.png", (0, 440, 620, 768))
    xdotool(d, "key", "Escape")
