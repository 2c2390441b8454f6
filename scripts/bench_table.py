"""Prints the benchmark table from the JSON results of several runs: for each
operation and picture, our shipped 32-bit Windows build (under Wine), our
native build, each yardstick, the ratio the goal is stated in, the goal, and
whether it is met. Times are the median of the runs' per-iteration times
with their min-max; ratios are taken between medians.

usage: bench_table.py RESULTS_DIR
RESULTS_DIR holds shipped-N.json, native-N.json and pillow-N.json per run N.
"""
import glob
import json
import os
import statistics
import sys

# (operation, picture, ours, [(column, yardstick)], goal)
# goal: ("faster", x, yardstick columns): each yardstick takes at least x
#       times our time; ("within", x, column): ours takes at most x times
#       the yardstick's; None: shown for information.
PICTURES_GREY = ("desktop24", "synthetic24")
ROWS = []
for pic in PICTURES_GREY:
    ROWS.append(("greyscale", pic, f"grey/{pic}",
                 [("Pillow", f"pillow_grey/{pic}"), ("Magick", f"magick_grey/{pic}"),
                  ("fresh", f"fresh_grey_block/{pic}")],
                 ("faster", 2.0, ["Pillow"])))
for pic in ("desktop24", "desktop8", "synthetic24"):
    ROWS.append(("black and white", pic, f"bw/{pic}",
                 [("Pillow", f"pillow_bw/{pic}"), ("Magick", f"magick_bw/{pic}")],
                 ("faster", 1.0, ["Pillow"])))
ROWS.append(("invert", "desktop24", "invert/desktop24", [("copy", "copy/desktop24")], ("within", 3.0, "copy")))
for pic in ("desktop24", "desktop8", "synthetic24", "synthetic8", "desktop1"):
    ROWS.append(("TIFF PackBits", pic, f"packbits/{pic}",
                 [("libtiff", f"libtiff_packbits/{pic}"), ("Pillow", f"pillow_packbits/{pic}")],
                 ("faster", 2.0, ["libtiff"]) if pic != "desktop1" else None))
for pic in ("desktop24", "desktop8", "synthetic24", "synthetic8", "desktop1"):
    ROWS.append(("PCX", pic, f"pcx/{pic}",
                 [("Pillow", f"pillow_pcx/{pic}"), ("Magick", f"magick_pcx/{pic}")] +
                 ([("plain", f"plain_pcx/{pic}")] if pic != "desktop1" else []),
                 ("faster", 2.5, ["Pillow", "Magick"]) if pic != "desktop1" else None))
for pic in ("desktop24", "desktop8"):
    ROWS.append(("BMP", pic, f"bmp/{pic}", [("plain", f"plain_bmp/{pic}"), ("Pillow", f"pillow_bmp/{pic}")],
                 ("within", 1.2, "plain")))
for pic in ("desktop24", "desktop8"):
    ROWS.append(("TIFF uncompressed", pic, f"tiff/{pic}", [("plain", f"plain_tiff/{pic}")],
                 ("within", 1.2, "plain")))

# The plain write is measured in each build: the shipped build's ratio uses
# the plain write under Wine, the native one the native plain write.
SAME_BUILD = {"plain", "copy", "fresh"}
COLUMNS = ["libtiff", "Pillow", "Magick", "plain", "copy", "fresh"]


def load(results):
    """{source: {benchmark: [per-run ms]}}, {source: {benchmark: error}}, counters."""
    times, errors, counters = {}, {}, {}
    for source in ("shipped", "native", "pillow"):
        times[source], errors[source] = {}, {}
        for path in sorted(glob.glob(os.path.join(results, f"{source}-*.json"))):
            with open(path) as f:
                data = json.load(f)
            for b in data["benchmarks"]:
                if b.get("run_type", "iteration") != "iteration":
                    continue
                name = b["run_name"] if "run_name" in b else b["name"]
                if b.get("error_occurred"):
                    errors[source][name] = b.get("error_message", "error")
                    continue
                scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b.get("time_unit", "ns")]
                times[source].setdefault(name, []).append(b["real_time"] * scale)
                if source == "native" and "peak_x_input" in b:
                    counters[name] = b["peak_x_input"]
    return times, errors, counters


