"""What the two checks of the real desktop pictures share, the native build
(tests/decoders) and the Windows build under Wine (tests/e2e): the pinned
digests, the operations, and where the pictures are."""
import json
import os
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[1]
EXPECTED = json.loads((ROOT / "tests" / "data" / "desktop_outputs.json").read_text())
OPS = ("bmp", "pcx", "tiff", "tiff-packbits", "grey", "invert", "bw")


def bench_images():
    for candidate in (os.environ.get("PICTRAP_BENCH_IMAGES"), ROOT.parent / "shared" / "bench-images",
                      ROOT.parents[1] / "shared" / "bench-images", Path("/work/shared/bench-images")):
        if candidate and (Path(candidate) / "screen1080_24.dib").is_file():
            return Path(candidate)
    pytest.skip("the real desktop pictures (shared/bench-images) are not beside this checkout")
