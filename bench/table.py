#!/usr/bin/env python3
"""Prints the benchmark run as one table: each case's time per frame, its ratio
to the physical floor of the same frame (copying it) and to the straightforward
reference path of the same case, and, for a shaped ramp, to one pow call per
pixel (PowRatio cases measure that ratio themselves, frame by frame in turn
with the pow floor, as CopyRatio cases do theirs to the copy floor), and how
much faster 2 render threads are than 1
(ThreadScaling cases, also frame by frame in turn)."""
import json
import sys


def scaling_cell(figures):
    if not figures:
        return ""
    ramp, machine = figures
    return f"{ramp:.2f} x" + (f" (bare pow: {machine:.2f} x)" if machine else "")


def main(path):
    with open(path) as f:
        run = json.load(f)
    # With --benchmark_repetitions, the median of the repetitions stands for
    # the case; otherwise the single run does.
    times = {}
    paired = {}
    paired_copy = {}
    scaling = {}
    medians = any(b.get("aggregate_name") == "median" for b in run["benchmarks"])
    for b in run["benchmarks"]:
        if b.get("error_occurred"):
            continue
        if medians and b.get("aggregate_name") != "median":
            continue
        if not medians and b.get("run_type", "iteration") != "iteration":
            continue
        name = b.get("run_name", b["name"]).split("/min_time")[0].replace("/real_time", "")
        unit = {"ms": 1.0, "us": 1e-3, "ns": 1e-6, "s": 1e3}[b["time_unit"]]
        times[name] = b["real_time"] * unit
        if "x_copy_floor" in b:
            paired_copy[name] = b["x_copy_floor"]
        if "x_pow_floor" in b:
            paired[name] = b["x_pow_floor"]
        if "x_one_thread" in b:
            scaling[name] = (b["x_one_thread"], b.get("machine_x_one_thread"))

    ctx = run["context"]
    print(f"machine: {ctx.get('host_name', '?')}, {ctx['num_cpus']} cpus at {ctx['mhz_per_cpu']} MHz,"
          f" {run['context'].get('library_build_type', '')} benchmark library")
    print()
    print(f"| case | ms per frame | x copy floor | x reference | x pow floor | 2 threads vs 1 |")
    print(f"|---|---:|---:|---:|---:|---:|")
    for name, ms in times.items():
        parts = name.split("/")
        kind, size = parts[0], parts[-1]
        depth = parts[1] if kind not in ("Pow",) else None
        floor = times.get(f"Copy/{depth}/{size}") if depth and kind not in ("PowRatio", "ThreadScaling") else None
        ref = None
        if kind in ("Kernel", "Baseline"):
            ref = times.get("Reference/" + "/".join(parts[1:]))
        pow_floor = times.get(f"Pow/{size}") if "power:2.2" in name or kind == "Pow" else None
        pow_ratio = paired.get(name, ms / pow_floor if pow_floor else None)
        copy_ratio = paired_copy.get(name, ms / floor if floor else None)
        cells = [f"{ms:.2f}",
                 f"{copy_ratio:.2f}" if copy_ratio else "",
                 f"{ms / ref:.3f}" if ref else "",
                 f"{pow_ratio:.2f}" if pow_ratio else "",
                 scaling_cell(scaling.get(name))]
        print(f"| {name} | " + " | ".join(cells) + " |")


if __name__ == "__main__":
    main(sys.argv[1])
