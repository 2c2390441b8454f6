"""Printing under Wine on PostScript printers defined in the test prefix:
each job's PostScript is rendered by Ghostscript at the printer's own
resolution and measured. The real program prints its hot-key captures and
runs Printer Setup from its system menu. The shell test program drives
PrintCapture directly only where the program cannot reach a case: an image
taller than the page (no capture of this 1024x768 screen is), and Cancel at
an exact step of the job (a real click lands wherever the job happens to be)."""
import shutil
import struct
import time

import pytest

from conftest import BIN, ROOT, wait_for
from pictrap import (WM_CLOSE, boxes, differing, dib_image, dismiss, hotkey, pattern_image, start_pattern,
                     start_pictrap, wait_file, windows_path, write_ini, xdotool)
from printers import Printers, ink_box, page_text, postscript_title, printed_pixels, render, single_job

CF_DIB = 8
PAGES = ROOT / "build" / "e2e-pages"
# The test printer's page at 300 dpi: Letter less the margins of its PPD.
OFFSET = (75, 150)
FILE_NAME_INCH = 300
# Colours survive Ghostscript's rendering within this much per channel
# (measured: exactly, with Debian 12's Ghostscript 10.0 and png16m; the margin
# allows for a renderer that rounds its colour conversion differently).
TOLERANCE = 2
NO_PRINTER = "No default printer is available, or its page is too small."


@pytest.fixture
def printers(desktop, tmp_path):
    p = Printers(desktop, tmp_path)
    yield p
    p.remove_all()


@pytest.fixture
def drive_p(desktop, tmp_path):
    """Drive P: on a folder of the test's, so that saved paths are short
    enough for the printed file-name line to fit on the page."""
    folder = tmp_path / "shots"
    folder.mkdir()
    link = desktop.prefix / "dosdevices" / "p:"
    if link.is_symlink():
        link.unlink()
    link.symlink_to(folder)
    yield folder
    link.unlink()


def page_of(job, name):
    return render(job, PAGES / f"{name}.png")


def printed_area(size):
    """Where an image printed at `size` printer pixels must lie."""
    return (OFFSET[0], OFFSET[1], OFFSET[0] + size[0], OFFSET[1] + size[1])


def assert_image_at(page, size, bottom=None):
    """Everything printed above `bottom` is the image, at the printable
    area's top-left corner with the layout's size, within a printer pixel."""
    found = ink_box(page, (0, 0, page.width, bottom or page.height))
    expected = printed_area(size)
    assert found and all(abs(a - e) <= 1 for a, e in zip(found, expected)), (found, expected)


def assert_file_name_line(page, text_top):
    """The line starts 5 pixels below the image area, at the left margin."""
    text = ink_box(page, (0, text_top, page.width, page.height))
    assert text is not None, "no file-name line"
    assert OFFSET[0] <= text[0] <= OFFSET[0] + 20, text
    assert text_top <= text[1] <= text_top + 40 and text[3] <= text_top + 120, text


def close(desktop, proc, hwnd):
    desktop.wintest("post", str(hwnd), str(WM_CLOSE))
    assert proc.wait(timeout=30) == 0


def test_hot_key_capture_printed_with_its_file_name(desktop, app_dir, printers, drive_p):
    """Print=1 with IncFileName: the 640x480 client area of a window of
    known contents prints as 800 x 600 hundredths, 2400 x 1800 printer
    pixels, at the printable area's corner, each pixel as captured; the saved
    file's full path goes 5 pixels below the image area, the spooler shows
    the file's name."""
    printers.install("PTA", default=True)
    write_ini(app_dir, Mode=2, AutoSave=1, AutoName=1, CapFormat=1, CapDir="P:\\", Print=1, IncFileName=1)
    proc, hwnd = start_pictrap(desktop, app_dir)
    start_pattern(desktop, 200, 150, 640, 480, popup=True)
    hotkey(desktop)
    job = single_job(printers, "PTA")
    assert wait_file(drive_p / "cap1.bmp")
    assert boxes(desktop, 300) == (None, None), "nothing reported"

    assert postscript_title(job) == "cap1.bmp"
    assert page_text(job) == "p:\\cap1.bmp", "the whole path, in lower case as saved"
    page = page_of(job, "pipeline-640x480")
    area_bottom = OFFSET[1] + 3000 - FILE_NAME_INCH
    assert_image_at(page, (2400, 1800), bottom=area_bottom)
    printed = printed_pixels(page, printed_area((2400, 1800)), (640, 480))
    assert differing(printed, pattern_image(640, 480), tolerance=TOLERANCE) == []
    assert ink_box(page, (0, OFFSET[1] + 1802, page.width, area_bottom + 5)) is None, "nothing in between"
    assert_file_name_line(page, area_bottom + 5)
    close(desktop, proc, hwnd)


