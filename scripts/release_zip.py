"""Writes the portable zip of a release so that the same files give the same
bytes: entries in the order given, every date the release's (in UTC), no
owner, permissions or extra fields of the machine that packed them.

usage: release_zip.py ZIP EPOCH FILE...
"""
import sys
import time
import zipfile
from pathlib import Path


def main(zip_path, epoch, files):
    # A zip stores local dates from 1980 on, to the even second.
    stamp = max(int(epoch), 315532800)
    date_time = time.gmtime(stamp)[:6]
    with zipfile.ZipFile(zip_path, "w") as archive:
        for name in files:
            entry = zipfile.ZipInfo(Path(name).name, date_time=date_time)
            entry.create_system = 0  # MS-DOS: what Windows' own zip folders write
            entry.external_attr = 0x20  # the archive attribute, as Windows sets it
            entry.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(entry, Path(name).read_bytes(), compresslevel=9)


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], sys.argv[3:])
