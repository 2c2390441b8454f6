"""Files from every writer, read back by independent decoders, compared pixel
by pixel with the source image.

Images are made at 1, 4, 8 and 24 bits, at widths that are not multiples of
4 or 8 and heights that are not multiples of 8. Known decoder quirks are
respected rather than "fixed" in the writers: ImageMagick reads 1-bit PCX
inverted, Pillow misplaces the planes of 24-bit PCX 1 or 3 pixels wide and of
4-bit PCX whose bytes per plane line are odd before rounding.
"""
import io
import os
import random
import struct
import sys
import subprocess
import zlib
from pathlib import Path

import pytest
from PIL import Image

ROOT = Path(__file__).resolve().parents[2]
WRITE_IMAGE = Path(os.environ.get("PICTRAP_HOST_BIN", ROOT / "build" / "host" / "bin")) / "write_image"

WIDTHS = (1, 3, 9, 13)
HEIGHTS = (1, 9, 17)
DEPTHS = (1, 4, 8, 24)


def stride(bits, width):
    return (bits * width + 31) // 32 * 4


class Source:
    """A packed DIB with random pixels and the colours each pixel shows."""

    def __init__(self, width, height, bits, grey=False, seed=0, table=None):
        rng = random.Random(seed * 1000 + width * 31 + height * 7 + bits)
        self.width, self.height, self.bits, self.grey = width, height, bits, grey
        colours = 0 if bits == 24 else len(table) if table else 1 << bits
        if table or grey:
            self.table = list(table or [(i, i, i) for i in range(256)])
        else:
            self.table = [(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(colours)]
        # Top row first: indices, or (r, g, b) for 24 bits.
        if bits == 24:
            self.pixels = [[(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(width)]
                           for _ in range(height)]
        else:
            self.pixels = [[rng.randrange(colours) for _ in range(width)] for _ in range(height)]
        s = stride(bits, width)
        rows = []
        for row in reversed(self.pixels):  # stored bottom-up
            data = bytearray(rng.randrange(256) for _ in range(s))  # random padding
            if bits == 24:
                for x, (r, g, b) in enumerate(row):
                    data[3 * x:3 * x + 3] = bytes((b, g, r))
            elif bits == 8:
                data[:width] = bytes(row)
            else:
                per = 8 // bits
                used = (width * bits + 7) // 8
                data[:used] = bytes(used)
                for x, v in enumerate(row):
                    shift = 8 - bits * (x % per + 1)
                    data[x // per] |= v << shift
            rows.append(bytes(data))
        header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, s * height, 0, 0, colours, colours)
        table = b"".join(bytes((b, g, r, 0)) for (r, g, b) in self.table)
        self.dib = header + table + b"".join(rows)

    def expected(self, fmt):
        """The (r, g, b) rows, top first, as the format shows them."""
        out = []
        for row in self.pixels:
            if self.bits == 24:
                out.append(list(row))
            elif self.bits == 1 and fmt in ("pcx", "tiff"):
                out.append([(255, 255, 255) if v else (0, 0, 0) for v in row])  # index 0 is black
            else:
                out.append([self.table[v] for v in row])
        return out


def write(tmp_path, source, fmt, grey=0):
    dib = tmp_path / "in.dib"
    dib.write_bytes(source.dib)
    ext = {"bmp": "bmp", "pcx": "pcx", "tiff": "tif", "tiff-packbits": "tif", "png": "png"}[fmt]
    out = tmp_path / f"out.{ext}"
    r = subprocess.run([str(WRITE_IMAGE), fmt, str(dib), str(out), str(grey)], capture_output=True, text=True)
    assert r.returncode == 0, r.stdout + r.stderr
    return out


def rows_of(image):
    image = image.convert("RGB")
    w, h = image.size
    data = list(image.getdata())
    return [data[y * w:(y + 1) * w] for y in range(h)]


def pillow(path):
    with Image.open(path) as im:
        return rows_of(im)


def imagemagick(path):
    # 16-bit output and the high byte: at 8 bits ImageMagick rounds palette
    # TIFF colours stored as c * 256 down to c - 1.
    info = subprocess.run(["identify", "-format", "%w %h", str(path)], check=True, capture_output=True,
                          text=True).stdout.split()
    w, h = int(info[0]), int(info[1])
    raw = subprocess.run(["convert", str(path), "-depth", "16", "-endian", "MSB", "rgb:-"], check=True,
                         capture_output=True).stdout
    assert len(raw) == w * h * 6
    px = [tuple(raw[i + 2 * c] for c in range(3)) for i in range(0, len(raw), 6)]
    return [px[y * w:(y + 1) * w] for y in range(h)]


def netpbm(path):
    ppm = subprocess.run(["pcxtoppm", str(path)], check=True, capture_output=True).stdout
    with Image.open(io.BytesIO(ppm)) as im:
        return rows_of(im)


def pngtopnm(path):
    ppm = subprocess.run(["pngtopnm", str(path)], check=True, capture_output=True).stdout
    with Image.open(io.BytesIO(ppm)) as im:
        return rows_of(im)


def check_png(path):
    """pngcheck finds no error, and the IDAT stream inflates strictly, with
    nothing after it: returns the IHDR's bit depth and colour type."""
    check = subprocess.run(["pngcheck", "-v", str(path)], capture_output=True, text=True)
    assert check.returncode == 0 and "No errors detected" in check.stdout, check.stdout + check.stderr
    data, at, chunks = path.read_bytes(), 8, {}
    while at < len(data):
        n, kind = struct.unpack(">I4s", data[at:at + 8])
        chunks[kind] = chunks.get(kind, b"") + data[at + 8:at + 8 + n]
        at += 12 + n
    width, height, depth, colour_type = struct.unpack(">IIBB", chunks[b"IHDR"][:10])
    idat, inflater = chunks[b"IDAT"], zlib.decompressobj()
    raw = inflater.decompress(idat) + inflater.flush()
    assert inflater.eof and not inflater.unused_data
    row = (width * depth * (3 if colour_type == 2 else 1) + 7) // 8
    assert len(raw) == height * (row + 1)
    return depth, colour_type


def check_png_decoders(path, expected):
    assert pillow(path) == imagemagick(path) == pngtopnm(path) == expected


def libtiff(path):
    out = path.with_suffix(".rgba.tif")
    subprocess.run(["tiff2rgba", str(path), str(out)], check=True, capture_output=True)
    with Image.open(out) as im:
        return rows_of(im)


def cases():
    for bits in DEPTHS:
        for w in WIDTHS:
            for h in HEIGHTS:
                yield pytest.param(bits, w, h, id=f"{bits}bit-{w}x{h}")


@pytest.mark.parametrize("bits,width,height", cases())
def test_bmp(tmp_path, bits, width, height):
    src = Source(width, height, bits)
    path = write(tmp_path, src, "bmp")
    assert pillow(path) == src.expected("bmp")
    assert imagemagick(path) == src.expected("bmp")


@pytest.mark.parametrize("bits,width,height", cases())
def test_pcx(tmp_path, bits, width, height):
    src = Source(width, height, bits)
    path = write(tmp_path, src, "pcx")
    expected = src.expected("pcx")
    assert netpbm(path) == expected
    if bits != 1:  # ImageMagick takes bit 1 as black
        assert imagemagick(path) == expected
    pillow_misreads = (bits == 24 and width in (1, 3)) or (bits == 4 and ((width + 7) // 8) % 2 == 1)
    if not pillow_misreads:
        assert pillow(path) == expected


@pytest.mark.parametrize("fmt", ["tiff", "tiff-packbits"])
@pytest.mark.parametrize("bits,width,height", cases())
def test_tiff(tmp_path, fmt, bits, width, height):
    src = Source(width, height, bits)
    path = write(tmp_path, src, fmt)
    check = subprocess.run(["tiffinfo", "-D", str(path)], capture_output=True, text=True)
    assert check.returncode == 0 and "Warning" not in check.stderr and "Error" not in check.stderr, check.stderr
    expected = src.expected("tiff")
    assert libtiff(path) == expected
    assert pillow(path) == expected
    assert imagemagick(path) == expected


@pytest.mark.parametrize("fmt", ["tiff", "tiff-packbits"])
@pytest.mark.parametrize("width,height", [(1, 1), (13, 9), (30, 17)])
def test_grey_tiff_reads_as_plain_levels(tmp_path, fmt, width, height):
    src = Source(width, height, 8, grey=True)
    path = write(tmp_path, src, fmt, grey=1)
    expected = src.expected("tiff")
    assert libtiff(path) == expected
    assert pillow(path) == expected
    with Image.open(path) as im:
        assert im.mode == "L"


def test_large_packbits_tiff_with_many_strips(tmp_path):
    src = Source(301, 203, 24, seed=5)
    path = write(tmp_path, src, "tiff-packbits")
    assert libtiff(path) == src.expected("tiff")


@pytest.mark.parametrize("bits,width,height", cases())
def test_png(tmp_path, bits, width, height):
    src = Source(width, height, bits)
    path = write(tmp_path, src, "png")
    assert check_png(path) == (8 if bits == 24 else bits, 2 if bits == 24 else 3)
    check_png_decoders(path, src.expected("png"))


BLACK, WHITE = (0, 0, 0), (255, 255, 255)


@pytest.mark.parametrize("bits,table,form", [
    (8, [(i, i, i) for i in range(256)], (8, 0)),
    (8, [(10, 20, 30), (40, 50, 60), (70, 80, 90), (1, 2, 3)], (8, 3)),
    (4, [(200, 0, 0), (0, 200, 0), (0, 0, 200), (9, 9, 9)], (4, 3)),
    (1, [BLACK, WHITE], (1, 0)),
    (1, [WHITE, BLACK], (1, 0)),
    (1, [(255, 0, 0), (0, 0, 255)], (1, 3)),
], ids=["grey-ramp", "8bit-4-entries", "4bit-4-entries", "black-white", "white-black", "two-colours"])
@pytest.mark.parametrize("width,height", [(1, 1), (13, 9), (301, 33)])
def test_png_forms(tmp_path, bits, table, form, width, height):
    src = Source(width, height, bits, table=table)
    path = write(tmp_path, src, "png")
    assert check_png(path) == form
    check_png_decoders(path, src.expected("png"))


@pytest.mark.parametrize("bits", [24, 8, 1])
def test_png_of_the_desktop_pictures(tmp_path, bits):
    sys.path.insert(0, str(ROOT / "tests"))
    from desktop_pictures import bench_images
    images, out = bench_images(), tmp_path / "desktop.png"
    r = subprocess.run([str(WRITE_IMAGE), "png", str(images / f"screen1080_{bits}.dib"), str(out)],
                       capture_output=True, text=True)
    assert r.returncode == 0 and check_png(out), r.stdout + r.stderr
    check_png_decoders(out, pillow(images / f"screen1080_{bits}.png"))
