#!/usr/bin/env python3
"""Makes a monochrome Windows cursor file (.cur) from a picture in text.

    make_cursor.py DESCRIPTION OUTPUT

The description has comment lines (#), a line "size W H", a line
"hotspot X Y" and H picture rows, each W characters between two bars:
"." transparent, "#" black, "o" white. The cursor is one image: a BITMAPINFOHEADER of twice
the height, a two-colour table, the XOR mask and then the AND mask, each
bottom-up with rows padded to 4 bytes. Black is AND 0 / XOR 0, white AND 0 /
XOR 1, transparent AND 1 / XOR 0.
"""
import struct
import sys

PIXELS = {".": (1, 0), "#": (0, 0), "o": (0, 1)}  # (AND, XOR)


def read_description(path):
    size = hotspot = None
    rows = []
    with open(path, encoding="ascii") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            word = line.split()
            if not line or line.startswith("#"):
                continue
            if line.startswith("|") and line.endswith("|") and len(line) >= 2:
                row = line[1:-1]
                bad = set(row) - set(PIXELS)
                if bad:
                    raise SystemExit(f"{path}:{number}: not a picture character: {sorted(bad)}")
                rows.append(row)
            elif word[0] == "size" and len(word) == 3 and size is None:
                size = int(word[1]), int(word[2])
            elif word[0] == "hotspot" and len(word) == 3 and hotspot is None:
                hotspot = int(word[1]), int(word[2])
            else:
                raise SystemExit(f"{path}:{number}: not understood: {line!r}")
    if size is None or hotspot is None:
        raise SystemExit(f"{path}: needs a size and a hotspot line")
    width, height = size
    if len(rows) != height or any(len(r) != width for r in rows):
        raise SystemExit(f"{path}: the picture must be {height} rows of {width} characters")
    if not (0 <= hotspot[0] < width and 0 <= hotspot[1] < height):
        raise SystemExit(f"{path}: the hot spot lies outside the picture")
    if width > 255 or height > 255 or width % 8:
        raise SystemExit(f"{path}: width must be a multiple of 8, both sizes under 256")
    return width, height, hotspot, rows


def mask(rows, which):
    """One mask, bottom-up, most significant bit leftmost, rows padded to 4 bytes."""
    out = bytearray()
    stride = (len(rows[0]) + 31) // 32 * 4
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, ch in enumerate(row):
            if PIXELS[ch][which]:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bits
    return bytes(out)


def cursor_file(width, height, hotspot, rows):
    xor, and_ = mask(rows, 1), mask(rows, 0)
    header = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, 1, 0, len(xor) + len(and_), 0, 0, 2, 0)
    colours = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    image = header + colours + xor + and_
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", width, height, 0, 0, hotspot[0], hotspot[1], len(image), 6 + 16)
    return directory + entry + image


def main(argv):
    if len(argv) != 3:
        raise SystemExit(__doc__)
    data = cursor_file(*read_description(argv[1]))
    with open(argv[2], "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv)
