"""A private Wine desktop: Xvfb on a free display, a 32-bit prefix with a
virtual desktop, and a helper to look at windows inside it. Used by the
end-to-end tests and by the run script when there is no display."""
import errno
import functools
import os
import subprocess
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BIN = Path(os.environ.get("PICTRAP_WIN32_BIN", ROOT / "build" / "win32" / "bin"))


VIRTUAL_DESKTOP_REG = """REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]
"Default"="{size}"

"""
# Wine's explorer shows notification icons on a taskbar along the bottom of
# the virtual desktop, which would cover what the tests look at (the
# minimised program at the bottom left). Only a desktop made with shell=True
# keeps the taskbar, as Windows has. Wine 8.0 reads neither setting and shows
# its taskbar for the first icon all the same: see hide_taskbar.
SHELL_REG = """REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]
"ShowSystray"=dword:{shell}

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops\\Default]
"EnableShell"=dword:{shell}
"ShowSystray"=dword:{shell}

"""


@functools.lru_cache(maxsize=None)
def why_32bit_wine_cannot_run():
    """None where this machine runs 32-bit x86 programs, else the reason.

    SHOTBOX and 32-bit Wine are i386 Linux processes under the hood; some
    virtual machines' kernels run 64-bit user code only, and every i386
    program then fails with "Exec format error". An i386 binary-format
    handler such as qemu-user does not make up for it: Wine crashes under it.
    """
    loader = "/lib/ld-linux.so.2"  # libc6:i386, which 32-bit Wine needs anyway
    try:
        subprocess.run([loader, "--version"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=30, check=False)
    except FileNotFoundError:
        return f"{loader} is missing: the i386 libraries of 32-bit Wine are not installed"
    except OSError as e:
        if e.errno == errno.ENOEXEC:
            return ("this machine's kernel does not run 32-bit x86 programs (Exec format error), "
                    "so 32-bit Wine and the Windows binaries cannot run here")
        raise
    return None


# The test fixtures that run Windows programs under Wine.
WINE_FIXTURES = {"desktop", "bare_desktop", "twm_desktop", "desktop_at_depth", "scaled_desktop", "fresh_desktop", "shell_desktop",
                 "monitors_desktop"}


def skip_where_wine_cannot_run(items):
    """For pytest's collection: tests that run Windows programs are marked
    "wine" (so that `-m wine` picks them, as scripts/in-vm.sh runs them), and
    where this machine cannot execute 32-bit x86 code they are skipped with
    the reason; those that only read the binaries still run."""
    import pytest
    reason = why_32bit_wine_cannot_run()
    for item in items:
        if WINE_FIXTURES & set(getattr(item, "fixturenames", ())):
            item.add_marker(pytest.mark.wine)
            if reason:
                item.add_marker(pytest.mark.skip(reason=reason))


def start_xvfb(workdir, depth=24, size="1024x768"):
    """Starts Xvfb on a display it picks itself; returns (process, display)."""
    read_fd, write_fd = os.pipe()
    proc = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{size}x{depth}", "-nolisten", "tcp"],
        pass_fds=(write_fd,), stdout=subprocess.DEVNULL,
        stderr=open(workdir / "xvfb.log", "wb"))
    os.close(write_fd)
    number = b""
    with os.fdopen(read_fd, "rb") as r:
        while not number.endswith(b"\n"):
            chunk = r.read(1)
            if not chunk:
                break
            number += chunk
    if not number.strip():
        proc.kill()
        raise RuntimeError("Xvfb did not report a display")
    return proc, ":" + number.decode().strip()


