"""The shipped Windows build (SSE2 baseline, newer instructions chosen at run
time) makes the same bytes as the pinned digests of every writer and image
step on the real desktop pictures."""
import hashlib
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
from desktop_pictures import EXPECTED, OPS, bench_images  # noqa: E402

from conftest import BIN


def z(path):
    return "Z:" + str(path).replace("/", "\\")


def test_windows_build_gives_the_pinned_bytes(desktop, tmp_path):
    images = bench_images()
    sources = {f"d{bits}": images / f"screen1080_{bits}.dib" for bits in (24, 8, 1)}
    r = desktop.run([BIN / "write_image.exe", "grey", z(sources["d24"]), z(tmp_path / "g8.dib")], timeout=120)
    assert r.returncode == 0, r.stdout + r.stderr
    sources["g8"] = tmp_path / "g8.dib"
    wrong, checked = [], 0
    for name, source in sources.items():
        for op in OPS:
            key = f"{name} {op}"
            if key not in EXPECTED:
                continue
            out = tmp_path / f"{name}.{op}"
            r = desktop.run([BIN / "write_image.exe", op, z(source), z(out), "1" if name == "g8" else "0"],
                            timeout=120)
            digest = hashlib.sha256(out.read_bytes()).hexdigest() if out.exists() else None
            if (r.returncode, digest) != (EXPECTED[key]["status"], EXPECTED[key]["sha256"]):
                wrong.append(f"{key}: status {r.returncode}, {digest}")
            checked += 1
    assert checked == len(EXPECTED)
    assert not wrong, "\n".join(wrong)
