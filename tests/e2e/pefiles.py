"""What a shipped file carries, read with pefile (an independent PE reader):
the DLLs it imports, its version resource, its application manifest and the
time stamps of its headers. Shared by the binary checks of the build and
those of the release artefacts."""
import re
import xml.etree.ElementTree as ET
from pathlib import Path

import pefile

ROOT = Path(__file__).resolve().parents[2]
SYSTEM_DLLS = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "COMDLG32.DLL", "MSVCRT.DLL",
               "ADVAPI32.DLL", "SHELL32.DLL", "WINSPOOL.DRV"}
SHIPPED = ("SHOTBOX.EXE", "SBHOOK32.DLL", "SBMSG32.DLL")
DESCRIPTIONS = {"SHOTBOX.EXE": "Pictrap screen capture", "SBHOOK32.DLL": "Pictrap capture library",
                "SBMSG32.DLL": "Pictrap error messages"}
RT_MANIFEST = 24
# The Windows versions the program declares it was tested on: Vista, 7, 8,
# 8.1, and 10 and 11.
SUPPORTED_OS = {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}


def version_h():
    """(major, minor, text, about text) as shell/version.h defines them."""
    text = (ROOT / "shell" / "version.h").read_text()
    define = dict(re.findall(r"^#define (PICTRAP_\w+) (.+)$", text, re.M))
    about = define["PICTRAP_ABOUT_VERSION_TEXT"].replace("PICTRAP_VERSION_TEXT", define["PICTRAP_VERSION_TEXT"])
    return (int(define["PICTRAP_VERSION_MAJOR"]), int(define["PICTRAP_VERSION_MINOR"]),
            define["PICTRAP_VERSION_TEXT"].strip('"'), "".join(re.findall(r'"([^"]*)"', about)))


def load(path):
    return pefile.PE(str(path))


def imported_dlls(pe):
    return {entry.dll.decode().upper() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}


def version_info(pe):
    """(fixed file version as a tuple, file type, {string: value}) of the first translation."""
    fixed = pe.VS_FIXEDFILEINFO[0]
    version = (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF, fixed.FileVersionLS >> 16,
               fixed.FileVersionLS & 0xFFFF)
    strings = {}
    for info in pe.FileInfo[0]:
        for table in getattr(info, "StringTable", []):
            strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    return version, fixed.FileType, strings


def resources(pe, type_id):
    """[(name id, language, bytes)] of every resource of a type."""
    out = []
    for kind in getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None).entries:
        if kind.id != type_id:
            continue
        for name in kind.directory.entries:
            for lang in name.directory.entries:
                data = pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
                out.append((name.id, lang.id, data))
    return out


def manifest(pe):
    """The application manifest (resource 24/1) as an XML tree, or None."""
    found = [data for (name, _lang, data) in resources(pe, RT_MANIFEST) if name == 1]
    return ET.fromstring(found[0]) if found else None


def manifest_settings(root):
    """What the manifest asks for: execution level, uiAccess, supported OS ids, dpiAware, dpiAwareness."""
    def local(tag):
        return tag.rsplit("}", 1)[-1]
    out = {"supportedOS": set()}
    for element in root.iter():
        name = local(element.tag)
        if name == "requestedExecutionLevel":
            out["level"], out["uiAccess"] = element.get("level"), element.get("uiAccess")
        elif name == "supportedOS":
            out["supportedOS"].add(element.get("Id").lower())
        elif name in ("dpiAware", "dpiAwareness"):
            out[name] = (element.text or "").strip()
    return out


def time_stamps(pe):
    """Every time stamp in the headers: file header, exports, resources, debug entries."""
    stamps = {"file header": pe.FILE_HEADER.TimeDateStamp}
    if hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
        stamps["exports"] = pe.DIRECTORY_ENTRY_EXPORT.struct.TimeDateStamp
    if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        stamps["resources"] = pe.DIRECTORY_ENTRY_RESOURCE.struct.TimeDateStamp
    for i, entry in enumerate(getattr(pe, "DIRECTORY_ENTRY_DEBUG", [])):
        stamps[f"debug {i}"] = entry.struct.TimeDateStamp
    return stamps


def check_shipped_file(path):
    """Every check a shipped binary must pass; returns nothing, asserts."""
    name = Path(path).name.upper()
    pe = load(path)
    dlls = imported_dlls(pe)
    assert dlls <= SYSTEM_DLLS | {"SBHOOK32.DLL", "SBMSG32.DLL"}, (name, dlls)
    major, minor, text, _about = version_h()
    version, file_type, strings = version_info(pe)
    assert version == (major, minor, 0, 0), (name, version)
    assert file_type == (1 if name.endswith(".EXE") else 2), (name, file_type)  # VFT_APP, VFT_DLL
    assert strings == {
        "CompanyName": "The Pictrap developers", "FileDescription": DESCRIPTIONS[name], "FileVersion": text,
        "InternalName": name, "LegalCopyright": "Copyright (C) The Pictrap developers", "OriginalFilename": name,
        "ProductName": "Pictrap", "ProductVersion": text}, (name, strings)
    assert set(time_stamps(pe).values()) == {0}, (name, time_stamps(pe))
    assert not hasattr(pe, "DIRECTORY_ENTRY_DEBUG"), f"{name} carries debug information"
    # The C++ runtime's exception support brings its unwinder and demangler
    # along, and with them this message: none of it belongs in what ships.
    assert b"terminate called after throwing" not in Path(path).read_bytes(), name
    found = manifest(pe)
    if name == "SHOTBOX.EXE":
        assert found is not None, "SHOTBOX.EXE has no manifest"
        settings = manifest_settings(found)
        assert (settings["level"], settings["uiAccess"]) == ("asInvoker", "false")
        assert settings["supportedOS"] == SUPPORTED_OS
        assert settings.get("dpiAware") == "true/pm" and "dpiAwareness" not in settings, settings
    else:
        assert found is None, f"{name} is a library and needs no manifest"
