"""PostScript printers inside the test prefix, with no print server.

Each printer is Wine's PostScript driver with a PPD of Ghostscript's; its
port is a pipe to a new file per job in a folder of its own, so a test sees
exactly which jobs reached which printer. Pages are rendered with Ghostscript
at the printer's own resolution, so one rendered pixel is one printer pixel.
"""
import glob
import subprocess
import tempfile
import time
from pathlib import Path

from PIL import Image

PRINT_KEY = r"HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Print"
DRIVERS_KEY = PRINT_KEY + r"\Environments\Windows NT x86\Drivers\Version-3"
WINDOWS_KEY = r"HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion"

# Letter with a printable area inset 1/4 inch left and right and 1/2 inch
# top and bottom, so that "the printable area's corner" differs from the
# sheet's: 75 and 150 pixels at 300 dpi.
IMAGEABLE_AREA = '*ImageableArea Letter: "18 36 594 756"'
RESOLUTION = 300


def ghostscript_ppd():
    found = sorted(glob.glob("/usr/share/ghostscript/*/lib/ghostpdf.ppd"))
    if not found:
        raise RuntimeError("ghostscript's ghostpdf.ppd is missing; scripts/setup.sh installs ghostscript")
    return Path(found[-1])


class Printers:
    """Printers defined in a desktop's prefix; remove_all() undoes them."""

    def __init__(self, desktop, root):
        self.desktop = desktop
        self.root = Path(root)
        self.names = []

    def _import(self, text):
        with tempfile.NamedTemporaryFile("w", suffix=".reg", dir=self.root, delete=False) as f:
            f.write("REGEDIT4\n\n" + text)
        r = self.desktop.run(["regedit", "/S", f.name], timeout=60)
        assert r.returncode == 0, r.stderr

    def jobs_dir(self, name):
        return self.root / f"jobs-{name}"

    def install(self, name, default=False, port=None):
        ppd_dir = self.desktop.prefix / "drive_c/windows/system32/spool/drivers/w32x86/3"
        ppd_dir.mkdir(parents=True, exist_ok=True)
        lines = [IMAGEABLE_AREA if l.startswith("*ImageableArea Letter:") else l
                 for l in ghostscript_ppd().read_text("latin-1").splitlines()]
        (ppd_dir / f"{name}.ppd").write_text("\n".join(lines) + "\n", "latin-1")
        jobs = self.jobs_dir(name)
        jobs.mkdir(exist_ok=True)
        port = port or f"|cat > {jobs}/job-$(date +%s%N).ps"
        self._import(
            f'[{DRIVERS_KEY}\\{name}]\n"Driver"="wineps.drv"\n"Configuration File"="wineps.drv"\n'
            f'"Data File"="{name}.ppd"\n"Datatype"="RAW"\n"Version"=dword:00000003\n\n'
            f'[{PRINT_KEY}\\Printers\\{name}]\n"Name"="{name}"\n"Printer Driver"="{name}"\n'
            f'"Port"="{port}"\n"Print Processor"="WinPrint"\n"Datatype"="RAW"\n'
            f'"Attributes"=dword:00000000\n"Priority"=dword:00000000\n"Status"=dword:00000000\n\n'
            f'[{WINDOWS_KEY}\\Devices]\n"{name}"="wineps.drv,PIPE:"\n\n'
            + (f'[{WINDOWS_KEY}\\Windows]\n"device"="{name},wineps.drv,PIPE:"\n\n' if default else ""))
        self.names.append(name)

    def remove(self, name):
        """Takes the printer out of the prefix, as uninstalling it would."""
        self._import(f"[-{PRINT_KEY}\\Printers\\{name}]\n\n[-{DRIVERS_KEY}\\{name}]\n\n"
                     f'[{WINDOWS_KEY}\\Devices]\n"{name}"=-\n\n')
        self.names.remove(name)

    def remove_all(self):
        for name in list(self.names):
            self.remove(name)
        self._import(f'[{WINDOWS_KEY}\\Windows]\n"device"=-\n\n')

    def jobs(self, name):
        jobs = self.jobs_dir(name)
        return sorted(jobs.glob("*.ps")) if jobs.exists() else []


def postscript_title(ps):
    for line in Path(ps).read_bytes().splitlines()[:40]:
        if line.startswith(b"%%Title:"):
            return line[len(b"%%Title:"):].strip().decode("latin-1")
    return None


def render(ps, png):
    """The page as Ghostscript prints it, one pixel per printer pixel."""
    Path(png).parent.mkdir(parents=True, exist_ok=True)
    subprocess.run(["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=png16m", f"-r{RESOLUTION}",
                    f"-sOutputFile={png}", str(ps)], check=True, timeout=120)
    with Image.open(png) as im:
        return im.convert("RGB")


def page_text(ps):
    r = subprocess.run(["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=txtwrite", "-sOutputFile=-",
                        str(ps)], check=True, capture_output=True, timeout=120)
    return r.stdout.decode("latin-1").strip()


def ink_box(image, box=None):
    """The bounding box of everything not white, inside `box` if given."""
    region = image.crop(box) if box else image
    found = region.convert("L").point(lambda v: 255 if v < 250 else 0).getbbox()
    if found is None or box is None:
        return found
    return (found[0] + box[0], found[1] + box[1], found[2] + box[0], found[3] + box[1])


def printed_pixels(page, area, size):
    """The printed image read back at the capture's own size: each capture
    pixel's colour where the middle of its printed area lies."""
    return page.crop(area).resize(size, Image.NEAREST)


def _wait(predicate, timeout):
    deadline = time.monotonic() + timeout
    while not predicate() and time.monotonic() < deadline:
        time.sleep(0.1)
    return predicate()


def single_job(printers, name, timeout=30):
    """The one job that reached the printer, once the port's pipe has written all of it."""
    jobs = _wait(lambda: printers.jobs(name), timeout)
    assert len(jobs) == 1, jobs
    assert _wait(lambda: jobs[0].read_bytes().rstrip().endswith(b"%%EOF"), timeout), "the job is cut short"
    return jobs[0]
