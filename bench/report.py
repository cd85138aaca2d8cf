#!/usr/bin/env python3
"""Turns quillo_bench's JSON output into the markdown tables of
docs/performance.md and checks the targets:

- linear growth: per-byte time at 64 MiB at most 1.3 times that at 1 MiB,
  for every routine and shape; where the physical references themselves
  (a memchr/memmem scan, a memcpy of the page) slow down by more from
  1 MiB to 64 MiB, that step is the memory's, and the routine may grow by
  1.3 times the references' step (marked "memory" in the table);
- realistic pages parse at 300 MB/s or more (ExtractEntries and
  ExtractPageLinks, every size).

Each routine's worst ratio to the plain memchr/memmem scan of the same
pages is shown beside it, for comparison, not as a target.

With repetitions, the median of each benchmark is used; given several
result files (separate rounds), the best of their medians: on a shared
machine, other work only ever slows a round down.
    bench/report.py results.json...   exit status 1 when a target fails
"""
import json
import sys

SIZES = ["64KiB", "1MiB", "16MiB", "64MiB"]
SHAPES = ["realistic", "double_byte", "cr_lf_dense", "dense_entries", "near_misses"]
ROUTINES = ["ExtractEntries", "ExtractPageLinks", "DeleteAll_LF", "PlainScan", "PlainCopy"]
REFERENCES = ("PlainScan", "PlainCopy")


def load(path):
    with open(path) as f:
        data = json.load(f)
    rate = {}
    medians = any(b.get("aggregate_name") == "median" for b in data["benchmarks"])
    for b in data["benchmarks"]:
        if medians and b.get("aggregate_name") != "median":
            continue
        if not medians and b.get("run_type") == "aggregate":
            continue
        routine, shape, size = b["run_name"].split("/")[:3]
        rate[(routine, shape, size)] = b["bytes_per_second"] / 1e6  # MB/s
    return data.get("context", {}), rate


def cell(mbps):
    return f"{mbps:,.0f}" if mbps >= 100 else f"{mbps:.1f}"


def main():
    context, rate = load(sys.argv[1])
    for path in sys.argv[2:]:
        for key, mbps in load(path)[1].items():
            rate[key] = max(rate.get(key, 0.0), mbps)
    failures = []
    print(f"Measured {context.get('date', '?')}, {context.get('num_cpus', '?')} CPUs "
          f"at {context.get('mhz_per_cpu', '?')} MHz; MB/s with MB = 10^6 bytes, "
          f"best of {len(sys.argv) - 1} rounds of the median of their repetitions.\n")
    def growth(routine, shape):
        return rate[(routine, shape, "1MiB")] / rate[(routine, shape, "64MiB")]

    for routine in ROUTINES:
        print(f"**{routine}**\n")
        head = "| shape | " + " | ".join(SIZES) + " | 64 MiB vs 1 MiB per byte |"
        if routine not in REFERENCES:
            head += " worst vs plain scan |"
        print(head)
        print("|" + "---|" * (head.count("|") - 1))
        for shape in SHAPES:
            row = [rate.get((routine, shape, s)) for s in SIZES]
            if None in row:
                continue
            grows = growth(routine, shape)
            note = ""
            if routine not in REFERENCES and grows > 1.3:
                physical = max(growth(r, shape) for r in REFERENCES)
                if grows <= 1.3 * physical:
                    note = f" (memory: references {physical:.2f}x)"
                else:
                    failures.append(f"{routine}/{shape}: 64 MiB per byte {grows:.2f}x 1 MiB")
            line = f"| {shape} | " + " | ".join(cell(r) for r in row) + f" | {grows:.2f}x{note} |"
            if routine not in REFERENCES:
                worst = max(rate[("PlainScan", shape, s)] / rate[(routine, shape, s)]
                            for s in SIZES)
                line += f" {worst:.1f}x |"
                if shape == "realistic" and routine != "DeleteAll_LF" and min(row) < 300:
                    failures.append(f"{routine}/realistic: {min(row):.0f} MB/s")
            print(line)
        print()
    if failures:
        print("Targets missed:\n")
        for f in failures:
            print(f"- {f}")
        return 1
    print("All targets met.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
