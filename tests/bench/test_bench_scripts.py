"""The benchmark table's verdicts, from made-up results: a writer must meet
its goal in elapsed time as well as in CPU time, every operation is held to
the peak-memory limit, and the Pillow yardstick's preparation stays outside
its timer."""
import importlib.util
import json
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]


def entry(name, cpu, real=None, peak=None):
    b = {"name": name, "run_name": name, "run_type": "iteration", "time_unit": "ms", "cpu_time": cpu,
         "real_time": cpu if real is None else real}
    if peak is not None:
        b["peak_x_input"] = peak
    return b


def table(tmp_path, shipped, native, pillow):
    for source, rows in (("shipped", shipped), ("native", native), ("pillow", pillow)):
        (tmp_path / f"{source}-1.json").write_text(json.dumps({"benchmarks": rows}))
    r = subprocess.run([sys.executable, str(ROOT / "scripts" / "bench_table.py"), str(tmp_path)],
                       capture_output=True, text=True, check=False)
    rows = {}
    for line in r.stdout.splitlines():
        words = line.split()
        if len(words) > 2 and words[1] in ("desktop24", "desktop8"):
            rows[(words[0], words[1])] = line
        elif len(words) > 3 and words[2] in ("desktop24", "desktop8"):
            rows[(" ".join(words[:2]), words[2])] = line
    return r.returncode, rows


@pytest.mark.parametrize("cpu, real, verdict", [
    (2.5, 2.5, "met"),                      # 2.08x on both clocks
    (2.5, 4.0, "NOT met (wall-clock)"),     # 2.08x in CPU time, 1.3x elapsed
    (3.0, 3.0, "NOT met"),                  # 1.73x on both
])
def test_a_writer_meets_its_goal_on_both_clocks(tmp_path, cpu, real, verdict):
    _, rows = table(tmp_path, [entry("packbits/desktop8", cpu, real)],
                    [entry("libtiff_packbits/desktop8", 5.2)], [])
    line = rows[("TIFF PackBits", "desktop8")]
    assert line.split("libtiff")[-1].strip().startswith(verdict)


def test_a_step_without_files_is_judged_on_cpu_time(tmp_path):
    _, rows = table(tmp_path, [entry("grey/desktop24", 1.0, 3.0)], [], [entry("pillow_grey/desktop24", 3.0)])
    assert rows[("greyscale", "desktop24")].split("Pillow")[-1].split()[0] == "met"


def test_peak_memory_over_twice_the_input_is_not_met(tmp_path):
    code, rows = table(tmp_path, [entry("grey/desktop24", 1.0), entry("invert/desktop24", 1.0),
                                  entry("copy/desktop24", 1.0)],
                       [entry("grey/desktop24", 0.5, peak=2.3), entry("invert/desktop24", 0.5, peak=2.0),
                        entry("copy/desktop24", 0.5)],
                       [entry("pillow_grey/desktop24", 3.0)])
    assert "NOT met (peak mem over 2x)" in rows[("greyscale", "desktop24")]
    assert "NOT met" not in rows[("invert", "desktop24")]
    assert code == 1


def test_pillow_removes_the_old_file_outside_its_timer(tmp_path, monkeypatch):
    spec = importlib.util.spec_from_file_location("pillow_bench", ROOT / "bench" / "pillow_bench.py")
    pillow_bench = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(pillow_bench)
    out = tmp_path / "pillow.out"
    fn, prepare = pillow_bench.step("pillow_bmp", str(out))
    clock = {"now": 0.0}
    monkeypatch.setattr(pillow_bench.time, "perf_counter", lambda: clock["now"])
    monkeypatch.setattr(pillow_bench.time, "process_time", lambda: clock["now"])

    class Picture:
        def save(self, path, fmt, **_):
            assert not Path(path).exists(), "the old file must be gone before the timed save"
            clock["now"] += 1.0  # each save takes 1 s on the fake clock
            Path(path).write_bytes(b"x")

    def slow_prepare():
        clock["now"] += 5.0  # removal is slow on the fake clock, and must not count
        prepare()

    ms, cpu_ms, n = pillow_bench.measure(fn, slow_prepare, Picture(), 3.0)
    assert (ms, cpu_ms, n) == (1000.0, 1000.0, 5)
