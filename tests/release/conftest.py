"""Release tests: they start from what scripts/release.sh put in dist/ (or
$PICTRAP_DIST) and nothing of the build tree but the test helper. Each test
that runs the artefacts gets a fresh 32-bit prefix of its own, on its own
display, with a home folder of its own (Wine links the user's Pictures
folder and the rest to $HOME). A failing test leaves a screenshot in
build/e2e-failures/.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import types
import zipfile
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "e2e"))

from pefiles import version_h  # noqa: E402
from winedesktop import BIN, ROOT, Desktop, skip_where_wine_cannot_run  # noqa: E402

DIST = Path(os.environ.get("PICTRAP_DIST", ROOT / "dist"))
FAILURES = ROOT / "build" / "e2e-failures"
SCREENS = ROOT / "build" / "e2e-screens"


def commit_time():
    return int(subprocess.run(["git", "log", "-1", "--format=%ct"], cwd=ROOT, check=True, capture_output=True,
                              text=True).stdout)


@pytest.fixture(scope="session")
def release():
    """The release's files, checked to be those of the commit under test."""
    _major, _minor, version, _about = version_h()
    r = types.SimpleNamespace(
        version=version, zip=DIST / f"Pictrap-{version}.zip", setup=DIST / f"Pictrap-{version}-setup.exe",
        sums=DIST / f"Pictrap-{version}-SHA256SUMS.txt")
    missing = [p.name for p in (r.zip, r.setup, r.sums) if not p.exists()]
    if missing:
        pytest.fail(f"{', '.join(missing)} missing in {DIST}: run scripts/release.sh first")
    with zipfile.ZipFile(r.zip) as z:
        r.members = {i.filename: z.read(i) for i in z.infolist()}
        r.infos = z.infolist()
    # The zip's dates are its commit's: a release of another commit is not
    # the one to test.
    import calendar
    dated = calendar.timegm(r.infos[0].date_time + (0, 0, 0))
    if abs(dated - commit_time()) > 2:
        pytest.fail(f"{r.zip.name} is not from the current commit: run scripts/release.sh again")
    return r


def pytest_collection_modifyitems(config, items):
    skip_where_wine_cannot_run(items)


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    rep = outcome.get_result()
    setattr(item, "rep_" + rep.when, rep)


@pytest.fixture
def fresh_desktop(request):
    if not (BIN / "wintest.exe").exists():
        pytest.fail(f"the test helper is missing at {BIN}; run scripts/build.sh")
    root = Path(tempfile.mkdtemp(prefix="pictrap-release-"))
    d = Desktop(root, private_home=True)
    d.home = root / "home"
    try:
        yield d
        rep = getattr(request.node, "rep_call", None)
        if rep is not None and rep.failed:
            FAILURES.mkdir(parents=True, exist_ok=True)
            d.screenshot(FAILURES / f"{request.node.name}.png")
    finally:
        d.close()
        shutil.rmtree(root, ignore_errors=True)


def save_screen(desktop, name, box=None):
    """Keeps a picture of the desktop, or of the box (left, top, right,
    bottom) on it, for the README in build/e2e-screens/."""
    from PIL import Image
    SCREENS.mkdir(parents=True, exist_ok=True)
    desktop.screenshot(SCREENS / name)
    if box is not None:
        with Image.open(SCREENS / name) as whole:
            part = whole.crop(box)
        part.save(SCREENS / name)
