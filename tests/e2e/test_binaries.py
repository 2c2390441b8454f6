"""What the shipped files import and export, read with objdump; their
version resources, manifest and header time stamps, read with pefile and as
Windows reads them."""
import re
import subprocess

import pytest

from conftest import BIN
from pefiles import SHIPPED, SYSTEM_DLLS, check_shipped_file, version_h
from pictrap import windows_path

OBJDUMP = "i686-w64-mingw32-objdump"
RUNTIME_DLLS = re.compile(r"libgcc|libstdc\+\+|libwinpthread", re.I)


def private_headers(name):
    return subprocess.run([OBJDUMP, "-p", str(BIN / name)], check=True, capture_output=True,
                          text=True).stdout


def imports(text):
    """{dll name: [(ordinal, name or None)]} from objdump's import tables."""
    result, current = {}, None
    for line in text.splitlines():
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if m:
            current = m.group(1).upper()
            result[current] = []
            continue
        m = re.match(r"\s*[0-9a-f]{8}\s+(\d+)\s+(\S+)", line)
        if current and m:
            result[current].append((int(m.group(1)), None if m.group(2) == "<none>" else m.group(2)))
        elif not line.strip():
            current = None if current and result[current] else current
    return result


@pytest.mark.parametrize("name", ["SHOTBOX.EXE", "SBHOOK32.DLL", "SBMSG32.DLL"])
def test_only_system_dlls_and_our_own(name):
    dlls = set(imports(private_headers(name)))
    assert not [d for d in dlls if RUNTIME_DLLS.search(d)]
    assert dlls <= SYSTEM_DLLS | {"SBHOOK32.DLL", "SBMSG32.DLL"}, dlls


def test_shotbox_binds_its_libraries_by_ordinal():
    table = imports(private_headers("SHOTBOX.EXE"))
    assert sorted(table["SBHOOK32.DLL"]) == [(10, None), (16, None), (20, None), (24, None)]
    assert table["SBMSG32.DLL"] == [(10, None)]


def exports(name):
    text = private_headers(name)
    base = int(re.search(r"Ordinal Base\s+(\d+)", text).group(1))
    table = text.split("[Ordinal/Name Pointer] Table", 1)[1].strip("\n").split("\n\n", 1)[0]
    return {n: int(i) + base for i, n in re.findall(r"\[\s*(\d+)\]\s+(\S+)", table)}


def test_sbhook32_exports_each_name_at_its_ordinal():
    assert exports("SBHOOK32.DLL") == {
        "InitScreenCaptureKeystroke": 10, "InitScreenCaptureMouseClick": 11,
        "InitScreenCaptureTimed": 12, "KeyboardHook": 13, "StartCapMouseHook": 14,
        "TimerHook": 15, "EndCapture": 16, "CaptureScreen": 20, "MouseHookArea": 21,
        "MouseHookObject": 22, "MouseHookBox": 23, "GetLastCaptureRect": 24}


def test_sbmsg32_exports_show_error_at_10():
    assert exports("SBMSG32.DLL") == {"ShowError": 10}


def test_sbhk_dat_is_shared_initialised_data():
    text = subprocess.run([OBJDUMP, "-h", str(BIN / "SBHOOK32.DLL")], check=True,
                          capture_output=True, text=True).stdout
    m = re.search(r"sbhk_dat\s+([0-9a-f]+).*\n\s*(.*)", text)
    assert m, "no sbhk_dat section"
    assert int(m.group(1), 16) >= 100, "CaptureState is not laid out in the section"
    flags = {f.strip() for f in m.group(2).split(",")}
    assert {"CONTENTS", "ALLOC", "LOAD", "DATA", "SHARED"} <= flags
    assert "READONLY" not in flags


def test_program_is_a_gui_program():
    assert re.search(r"Subsystem\s+00000002", private_headers("SHOTBOX.EXE"))


@pytest.mark.parametrize("name", SHIPPED)
def test_version_resource_manifest_and_no_time_stamps(name):
    check_shipped_file(BIN / name)


def test_version_as_windows_reads_it(desktop):
    """What Explorer's Properties shows comes through GetFileVersionInfo."""
    major, minor, text, _about = version_h()
    for name in SHIPPED:
        rc, out = desktop.wintest("version", windows_path(BIN / name))
        assert rc == 0, name
        values = dict(line.split("=", 1) for line in out.splitlines())
        assert values["fixed"] == f"{major}.{minor}.0.0" and values["translation"] == "040904e4"
        assert (values["ProductName"], values["ProductVersion"], values["OriginalFilename"]) == \
            ("Pictrap", text, name)