def summary(values):
    if not values:
        return None
    return statistics.median(values), min(values), max(values)


def cell(s):
    if s is None:
        return "missing"
    med, lo, hi = s
    return f"{med:7.2f} [{lo:.2f}-{hi:.2f}]"


def find(times, name, build):
    """A yardstick's runs: the plain write and the copy from the same build,
    the others from the native program or the Pillow script."""
    base = name.split("/")[0]
    if base.startswith("pillow_"):
        return times["pillow"].get(name)
    if base in ("plain_bmp", "plain_tiff", "plain_pcx", "copy", "fresh_grey_block"):
        return times[build].get(name)
    return times["native"].get(name)


def judge(goal, ours, yard):
    """Ratio text and met flag for one build."""
    if goal is None or ours is None:
        return "", None
    kind, x, cols = goal
    if kind == "faster":
        ratios = []
        for c in cols:
            if yard.get(c) is None:
                return "missing", False
            ratios.append((c, yard[c][0] / ours[0]))
        met = all(r >= x for _, r in ratios)
        return " ".join(f"{r:.2f}x" for _, r in ratios), met
    if yard.get(cols) is None:
        return "missing", False
    r = ours[0] / yard[cols][0]
    return f"{r:.2f}x", r <= x


def goal_text(goal):
    if goal is None:
        return "(information)"
    kind, x, cols = goal
    if kind == "faster" and x == 1:
        return f"no slower than {' and '.join(cols)}"
    if kind == "faster":
        return f">= {x:g}x faster than {' and '.join(cols)}"
    return f"<= {x:g}x the {cols} time"


def main(results):
    times, errors, counters = load(results)
    runs = len(glob.glob(os.path.join(results, "shipped-*.json")))
    header = ["operation", "picture", "ours shipped (i686, Wine)", "ours native (x86-64)"] + \
             [f"{c}" for c in COLUMNS] + ["ratio shipped", "ratio native", "goal", "result", "peak mem"]
    table = [header]
    all_met = True
    for op, pic, ours_name, yards, goal in ROWS:
        shipped = summary(times["shipped"].get(ours_name))
        native = summary(times["native"].get(ours_name))
        cols = {c: None for c in COLUMNS}
        yard_shipped, yard_native = {}, {}
        for c, name in yards:
            if c in SAME_BUILD:
                yard_shipped[c] = summary(find(times, name, "shipped"))
                yard_native[c] = summary(find(times, name, "native"))
                cols[c] = yard_shipped[c]
            else:
                yard_shipped[c] = yard_native[c] = cols[c] = summary(find(times, name, "native"))
        ratio_s, met = judge(goal, shipped, yard_shipped)
        ratio_n, _ = judge(goal, native, yard_native)
        if goal is None:
            result = ""
        elif met is None:
            result = "NOT met (missing)"
            all_met = False
        else:
            result = "met" if met else "NOT met"
            all_met &= met
        peak = counters.get(ours_name)
        row = [op, pic, cell(shipped), cell(native)] + \
              [cell(cols[c]) if any(c == y for y, _ in yards) else "" for c in COLUMNS] + \
              [ratio_s, ratio_n, goal_text(goal), result, f"{peak:.2f}x" if peak else ""]
        table.append(row)
    widths = [max(len(r[i]) for r in table) for i in range(len(header))]
    print(f"ms per operation, median [min-max] of {runs} runs; ratios between medians; "
          "plain and copy columns from the shipped build (the native ratio uses the native ones); "
          "for PCX, plain is the same bytes written in the writer's fixed 10240-byte pieces (information); "
          "fresh = allocating and touching a new block the size of the greyscale result (information); "
          "peak mem = most memory held at once, input included, per input byte")
    for i, r in enumerate(table):
        print("  ".join(v.ljust(widths[k]) for k, v in enumerate(r)).rstrip())
        if i == 0:
            print("  ".join("-" * w for w in widths))
    missing = sorted({f"{src}: {name}: {msg}" for src in errors for name, msg in errors[src].items()})
    for m in missing:
        print("ERROR", m)
    return 0 if all_met and not missing else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
