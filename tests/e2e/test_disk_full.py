"""The Windows writers on a drive that fills up: status 203, nothing of
theirs left behind, and the file they were to replace still intact."""
import os
import struct
import subprocess

import pytest

from conftest import BIN

FORMATS = {"bmp": "bmp", "pcx": "pcx", "tiff": "tif", "tiff-packbits": "tif", "png": "png"}


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def noisy_dib(width, height):
    """A 24-bit DIB that no run-length code can shrink below the drive's size."""
    s = (24 * width + 31) // 32 * 4
    pixels = os.urandom(s * height)
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, s * height, 0, 0, 0, 0) + pixels


@pytest.fixture
def full_drive(desktop, tmp_path):
    if os.geteuid() != 0:
        pytest.skip("mounting a small tmpfs needs root")
    mount = tmp_path / "small"
    mount.mkdir()
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", str(mount)], check=True)
    link = desktop.prefix / "dosdevices" / "t:"
    try:
        if link.is_symlink():
            link.unlink()
        link.symlink_to(mount)
        yield mount
    finally:
        if link.is_symlink():
            link.unlink()
        subprocess.run(["umount", str(mount)], check=False)


@pytest.mark.parametrize("fmt", FORMATS)
def test_writer_on_a_full_drive_keeps_the_earlier_file(desktop, full_drive, tmp_path, fmt):
    dib = tmp_path / "big.dib"
    dib.write_bytes(noisy_dib(200, 120))  # about 72 KB of pixels, more than the drive holds
    earlier = full_drive / f"shot.{FORMATS[fmt]}"
    earlier.write_bytes(b"the earlier capture" * 200)
    r = desktop.run([BIN / "write_image.exe", fmt, windows_path(dib), f"T:\\shot.{FORMATS[fmt]}"], timeout=60)
    assert r.returncode == 203, r.stdout + r.stderr
    assert earlier.read_bytes() == b"the earlier capture" * 200
    assert sorted(p.name for p in full_drive.iterdir()) == [earlier.name]


def test_writer_on_a_full_drive_leaves_nothing(desktop, full_drive, tmp_path):
    dib = tmp_path / "big.dib"
    dib.write_bytes(noisy_dib(200, 120))
    r = desktop.run([BIN / "write_image.exe", "bmp", windows_path(dib), "T:\\new.bmp"], timeout=60)
    assert r.returncode == 203, r.stdout + r.stderr
    assert list(full_drive.iterdir()) == []