def test_grey_capture_prints_as_a_palette_image_without_a_file_name(desktop, app_dir, printers):
    """Greyscale makes an 8-bit image with a 256-grey palette. Not saved:
    the document is "Pictrap" and no line is printed, though IncFileName still
    takes its inch. 320 pixels wide: 400 x 300 hundredths."""
    printers.install("PTA", default=True)
    write_ini(app_dir, Mode=2, Greyscale=1, ToClipbd=1, AutoSave=0, Print=1, IncFileName=1)
    proc, hwnd = start_pictrap(desktop, app_dir)
    start_pattern(desktop, 300, 200, 320, 240, popup=True)
    hotkey(desktop)
    job = single_job(printers, "PTA")
    clip = app_dir / "clipboard.dib"
    assert desktop.wintest("clipboard-dib", windows_path(clip))[0] == 0
    bits, = struct.unpack("<H", clip.read_bytes()[14:16])
    colours, = struct.unpack("<I", clip.read_bytes()[32:36])
    assert (bits, colours) == (8, 256)

    assert postscript_title(job) == "Pictrap"
    assert page_text(job) == ""
    page = page_of(job, "pipeline-grey-320x240")
    assert_image_at(page, (1200, 900))
    printed = printed_pixels(page, printed_area((1200, 900)), (320, 240))
    assert differing(printed, dib_image(clip), tolerance=TOLERANCE) == []
    close(desktop, proc, hwnd)


def test_no_printer_reports_901_and_keeps_the_capture(desktop, app_dir, printers):
    write_ini(app_dir, Mode=2, ToClipbd=1, AutoSave=1, AutoName=1, CapFormat=1, Print=1)
    proc, hwnd = start_pictrap(desktop, app_dir)
    start_pattern(desktop, 300, 200, 320, 240, popup=True)
    hotkey(desktop)
    box, text = boxes(desktop, 30000)
    assert text == NO_PRINTER
    status = desktop.find("Pictrap", "Status", 5000)
    assert status and desktop.info(status)["visible"] == "0", "no progress window behind the report"
    dismiss(desktop, box)
    assert boxes(desktop, 500) == (None, None), "nothing else is reported"
    assert wait_file(app_dir / "cap1.bmp")
    clip = app_dir / "clipboard.dib"
    assert desktop.wintest("clipboard-dib", windows_path(clip))[0] == 0
    assert clip.read_bytes() == (app_dir / "cap1.bmp").read_bytes()[14:], "the same capture on both"
    assert differing(dib_image(clip), pattern_image(320, 240)) == []
    close(desktop, proc, hwnd)


PRINTER_COMBO = 0x470  # the printer list of the Print Setup dialog
SC_MOVE = 0xF010       # the command behind "&Printer Setup"


def chosen_printer(desktop, dialog):
    rc, out = desktop.wintest("combo-selection", str(dialog), str(PRINTER_COMBO))
    assert rc == 0
    return out.strip()


