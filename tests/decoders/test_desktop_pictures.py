"""Every writer and image step on the real desktop pictures (24, 8 and 1 bit,
and the 8-bit grey image made from the 24-bit one) gives exactly the bytes
and the progress it gave before the fast row loops: SHA-256 digests pinned
in tests/data/desktop_outputs.json. The same digests are checked against the
Windows build under Wine in tests/e2e/test_desktop_pictures.py."""
import hashlib
import os
import subprocess
import sys
from pathlib import Path


sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
from desktop_pictures import EXPECTED, OPS, bench_images  # noqa: E402

ROOT = Path(__file__).resolve().parents[2]
WRITE_IMAGE = Path(os.environ.get("PICTRAP_HOST_BIN", ROOT / "build" / "host" / "bin")) / "write_image"


def run(op, source, out, grey):
    r = subprocess.run([str(WRITE_IMAGE), op, str(source), str(out), str(grey)], capture_output=True, text=True,
                       timeout=300)
    lines = r.stdout.splitlines()
    digest = hashlib.sha256(out.read_bytes()).hexdigest() if out.exists() else None
    progress = hashlib.sha256(lines[1].encode()).hexdigest()[:16]
    return r.returncode, digest, progress


def test_every_operation_gives_the_pinned_bytes_and_progress(tmp_path):
    images = bench_images()
    sources = {f"d{bits}": images / f"screen1080_{bits}.dib" for bits in (24, 8, 1)}
    assert run("grey", sources["d24"], tmp_path / "g8.dib", 0)[0] == 0
    sources["g8"] = tmp_path / "g8.dib"
    checked, wrong = 0, []
    for name, source in sources.items():
        for op in OPS:
            key = f"{name} {op}"
            if key not in EXPECTED:
                continue
            got = run(op, source, tmp_path / f"{name}.{op}", 1 if name == "g8" else 0)
            want = EXPECTED[key]
            if got != (want["status"], want["sha256"], want["progress_sha256_16"]):
                wrong.append(f"{key}: {got}")
            checked += 1
    assert checked == len(EXPECTED)
    assert not wrong, "\n".join(wrong)
