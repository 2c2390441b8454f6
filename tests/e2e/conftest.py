"""End-to-end harness: the real Windows binaries under Wine on a private Xvfb.

Each run starts its own Xvfb on a free display and its own 32-bit Wine prefix
with a virtual desktop (one wineboot, reused by every test), and stops exactly
what it started: Xvfb by its process id, Wine through the wineserver of its
own prefix. A failing test leaves a screenshot in build/e2e-failures/.
"""
import shutil
import tempfile
import time
from pathlib import Path

import pytest

from winedesktop import BIN, ROOT, Desktop, skip_where_wine_cannot_run, why_32bit_wine_cannot_run

__all__ = ["BIN", "ROOT", "Desktop", "wait_for"]

FAILURES = ROOT / "build" / "e2e-failures"
DELIVERABLES = ("SHOTBOX.EXE", "SBHOOK32.DLL", "SBMSG32.DLL")


def pytest_collection_modifyitems(config, items):
    skip_where_wine_cannot_run(items)


def session_desktop(**desktop_args):
    if why_32bit_wine_cannot_run():  # a test that asks for its desktop only as it runs
        pytest.skip(why_32bit_wine_cannot_run())
    if not (BIN / "SHOTBOX.EXE").exists():
        pytest.fail(f"the Windows build is missing at {BIN}; run scripts/test.sh")
    root = Path(tempfile.mkdtemp(prefix="pictrap-e2e-"))
    d = Desktop(root, **desktop_args)
    try:
        yield d
    finally:
        d.close()
        shutil.rmtree(root, ignore_errors=True)


@pytest.fixture(scope="session")
def desktop():
    yield from session_desktop(virtual_desktop=True)


@pytest.fixture(scope="session")
def bare_desktop():
    """A second prefix on its own display, without a virtual desktop: made
    only for the tests that ask for it."""
    yield from session_desktop(virtual_desktop=False)


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    rep = outcome.get_result()
    setattr(item, "rep_" + rep.when, rep)


def _installed(desktop, request, folder):
    folder.mkdir()
    for name in DELIVERABLES:
        shutil.copy2(BIN / name, folder / name)
    yield folder
    rep = getattr(request.node, "rep_call", None)
    if rep is not None and rep.failed:
        FAILURES.mkdir(parents=True, exist_ok=True)
        desktop.screenshot(FAILURES / f"{request.node.name}.png")
    desktop.end_programs()


@pytest.fixture
def app_dir(desktop, request, tmp_path):
    """A folder holding the three deliverables, as a user installs them.

    After the test, every program still running is ended, and a failure leaves
    a screenshot of the desktop behind.
    """
    yield from _installed(desktop, request, tmp_path / "Pictrap")


@pytest.fixture
def bare_app_dir(bare_desktop, request, tmp_path):
    """The same on the desktop without a virtual desktop."""
    yield from _installed(bare_desktop, request, tmp_path / "Pictrap")


@pytest.fixture
def floppy(desktop, tmp_path):
    """Drive A: on a folder, reported by Wine as removable."""
    folder = tmp_path / "floppy"
    folder.mkdir()
    link = desktop.prefix / "dosdevices" / "a:"
    if link.is_symlink():
        link.unlink()
    link.symlink_to(folder)
    reg = tmp_path / "floppy.reg"
    reg.write_text('REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Drives]\n"a:"="floppy"\n\n')
    desktop.run(["regedit", "/S", str(reg)])
    yield folder
    link.unlink()
    reg.write_text('REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Drives]\n"a:"=-\n\n')
    desktop.run(["regedit", "/S", str(reg)])


@pytest.fixture(scope="session")
def desktop_at_depth():
    """Another private desktop whose display has the given colour depth, made
    once per session for the tests that need it: desktop_at_depth(16)."""
    made = {}

    def get(depth):
        if depth not in made:
            root = Path(tempfile.mkdtemp(prefix=f"pictrap-e2e-{depth}bit-"))
            made[depth] = (Desktop(root, depth=depth), root)
        return made[depth][0]

    yield get
    for d, root in made.values():
        d.close()
        shutil.rmtree(root, ignore_errors=True)


def wait_for(predicate, timeout=10.0, interval=0.1):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    return predicate()