def click_control(desktop, dialog, control_id):
    rc, out = desktop.wintest("child", str(dialog), str(control_id))
    assert rc == 0, f"no control {control_id:#x}"
    left, top, right, bottom = map(int, desktop.info(int(out))["rect"].split(","))
    xdotool(desktop, "mousemove", (left + right) // 2, (top + bottom) // 2, "click", 1)


def printer_setup_from_the_menu(desktop):
    """Clicks the icon and takes "&Printer Setup" from its system menu."""
    xdotool(desktop, "mousemove", 40, 756, "click", 1)
    assert desktop.wintest("find", "-", "#32768", "5000")[0] == 0, "the system menu did not open"
    time.sleep(0.3)
    xdotool(desktop, "key", "p")
    return setup_dialog(desktop)


def setup_dialog(desktop):
    dialog = desktop.find("Print Setup", "#32770", 30000)
    assert dialog, "no Print Setup dialog"
    time.sleep(0.5)
    return dialog


def choose(desktop, dialog, key, printer):
    click_control(desktop, dialog, PRINTER_COMBO)
    xdotool(desktop, "key", key, "Return")
    assert wait_for(lambda: chosen_printer(desktop, dialog) == printer, timeout=5), chosen_printer(desktop, dialog)


def print_capture(desktop, pattern):
    desktop.wintest("activate", str(pattern))
    hotkey(desktop)


def test_printer_setup_from_the_system_menu(desktop, app_dir, printers):
    """The chosen printer takes the next captures; Cancel keeps it; once it
    is uninstalled, Printer Setup opens on the default printer, and the
    default printer is what a Cancel there leaves, not the one that is gone."""
    printers.install("PTA", default=True)
    printers.install("PTB")
    write_ini(app_dir, Mode=2, AutoSave=0, Print=1)
    proc, hwnd = start_pictrap(desktop, app_dir)
    _p, pattern = start_pattern(desktop, 300, 200, 160, 120, popup=True)

    dialog = printer_setup_from_the_menu(desktop)
    assert chosen_printer(desktop, dialog) == "PTA", "nothing chosen yet: the default printer"
    choose(desktop, dialog, "End", "PTB")
    click_control(desktop, dialog, 1)  # OK
    assert desktop.wintest("gone", str(dialog), "10000")[0] == 0
    print_capture(desktop, pattern)
    single_job(printers, "PTB")

    desktop.wintest("syscommand", str(hwnd), str(SC_MOVE))
    dialog = setup_dialog(desktop)
    assert chosen_printer(desktop, dialog) == "PTB", "the dialog opens on the saved printer"
    choose(desktop, dialog, "Home", "PTA")
    click_control(desktop, dialog, 2)  # Cancel
    assert desktop.wintest("gone", str(dialog), "10000")[0] == 0
    print_capture(desktop, pattern)
    assert wait_for(lambda: len(printers.jobs("PTB")) == 2, timeout=30), "Cancel keeps the saved printer"

    printers.remove("PTB")
    dialog = printer_setup_from_the_menu(desktop)
    assert chosen_printer(desktop, dialog) == "PTA"
    click_control(desktop, dialog, 2)  # Cancel
    assert desktop.wintest("gone", str(dialog), "10000")[0] == 0
    print_capture(desktop, pattern)
    single_job(printers, "PTA")
    assert boxes(desktop, 300) == (None, None), "nothing reported"
    close(desktop, proc, hwnd)


def test_job_the_port_refuses_is_reported(desktop, app_dir, printers, tmp_path):
    """The spooler takes the page but cannot hand it on: the job failed at
    its end and says so, instead of passing for printed."""
    printers.install("PTA", default=True, port=str(tmp_path / "no such folder" / "out.ps"))
    write_ini(app_dir, Mode=2, AutoSave=0, Print=1)
    proc, hwnd = start_pictrap(desktop, app_dir)
    start_pattern(desktop, 300, 200, 64, 48, popup=True)
    hotkey(desktop)
    box, text = boxes(desktop, 60000)
    assert text == "The print job could not be started, or did not reach the printer."
    dismiss(desktop, box)
    close(desktop, proc, hwnd)


# --- PrintCapture driven directly -------------------------------------------

COLUMNS, ROWS = 8, 6


def block_colour(bx, by):
    """Distinct, never near white, so the printed image's edges show."""
    return (20 + 25 * bx, 30 + 35 * by, 220 - 22 * bx - 9 * by)


def capture_dib(width, height):
    """An 8-bit packed DIB of COLUMNS x ROWS colour blocks with its palette."""
    stride = (8 * width + 31) // 32 * 4
    entries = [block_colour(i % COLUMNS, i // COLUMNS) for i in range(COLUMNS * ROWS)]
    entries += [(255, 255, 255)] * (256 - len(entries))
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in entries)
    rows = []
    for stored in range(height):
        y = height - 1 - stored  # bottom-up
        row = bytes((y * ROWS // height) * COLUMNS + x * COLUMNS // width for x in range(width))
        rows.append(row + bytes(stride - width))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, stride * height, 0, 0, 256, 256)
    return header + palette + b"".join(rows)


@pytest.fixture
def shell(app_dir):
    shutil.copy2(BIN / "shelltest.exe", app_dir / "shelltest.exe")
    return app_dir


def start_print(desktop, shell, tmp_path, width, height, saved_as="-", cancel_at=None):
    dib = tmp_path / f"capture-{width}x{height}.dib"
    dib.write_bytes(capture_dib(width, height))
    args = [shell / "shelltest.exe", "print", windows_path(dib), saved_as]
    if cancel_at is not None:
        args.append(str(cancel_at))
    return desktop.start(args, cwd=shell)


def outcome(desktop, proc, timeout=120):
    assert proc.wait(timeout=timeout) == 0
    return dict(line.split("=", 1) for line in desktop.output(proc).splitlines() if "=" in line)


def test_image_taller_than_the_page(desktop, printers, shell, tmp_path):
    """300 x 1000 pixels: it fills the page height (3000 printer pixels),
    keeps its proportions (900 wide) and stays at the top-left corner."""
    printers.install("PTA", default=True)
    write_ini(shell, IncFileName=0)
    out = outcome(desktop, start_print(desktop, shell, tmp_path, 300, 1000, "C:\\shots\\cap7.bmp"))
    assert (out["result"], out["progress"], out["statusVisible"]) == ("0", "0,25,50,100", "0")
    assert (out["device"], out["page"], out["dpi"], out["offset"]) == ("PTA", "2400,3000", "300,300", "75,150")
    job = single_job(printers, "PTA")
    assert postscript_title(job) == "cap7.bmp"
    assert page_text(job) == "", "IncFileName off: no line"
    page = page_of(job, "tall-300x1000")
    assert_image_at(page, (900, 3000))
    printed = printed_pixels(page, printed_area((900, 3000)), (COLUMNS, ROWS))
    worst = max(abs(a - b) for bx in range(COLUMNS) for by in range(ROWS)
                for a, b in zip(printed.getpixel((bx, by)), block_colour(bx, by)))
    assert worst <= TOLERANCE


@pytest.mark.parametrize("cancel_at,progress", [
    (0, "0"),           # before the document starts
    (25, "0,25"),       # the page started
    (50, "0,25,50"),    # the image and the text drawn
])
def test_cancel_from_the_status_window(desktop, printers, shell, tmp_path, cancel_at, progress):
    printers.install("PTA", default=True)
    write_ini(shell, IncFileName=1)
    proc = start_print(desktop, shell, tmp_path, 640, 480, "c:\\shots\\cap3.bmp", cancel_at=cancel_at)
    status = desktop.find("Pictrap", "Status", 30000)
    assert status
    box, text = boxes(desktop, 30000)
    assert text == "The operation was cancelled."
    assert desktop.info(status)["visible"] == "0", "hidden before the report"
    dismiss(desktop, box)
    out = outcome(desktop, proc)
    assert out["result"] == "0", "the job ran; its status is reported"
    assert out["progress"] == progress
    # An aborted document never reaches the port: no file at all.
    time.sleep(1)
    assert printers.jobs("PTA") == []
