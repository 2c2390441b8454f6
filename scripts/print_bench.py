"""Times the print job under Wine: a 1920x1080 capture printed on a
PostScript printer defined in a private prefix, from PrintCapture's start to
the end of the document, beside writing the same image once as a BMP; and
measures the PostScript that reaches the printer's port."""
import json
import shutil
import struct
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
from printers import Printers  # noqa: E402
from winedesktop import BIN, ROOT, Desktop  # noqa: E402

REPETITIONS = 9


def bench_images():
    """The shared 1920x1080 desktop pictures, or a generated stand-in."""
    for shared in (ROOT.parent / "shared" / "bench-images", Path("/work/shared/bench-images")):
        found = [shared / f"screen1080_{bits}.dib" for bits in (24, 8)]
        if all(f.exists() for f in found):
            return found
    width, height = 1920, 1080
    stride = width * 3
    pixels = bytearray()
    for y in range(height):
        pixels += bytes(((x * 7 + y) % 256 if (x // 40 + y // 30) % 3 else 200) for x in range(stride))
    image = ROOT / "build" / "print-bench-1080_24.dib"
    image.write_bytes(struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, stride * height, 0, 0, 0, 0)
                      + bytes(pixels))
    return [image]


def main():
    root = Path(tempfile.mkdtemp(prefix="pictrap-print-bench-"))
    desktop = Desktop(root)
    printers = Printers(desktop, root)
    results = ROOT / "build" / "bench" / "results"
    results.mkdir(parents=True, exist_ok=True)
    try:
        printers.install("Bench", default=True)
        app = root / "app"
        app.mkdir()
        for name in ("print_bench.exe", "SBMSG32.DLL"):
            shutil.copy2(BIN / name, app / name)
        for image in bench_images():
            out = results / f"print_bench_{image.stem}.json"
            r = desktop.run([app / "print_bench.exe", "Z:" + str(image).replace("/", "\\"), str(REPETITIONS),
                             "Z:" + str(out).replace("/", "\\")], cwd=app, timeout=1200)
            print(f"== {image.name} ({image.stat().st_size} bytes as a packed DIB)")
            print(r.stdout.replace("\r", ""), end="")
            if r.returncode != 0:
                print(f"print_bench failed with {r.returncode}")
                return 1
            jobs = printers.jobs("Bench")
            sizes = sorted({j.stat().st_size for j in jobs})
            print(f"PostScript per job: {', '.join(map(str, sizes))} bytes over {len(jobs)} jobs "
                  f"({sizes[-1] / image.stat().st_size:.2f} x the packed DIB)")
            for j in jobs:
                j.unlink()
            with open(out) as f:
                json.load(f)
        return 0
    finally:
        printers.remove_all()
        desktop.close()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
