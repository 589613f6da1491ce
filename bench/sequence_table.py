#!/usr/bin/env python3
"""Prints the sequence benchmarks as two tables: for each 100-frame sequence the
tool's time beside the encoder floor, the process's own start and 100
single-frame runs (medians of the paired iterations, lowest and highest in
brackets); and the peak memory of each run in frames of its size."""
import json
import sys


def cell(b, name, digits=2):
    if name not in b:
        return ""
    low, high = b.get(name + "_min"), b.get(name + "_max")
    text = f"{b[name]:.{digits}f}"
    if low is not None and high is not None:
        text += f" ({low:.{digits}f}-{high:.{digits}f})"
    return text


def main(path):
    with open(path) as f:
        run = json.load(f)
    ctx = run["context"]
    print(f"machine: {ctx.get('host_name', '?')}, {ctx['num_cpus']} cpus at {ctx['mhz_per_cpu']} MHz,"
          f" load average {', '.join(f'{x:.1f}' for x in ctx.get('load_avg', []))}")
    print()
    print("| sequence | iterations | writers | tool, s | encoder floor, s | x floor | x floor after the process's start"
          " | process start, s | 100 single runs, s | singles / tool |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for b in run["benchmarks"]:
        if not b["name"].startswith("Sequence/") or b.get("error_occurred"):
            continue
        print(f"| {b['name'].split('/manual_time')[0]} | {b['iterations']} | {int(b['writers'])} | "
              f"{cell(b, 'sequence_s')} | {cell(b, 'floor_s')} | {cell(b, 'x_floor')} | "
              f"{cell(b, 'x_floor_after_start')} | {cell(b, 'process_start_s')} | {cell(b, 'singles_100_s', 1)} | "
              f"{cell(b, 'singles_x_sequence', 1)} |")
    compared = [b for b in run["benchmarks"] if b["name"].startswith("Sequence/")
                and not b.get("error_occurred") and "base_sequence_s" in b]
    if compared:
        print()
        print("| sequence | before, s | after, s | after, the working space as before, s | after / before |")
        print("|---|---:|---:|---:|---:|")
        for b in compared:
            print(f"| {b['name'].split('/manual_time')[0]} | {cell(b, 'base_sequence_s')} | "
                  f"{cell(b, 'sequence_s')} | {cell(b, 'unconverted_sequence_s')} | {cell(b, 'x_base')} |")
    print()
    print("| peak memory | iterations | peak, MiB | process alone, MiB | frames' worth | whole process, frames' worth |")
    print("|---|---:|---:|---:|---:|---:|")
    for b in run["benchmarks"]:
        if not b["name"].startswith("PeakMemory/") or b.get("error_occurred"):
            continue
        print(f"| {b['name'].split('/iterations')[0].split('/manual_time')[0]} | {b['iterations']} | "
              f"{cell(b, 'peak_MiB', 0)} | {cell(b, 'process_MiB', 0)} | {cell(b, 'frames_worth')} | "
              f"{cell(b, 'frames_worth_whole_process')} |")


if __name__ == "__main__":
    main(sys.argv[1])
