"""Prints the ratios the performance targets are stated in, from Google
Benchmark JSON results (median of the repetitions)."""
import json
import sys

# (ours, yardstick, how many times faster ours must be; below 1 means "within")
TARGETS = [
    ("BM_MakeGreyscaleDib", "BM_MagickGrey", 3.0),
    ("BM_MakeBlackWhiteDib", "BM_MagickGreyThreshold", 2.0),
    ("BM_InvertDib", "BM_CopyDib", 1 / 3.0),
]


def main(paths):
    median = {}
    for path in paths:
        with open(path) as f:
            for b in json.load(f)["benchmarks"]:
                if b.get("aggregate_name") == "median":
                    median[b["run_name"]] = b["real_time"]
    ok = True
    for ours, base, target in TARGETS:
        if ours not in median or base not in median:
            continue
        ratio = median[base] / median[ours]
        met = ratio >= target
        ok &= met
        goal = f">= {target:g}x faster" if target >= 1 else f"within {1 / target:g}x"
        print(f"{ours:28s} {median[ours]:9.3f}  vs {base:24s} {median[base]:9.3f}  "
              f"speed-up {ratio:6.2f}  (target {goal}: {'met' if met else 'NOT met'})")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
