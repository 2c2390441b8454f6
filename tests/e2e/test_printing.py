"""Printing under Wine on a PostScript printer defined in the test prefix:
the job's PostScript is rendered by Ghostscript and measured. These tests
drive PrintCapture and PrinterSetup through the shell test program, which
stands in for the pipeline's printer step and the system-menu command."""
import shutil
import struct
import subprocess
import time

import pytest

from conftest import BIN, ROOT, wait_for
from printers import Printers, ink_box, page_text, postscript_title, render

WM_COMMAND = 0x111
IDOK, IDCANCEL = 1, 2
PAGES = ROOT / "build" / "e2e-pages"
# The printer's page at 300 dpi: Letter less the margins of its PPD.
PAGE = (2400, 3000)
OFFSET = (75, 150)
# Block colours survive Ghostscript's rendering within this much per channel
# (measured: exactly, with Debian 12's Ghostscript 10.0 and png16m; the margin
# allows for a renderer that rounds its colour conversion differently).
TOLERANCE = 2
COLUMNS, ROWS = 8, 6


def block_colour(bx, by):
    """Distinct, never near white, so the printed image's edges show."""
    return (20 + 25 * bx, 30 + 35 * by, 220 - 22 * bx - 9 * by)


def capture_dib(width, height, bits):
    """A packed DIB of COLUMNS x ROWS colour blocks, 24-bit or 8-bit with a palette."""
    assert bits in (8, 24)
    stride = (bits * width + 31) // 32 * 4
    palette = b""
    if bits == 8:
        entries = [block_colour(i % COLUMNS, i // COLUMNS) for i in range(COLUMNS * ROWS)]
        entries += [(255, 255, 255)] * (256 - len(entries))
        palette = b"".join(bytes((b, g, r, 0)) for r, g, b in entries)
    rows = []
    for stored in range(height):
        y = height - 1 - stored  # bottom-up
        row = bytearray()
        for x in range(width):
            bx, by = x * COLUMNS // width, y * ROWS // height
            if bits == 8:
                row.append(by * COLUMNS + bx)
            else:
                r, g, b = block_colour(bx, by)
                row += bytes((b, g, r))
        row += bytes(stride - len(row))
        rows.append(bytes(row))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, stride * height, 0, 0,
                         256 if bits == 8 else 0, 256 if bits == 8 else 0)
    return header + palette + b"".join(rows)


@pytest.fixture
def printers(desktop, tmp_path):
    p = Printers(desktop, tmp_path)
    yield p
    p.remove_all()


@pytest.fixture
def shell(app_dir):
    shutil.copy2(BIN / "shelltest.exe", app_dir / "shelltest.exe")
    return app_dir


def write_ini(folder, **keys):
    text = "[Pictrap]\r\n" + "".join(f"{k}={v}\r\n" for k, v in keys.items())
    (folder / "SHOTBOX.INI").write_bytes(text.encode("ascii"))


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def outcome(desktop, proc, timeout=120):
    assert proc.wait(timeout=timeout) == 0
    return dict(line.split("=", 1) for line in desktop.output(proc).splitlines() if "=" in line)


def start_print(desktop, shell, tmp_path, width, height, bits, saved_as="-", cancel_at=None):
    dib = tmp_path / f"capture-{width}x{height}x{bits}.dib"
    dib.write_bytes(capture_dib(width, height, bits))
    args = [shell / "shelltest.exe", "print", windows_path(dib), saved_as]
    if cancel_at is not None:
        args.append(str(cancel_at))
    return desktop.start(args, cwd=shell)


def error_box(desktop, timeout_ms=30000, while_shown=None):
    """The text of the error box captioned Pictrap, dismissed after
    `while_shown` has looked at the desktop."""
    box = desktop.find("Pictrap", "#32770", timeout_ms)
    assert box, "no error was reported"
    texts = [t for (_i, cls, t) in desktop.texts(box) if cls == "Static" and t]
    if while_shown:
        while_shown()
    desktop.wintest("post", str(box), str(WM_COMMAND), str(IDOK))
    return texts


def single_job(printers, name):
    jobs = wait_for(lambda: printers.jobs(name), timeout=20)
    assert len(jobs) == 1, jobs
    # The pipe may still be writing when the program returns.
    wait_for(lambda: jobs[0].read_bytes().rstrip().endswith(b"%%EOF"), timeout=20)
    return jobs[0]


def check_blocks(page, area):
    """Each colour block's middle, in the rendered page, against the capture."""
    left, top, right, bottom = area
    w, h = right - left, bottom - top
    worst = 0
    for by in range(ROWS):
        for bx in range(COLUMNS):
            cx = left + (bx + 0.5) * w / COLUMNS
            cy = top + (by + 0.5) * h / ROWS
            expected = block_colour(bx, by)
            for dx in (-0.25, 0, 0.25):
                for dy in (-0.25, 0, 0.25):
                    px = page.getpixel((int(cx + dx * w / COLUMNS), int(cy + dy * h / ROWS)))
                    worst = max(worst, *(abs(a - b) for a, b in zip(px, expected)))
    assert worst <= TOLERANCE, f"a block differs by {worst} from the capture"


@pytest.mark.parametrize("width,height,bits,inc,saved,size,title", [
    # 640 pixels span the printable width: 800 x 600 hundredths, 2400 x 1800 pixels.
    (640, 480, 24, 0, "-", (2400, 1800), "Pictrap"),
    # Taller than the page: fills its height, proportions kept.
    (300, 1000, 8, 0, "C:\\shots\\cap7.bmp", (900, 3000), "cap7.bmp"),
    # Narrower than 640: proportionally smaller (250 x 187 hundredths).
    (200, 150, 8, 1, "-", (750, 561), "Pictrap"),
])
def test_printed_page(desktop, printers, shell, tmp_path, width, height, bits, inc, saved, size, title):
    printers.install("PTA", default=True)
    write_ini(shell, IncFileName=inc)
    out = outcome(desktop, start_print(desktop, shell, tmp_path, width, height, bits, saved))
    assert out["result"] == "0"
    assert out["progress"] == "0,25,50,100"
    assert out["statusVisible"] == "0"
    assert (out["device"], out["page"], out["dpi"], out["offset"]) == ("PTA", "2400,3000", "300,300", "75,150")

    job = single_job(printers, "PTA")
    assert postscript_title(job) == title
    PAGES.mkdir(parents=True, exist_ok=True)
    page = render(job, PAGES / f"page-{width}x{height}x{bits}.png")
    area = ink_box(page)
    expected = (OFFSET[0], OFFSET[1], OFFSET[0] + size[0], OFFSET[1] + size[1])
    assert all(abs(a - e) <= 1 for a, e in zip(area, expected)), (area, expected)
    check_blocks(page, area)
    assert page_text(job) == "", "no file-name line"


def test_file_name_line_below_the_image(desktop, printers, shell, tmp_path):
    printers.install("PTA", default=True)
    write_ini(shell, IncFileName=1)
    saved = "c:\\shots\\capture files\\cap12.bmp"
    out = outcome(desktop, start_print(desktop, shell, tmp_path, 640, 480, 24, saved))
    assert out["result"] == "0"
    job = single_job(printers, "PTA")
    assert postscript_title(job) == "cap12.bmp", "the spooler shows the file-name part"
    assert page_text(job) == saved, "the full path is printed"
    page = render(job, PAGES / "page-with-file-name.png")
    # The image area lost an inch: 2700 pixels high, and the image is
    # width-limited, so it keeps 2400 x 1800.
    image = ink_box(page, (0, 0, page.width, OFFSET[1] + 2700))
    assert all(abs(a - e) <= 1 for a, e in zip(image, (75, 150, 2475, 1950))), image
    check_blocks(page, image)
    # The line starts 5 pixels below the image area, at the left margin:
    # nothing between, and its ink within the first line's height after.
    text_top = OFFSET[1] + 2700 + 5
    assert ink_box(page, (0, image[3] + 2, page.width, text_top)) is None
    text = ink_box(page, (0, text_top, page.width, page.height))
    assert text is not None
    assert OFFSET[0] <= text[0] <= OFFSET[0] + 20, text
    assert text_top <= text[1] <= text_top + 40 and text[3] <= text_top + 120, text


def test_no_printer_reports_901_and_prints_nothing(desktop, printers, shell, tmp_path):
    proc = start_print(desktop, shell, tmp_path, 64, 48, 24, "c:\\shots\\cap1.bmp")
    assert error_box(desktop) == ["No default printer is available, or its page is too small."]
    out = outcome(desktop, proc)
    assert out["result"] == "1"
    assert out["progress"] == "", "the job never started"
    assert out["device"] == ""


@pytest.mark.parametrize("cancel_at,progress", [
    (0, "0"),           # before the document starts
    (25, "0,25"),       # the page started
    (50, "0,25,50"),    # the image and the text drawn
])
def test_cancel_from_the_status_window(desktop, printers, shell, tmp_path, cancel_at, progress):
    printers.install("PTA", default=True)
    write_ini(shell, IncFileName=1)
    proc = start_print(desktop, shell, tmp_path, 640, 480, 24, "c:\\shots\\cap3.bmp", cancel_at=cancel_at)
    status = desktop.find("Pictrap", "Status", 30000)
    assert status

    def status_hidden():
        assert desktop.info(status)["visible"] == "0", "hidden before the report"
    assert error_box(desktop, while_shown=status_hidden) == ["The operation was cancelled."]
    out = outcome(desktop, proc)
    assert out["result"] == "0", "the job ran; its status is reported"
    assert out["progress"] == progress
    # An aborted document never reaches the port: no file at all.
    time.sleep(1)
    assert printers.jobs("PTA") == []


def test_job_the_port_refuses_is_reported(desktop, printers, shell, tmp_path):
    """The spooler takes the page but cannot hand it to the port: the job
    failed at its end, and says so instead of passing for printed."""
    printers.install("PTA", default=True, port=str(tmp_path / "no such folder" / "out.ps"))
    proc = start_print(desktop, shell, tmp_path, 64, 48, 24)
    assert error_box(desktop) == ["The print job could not be started, or did not reach the printer."]
    out = outcome(desktop, proc)
    assert (out["result"], out["progress"]) == ("0", "0,25,50")


def xdotool(desktop, *args):
    subprocess.run(["xdotool"] + [str(a) for a in args], env=desktop.env, check=True, timeout=30)


def click_control(desktop, dialog, control_id):
    rc, out = desktop.wintest("child", str(dialog), str(control_id))
    assert rc == 0, f"no control {control_id:#x}"
    left, top, right, bottom = map(int, desktop.info(int(out))["rect"].split(","))
    xdotool(desktop, "mousemove", (left + right) // 2, (top + bottom) // 2)
    xdotool(desktop, "click", "1")


PRINTER_COMBO = 0x470  # cmb1 of the Print Setup dialog


def setup_dialog(desktop):
    dialog = desktop.find("Print Setup", "#32770", 30000)
    assert dialog, "no Print Setup dialog"
    time.sleep(0.5)
    return dialog


def chosen_printer(desktop, dialog):
    rc, out = desktop.wintest("combo-selection", str(dialog), str(PRINTER_COMBO))
    assert rc == 0
    return out.strip()


def test_printer_setup_chooses_and_survives_the_printer_going(desktop, printers, shell, tmp_path):
    printers.install("PTA", default=True)
    printers.install("PTB")
    dib = tmp_path / "small.dib"
    dib.write_bytes(capture_dib(64, 48, 24))
    proc = desktop.start([shell / "shelltest.exe", "printer-setup", "2", windows_path(dib)], cwd=shell)

    dialog = setup_dialog(desktop)
    assert chosen_printer(desktop, dialog) == "PTA", "nothing saved yet: the default printer"
    click_control(desktop, dialog, PRINTER_COMBO)
    xdotool(desktop, "key", "End", "Return")
    assert wait_for(lambda: chosen_printer(desktop, dialog) == "PTB", timeout=5)
    click_control(desktop, dialog, IDOK)
    assert desktop.wintest("gone", str(dialog), "10000")[0] == 0
    assert wait_for(lambda: "device=PTB" in desktop.output(proc), timeout=10), desktop.output(proc)

    # The saved printer is uninstalled; the next Printer Setup must open on
    # the default printer instead of failing.
    printers.remove("PTB")
    (shell / "next").write_text("")
    dialog = setup_dialog(desktop)
    assert chosen_printer(desktop, dialog) == "PTA"
    click_control(desktop, dialog, IDOK)
    out = outcome(desktop, proc)
    assert (out["round"], out["device"], out["result"]) == ("2", "PTA", "0")
    assert len(printers.jobs("PTA")) == 1


def test_printer_setup_cancelled_keeps_the_chosen_printer(desktop, printers, shell, tmp_path):
    printers.install("PTA", default=True)
    printers.install("PTB")
    dib = tmp_path / "small.dib"
    dib.write_bytes(capture_dib(64, 48, 8))
    proc = desktop.start([shell / "shelltest.exe", "printer-setup", "2", windows_path(dib)], cwd=shell)
    dialog = setup_dialog(desktop)
    click_control(desktop, dialog, PRINTER_COMBO)
    xdotool(desktop, "key", "End", "Return")
    assert wait_for(lambda: chosen_printer(desktop, dialog) == "PTB", timeout=5)
    click_control(desktop, dialog, IDOK)
    assert wait_for(lambda: "device=PTB" in desktop.output(proc), timeout=10)

    (shell / "next").write_text("")
    dialog = setup_dialog(desktop)
    assert chosen_printer(desktop, dialog) == "PTB", "the dialog opens on the saved printer"
    click_control(desktop, dialog, PRINTER_COMBO)
    xdotool(desktop, "key", "Home", "Return")
    click_control(desktop, dialog, IDCANCEL)
    out = outcome(desktop, proc)
    assert (out["round"], out["device"], out["result"]) == ("2", "PTB", "0")
    assert printers.jobs("PTA") == []
    job = single_job(printers, "PTB")
    assert postscript_title(job) == "Pictrap"