class Desktop:
    """A Wine prefix with a virtual desktop on a private X display.

    With virtual_desktop=False the prefix has none: Wine's windows are plain X
    windows on the display, with no window manager to draw frames, and a
    minimised window sits at -32000,-32000, as on Windows. With a `display`
    it uses that X display, which its caller started and stops, instead of
    an Xvfb of its own.
    """

    def __init__(self, root, virtual_desktop=True, depth=24, size="1024x768", private_home=False, shell=False,
                 display=None):
        reason = why_32bit_wine_cannot_run()
        if reason:
            raise RuntimeError(reason)
        self.root = root
        self.prefix = root / "prefix"
        self.xvfb, self.display = start_xvfb(root, depth, size) if display is None else (None, display)
        self.env = dict(os.environ)
        self.env.update(
            DISPLAY=self.display, WINEPREFIX=str(self.prefix), WINEARCH="win32",
            WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        if private_home:
            # Wine links the user's Desktop, Documents, Pictures ... folders
            # to those under $HOME: with a home of its own, everything a
            # program writes there stays inside this desktop's folder.
            (root / "home").mkdir(exist_ok=True)
            self.env["HOME"] = str(root / "home")
        self.env.pop("WINESERVER", None)
        self.started = []
        self.shell = shell and virtual_desktop
        self.virtual_desktop = virtual_desktop
        try:
            self._prepare(virtual_desktop, size, shell)
        except BaseException:
            self.close()
            raise

    def _prepare(self, virtual_desktop, size, shell):
        # Without this, Ctrl+Alt+F1..F12 switch virtual terminals and never arrive.
        subprocess.run(["setxkbmap", "-option", "srvrkeys:none"], env=self.env, check=False)
        subprocess.run(["wineboot", "-i"], env=self.env, check=True, timeout=600,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if virtual_desktop:
            reg = self.root / "desktop.reg"
            reg.write_text(VIRTUAL_DESKTOP_REG.format(size=size))
            self.run(["regedit", "/S", str(reg)], timeout=60)
        reg = self.root / "shell.reg"
        reg.write_text(SHELL_REG.format(shell=int(shell)))
        self.run(["regedit", "/S", str(reg)], timeout=60)
        # Restart the server so the desktop setting is in force, and keep it up.
        subprocess.run(["wineserver", "-k"], env=self.env, check=False)
        subprocess.run(["wineserver", "-w"], env=self.env, check=False, timeout=60)
        subprocess.run(["wineserver", "-p"], env=self.env, check=True)

    def run(self, args, timeout=60, cwd=None):
        """Runs a program to its end. Output goes through files, not pipes:
        Wine's own background processes inherit the handles and would hold a
        pipe open long after the program has exited."""
        with tempfile.TemporaryFile("w+") as out, tempfile.TemporaryFile("w+") as err:
            proc = subprocess.run(["wine"] + [str(a) for a in args], env=self.env, cwd=cwd,
                                  stdout=out, stderr=err, timeout=timeout)
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(proc.args, proc.returncode, out.read(), err.read())

    def start(self, args, cwd=None, env=None):
        """Starts a program (with `env` added to the desktop's environment);
        read its output with output(proc)."""
        out = tempfile.TemporaryFile("w+")
        proc = subprocess.Popen(["wine"] + [str(a) for a in args], env=dict(self.env, **(env or {})), cwd=cwd,
                                stdout=out, stderr=subprocess.DEVNULL)
        proc.output_file = out
        self.started.append(proc)
        return proc

    @staticmethod
    def output(proc):
        proc.output_file.seek(0)
        return proc.output_file.read().replace("\r", "")

    def wintest(self, *args, timeout=60):
        """Runs the helper inside the desktop; returns (exit code, stdout)."""
        r = self.run([BIN / "wintest.exe"] + list(args), timeout=timeout)
        return r.returncode, r.stdout.replace("\r", "")

    def find(self, title, cls, timeout_ms=10000):
        rc, out = self.wintest("find", title, cls, str(timeout_ms))
        return int(out.split()[0]) if rc == 0 and out.strip() else None

    def info(self, hwnd):
        rc, out = self.wintest("info", str(hwnd))
        assert rc == 0, f"window {hwnd} is gone"
        return dict(line.split("=", 1) for line in out.splitlines() if "=" in line)

    def texts(self, hwnd):
        rc, out = self.wintest("texts", str(hwnd))
        assert rc == 0
        return [tuple(line.split("\t", 2)) for line in out.splitlines() if line]

    def screenshot(self, path):
        subprocess.run(["import", "-display", self.display, "-window", "root", str(path)],
                       check=False, timeout=30)

    def _stop_programs(self):
        subprocess.run(["wineserver", "-k"], env=self.env, check=False, timeout=60)
        for proc in self.started:
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                proc.kill()
        self.started.clear()

    def end_programs(self):
        """Ends every Wine process of this prefix (and only those)."""
        self._stop_programs()
        subprocess.run(["wineserver", "-p"], env=self.env, check=False)

    def close(self):
        self._stop_programs()
        if self.xvfb is None:
            return
        self.xvfb.terminate()
        try:
            self.xvfb.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.xvfb.kill()
