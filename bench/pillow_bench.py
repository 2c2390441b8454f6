"""Pillow as a yardstick, timed in-process: greyscale (convert('L')), black
and white (convert('L') then a 1-bit threshold without dithering), and PCX,
BMP and PackBits TIFF files, on the same packed DIB pictures as our
benchmarks. Prints Google Benchmark's JSON shape (real_time and cpu_time in
ms per iteration) so that one script reads every result.

usage: pillow_bench.py IMAGES_DIR PICTURES_DIR OUT_DIR [MIN_SECONDS]
"""
import json
import os
import sys
import time

from PIL import Image

CASES = {
    "pillow_grey": ("desktop24", "synthetic24"),
    "pillow_bw": ("desktop24", "desktop8", "synthetic24"),
    "pillow_pcx": ("desktop24", "desktop8", "desktop1", "synthetic24", "synthetic8"),
    "pillow_bmp": ("desktop24", "desktop8"),
    # PNG at Pillow's default level (6) and at its fastest (1).
    "pillow_png6": ("desktop24", "desktop8", "desktop1"),
    "pillow_png1": ("desktop24", "desktop8", "desktop1"),
    "pillow_packbits": ("desktop24", "desktop8", "desktop1", "synthetic24", "synthetic8"),
}


def picture_path(images, pictures, name):
    if name.startswith("desktop"):
        return os.path.join(images, f"screen1080_{name[len('desktop'):]}.dib")
    return os.path.join(pictures, f"{name}.dib")


def step(kind, out):
    """The timed call, and what must happen before each one outside the timer
    (or None)."""
    if kind == "pillow_grey":
        return lambda im: im.convert("L"), None
    if kind == "pillow_bw":
        return lambda im: im.convert("L").convert("1", dither=Image.Dither.NONE), None
    fmt, extra = {"pillow_pcx": ("PCX", {}), "pillow_bmp": ("BMP", {}),
                  "pillow_png6": ("PNG", {"compress_level": 6}), "pillow_png1": ("PNG", {"compress_level": 1}),
                  "pillow_packbits": ("TIFF", {"compression": "packbits"})}[kind]

    def remove():
        # A new file each time, as a save makes; the old one goes outside the
        # timer, as our benchmarks remove theirs.
        if os.path.exists(out):
            os.unlink(out)

    return lambda im: im.save(out, fmt, **extra), remove


def measure(fn, prepare, im, min_seconds):
    """Mean wall time and process CPU time per call, in ms."""
    if prepare:
        prepare()
    fn(im)  # warm up
    iterations, elapsed, cpu = 0, 0.0, 0.0
    while elapsed < min_seconds or iterations < 5:
        if prepare:
            prepare()
        start, start_cpu = time.perf_counter(), time.process_time()
        fn(im)
        elapsed += time.perf_counter() - start
        cpu += time.process_time() - start_cpu
        iterations += 1
    return elapsed / iterations * 1000.0, cpu / iterations * 1000.0, iterations


def main(argv):
    images, pictures, out_dir = argv[1], argv[2], argv[3]
    min_seconds = float(argv[4]) if len(argv) > 4 else 0.5
    results = []
    loaded = {}
    for kind, names in CASES.items():
        for name in names:
            entry = {"name": f"{kind}/{name}", "run_name": f"{kind}/{name}", "run_type": "iteration",
                     "time_unit": "ms"}
            path = picture_path(images, pictures, name)
            try:
                if name not in loaded:
                    im = Image.open(path)
                    im.load()
                    loaded[name] = im
            except OSError as e:
                entry.update(error_occurred=True, error_message=f"picture {name} missing: {e}")
                results.append(entry)
                continue
            out = os.path.join(out_dir, "pillow.out")
            ms, cpu_ms, n = measure(*step(kind, out), loaded[name], min_seconds)
            entry.update(real_time=ms, cpu_time=cpu_ms, iterations=n)
            if os.path.exists(out):
                entry["file_bytes"] = os.path.getsize(out)
            results.append(entry)
    if os.path.exists(os.path.join(out_dir, "pillow.out")):
        os.unlink(os.path.join(out_dir, "pillow.out"))
    import PIL
    json.dump({"context": {"library": f"Pillow {PIL.__version__}"}, "benchmarks": results}, sys.stdout, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
