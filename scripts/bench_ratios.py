"""Prints the ratios the performance targets are stated in, from Google
Benchmark JSON results (median of the repetitions)."""
import json
import sys

# (ours, yardstick, how many times faster ours must be; below 1 means "within")
TARGETS = [
    ("BM_MakeGreyscaleDib", "BM_MagickGrey", 3.0),
    ("BM_MakeBlackWhiteDib", "BM_MagickGreyThreshold", 2.0),
    ("BM_InvertDib", "BM_CopyDib", 1 / 3.0),
    ("BM_WriteTiffPackBits/24", "BM_LibtiffPackBits/24", 2.0),
    ("BM_WriteTiffPackBits/8", "BM_LibtiffPackBits/8", 2.0),
    ("BM_WritePcx/24", "BM_MagickPcx/24", 2.5),
    ("BM_WritePcx/8", "BM_MagickPcx/8", 2.5),
    ("BM_WriteTiffUncompressed/24", "BM_PlainWriteLikeTiff/24", 1 / 1.5),
    ("BM_WriteTiffUncompressed/8", "BM_PlainWriteLikeTiff/8", 1 / 1.5),
    ("BM_WriteBmp/24", "BM_PlainWriteLikeBmp/24", 1 / 1.5),
    ("BM_WriteBmp/8", "BM_PlainWriteLikeBmp/8", 1 / 1.5),
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
        print(f"{ours:30s} {median[ours]:9.3f}  vs {base:24s} {median[base]:9.3f}  "
              f"speed-up {ratio:6.2f}  (target {goal}: {'met' if met else 'NOT met'})")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
