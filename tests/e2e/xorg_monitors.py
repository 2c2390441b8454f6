"""Several monitors for Wine, which Xvfb cannot lay out: Xorg's dummy driver (as root), its outputs given
60 Hz modes from cvt (Wine leaves out outputs at odd rates) and placed with xrandr."""
import os
import subprocess

CONFIG = ('Section "ServerFlags"|Option "AutoAddDevices" "false"|Option "DontVTSwitch" "true"|EndSection|'
          'Section "Device"|Identifier "dummy"|Driver "dummy"|VideoRam 256000|EndSection|'
          'Section "Monitor"|Identifier "monitor"|HorizSync 5.0 - 1000.0|VertRefresh 5.0 - 200.0|EndSection|'
          'Section "Screen"|Identifier "screen"|Device "dummy"|Monitor "monitor"|DefaultDepth 24|'
          'SubSection "Display"|Depth 24|Virtual 4096 2048|EndSubSection|EndSection|').replace("|", "\n")


def xrandr(display, *args):
    return subprocess.run(["xrandr", *args], env=dict(os.environ, DISPLAY=display), check=True,
                          capture_output=True, text=True).stdout


def start_xorg(workdir, outputs):
    """`outputs`: [(x, y, width, height)] as Windows numbers them, the primary first at 0, 0 (X's
    positions are never negative). Returns (process, display); stop the process by its pid."""
    (workdir / "xorg.conf").write_text(CONFIG)
    read_fd, write_fd = os.pipe()
    proc = subprocess.Popen(["Xorg", "-displayfd", str(write_fd), "-config", str(workdir / "xorg.conf"), "-noreset",
                             "-nolisten", "tcp", "-logfile", str(workdir / "xorg.log")], pass_fds=(write_fd,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    try:
        with os.fdopen(read_fd) as r:
            display = ":" + r.readline().strip()
        lay_out(display, outputs)
    except BaseException:
        proc.terminate()
        proc.wait(timeout=30)
        raise
    return proc, display


def lay_out(display, outputs):
    left, top, layout = min(o[0] for o in outputs), min(o[1] for o in outputs), []
    for i, (x, y, w, h) in enumerate(outputs):
        name, *timings = subprocess.run(["cvt", str(w), str(h), "60"], check=True, capture_output=True,
                                        text=True).stdout.split("Modeline ")[1].replace('"', "").split()
        if name not in xrandr(display):  # two outputs of one size share their mode
            xrandr(display, "--newmode", name, *timings)
        xrandr(display, "--addmode", f"DUMMY{i}", name)
        layout += ["--output", f"DUMMY{i}", "--mode", name, "--pos", f"{x - left}x{y - top}"] + ["--primary"] * (i == 0)
    size = f"{max(o[0] + o[2] for o in outputs) - left}x{max(o[1] + o[3] for o in outputs) - top}"
    xrandr(display, "--fb", size, *layout)
    # Asked once before any Wine program starts: without it Wine's programs
    # counted X from the primary monitor's corner (seen twice, never with it).
    xrandr(display, "--listmonitors")
