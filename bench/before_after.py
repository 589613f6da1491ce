#!/usr/bin/env python3
"""Prints the before-and-after table of bench/run-before-after.sh from its runs
(before-<round>.json and after-<round>.json): for every case the median over
the rounds with the lowest and highest in brackets, and its ratio to its floor
measured beside it frame by frame (the copy of the same depth on as many
threads, or the pow calls of a shaped kernel). A host-path case is shown as the
module's part of a frame, with the host's part below it."""
import glob
import json
import os
import statistics
import sys

SIZE = "3840x2160"
DEPTHS = ("8bit", "16bit", "float")


def read_round(path):
    """Case name -> (ms per frame, counters) of one run."""
    with open(path) as f:
        run = json.load(f)
    cases = {}
    for b in run["benchmarks"]:
        if b.get("error_occurred") or b.get("run_type", "iteration") != "iteration":
            continue
        name = b.get("run_name", b["name"]).split("/min_time")[0].replace("/real_time", "")
        unit = {"ms": 1.0, "us": 1e-3, "ns": 1e-6, "s": 1e3}[b["time_unit"]]
        cases[name] = (b["real_time"] * unit, b)
    return cases


def spread(values, digits=2):
    if not values:
        return ""
    return (f"{statistics.median(values):.{digits}f} "
            f"({min(values):.{digits}f}–{max(values):.{digits}f})")


def rows():
    """(label, case, counter or "time" for the case's own time, ratio counter)."""
    for depth in DEPTHS:
        yield (f"kernel, {depth}, default ramp, 1 thread",
               f"CopyRatio/{depth}/kernel/{SIZE}", "time", "x_copy_floor")
    for depth in DEPTHS:
        for threads in (1, 2):
            case = f"CopyRatio/{depth}/host/threads:{threads}/{SIZE}"
            label = f"host path, {depth}, default ramp, {threads} thread{'s' if threads > 1 else ''}"
            yield (label + ": the module's part", case, "time", "x_copy_floor")
            yield (label + ": the host's part", case, "host_ms", None)
    for depth in DEPTHS:
        yield (f"kernel, {depth}, Power 2.2 diagonal \"Color\", against the pow floor",
               f"PowRatio/{depth}/{SIZE}", None, "x_pow_floor")


def main(folder):
    sides = {}
    for side in ("before", "after"):
        paths = sorted(glob.glob(os.path.join(folder, f"{side}-*.json")))
        sides[side] = [read_round(p) for p in paths]
    print(f"rounds: {len(sides['before'])} before, {len(sides['after'])} after")
    print()
    print("| case | copy floor, ms | before, ms | before, x floor | after, ms | after, x floor |")
    print("|---|---:|---:|---:|---:|---:|")
    for label, case, value, ratio in rows():
        cells, copies = [], []
        for side in ("before", "after"):
            values, ratios = [], []
            for run in sides[side]:
                if case not in run:
                    continue
                ms, b = run[case]
                if value:
                    values.append(ms if value == "time" else b[value])
                if ratio:
                    ratios.append(b[ratio])
                if ratio == "x_copy_floor":
                    copies.append(b["copy_ms"])
            cells += [spread(values, 3 if value == "host_ms" else 2), spread(ratios)]
        print(f"| {label} | {spread(copies)} | " + " | ".join(cells) + " |")


if __name__ == "__main__":
    main(sys.argv[1])
