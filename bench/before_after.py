#!/usr/bin/env python3
"""Prints the before-and-after table of bench/run-before-after.sh from its runs
(before-<round>.json and after-<round>.json): for every case the median over
the rounds with the lowest and highest in brackets, and its ratio to its floor
taken round by round (the copy of the same depth on as many threads, or the pow
calls measured beside a shaped kernel). A host-path case is shown as the
module's part of a frame, with the host's part and the whole frame beside it."""
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
    """(label, case, floor case or None, value picked from a case)."""
    for depth in DEPTHS:
        yield (f"frame copy, {depth}, 1 thread", f"Copy/{depth}/{SIZE}", None, "time")
        yield (f"frame copy, {depth}, 2 threads", f"Copy/{depth}/threads:2/{SIZE}", None, "time")
    for depth in DEPTHS:
        yield (f"kernel, {depth}, default ramp, 1 thread",
               f"Kernel/{depth}/horizontal/linear/color/power:1/{SIZE}", f"Copy/{depth}/{SIZE}", "time")
    for depth in DEPTHS:
        for threads in (1, 2):
            case = f"SmartRender/{depth}/default/threads:{threads}/{SIZE}"
            copy = f"Copy/{depth}/{SIZE}" if threads == 1 else f"Copy/{depth}/threads:2/{SIZE}"
            label = f"host path, {depth}, default ramp, {threads} thread{'s' if threads > 1 else ''}"
            yield (label + ": module", case, copy, "module_ms")
            yield (label + ": host", case, None, "host_ms")
            yield (label + ": whole frame", case, copy, "time")
    for depth in DEPTHS:
        yield (f"kernel, {depth}, Power 2.2 diagonal \"Color\" (x pow floor)",
               f"PowRatio/{depth}/{SIZE}", None, "x_pow_floor")


def pick(entry, what):
    ms, b = entry
    return ms if what == "time" else b.get(what)


def main(folder):
    sides = {}
    for side in ("before", "after"):
        paths = sorted(glob.glob(os.path.join(folder, f"{side}-*.json")))
        sides[side] = [read_round(p) for p in paths]
    print(f"rounds: {len(sides['before'])} before, {len(sides['after'])} after")
    print()
    print("| case | before, ms | before, x floor | after, ms | after, x floor |")
    print("|---|---:|---:|---:|---:|")
    for label, case, floor, what in rows():
        cells = []
        for side in ("before", "after"):
            values, ratios = [], []
            for run in sides[side]:
                if case not in run:
                    continue
                v = pick(run[case], what)
                if v is None:
                    continue
                values.append(v)
                if floor and floor in run:
                    ratios.append(v / run[floor][0])
            if what == "x_pow_floor":
                cells += ["", spread(values)]
            else:
                cells += [spread(values, 3 if what == "host_ms" else 2), spread(ratios)]
        print(f"| {label} | " + " | ".join(cells) + " |")


if __name__ == "__main__":
    main(sys.argv[1])
