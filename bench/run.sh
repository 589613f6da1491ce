#!/usr/bin/env bash
# Builds the benchmarks in Release, runs them all in one process (the floor, the
# reference path and the fast paths side by side) and prints one table.
# Usage: bench/run.sh [extra Google Benchmark flags, e.g. --benchmark_filter=8bit]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build/bench"

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DVELKOR_BUILD_BENCH=ON -DVELKOR_BUILD_TESTS=OFF -DVELKOR_WINDOWS=OFF > /dev/null
cmake --build "$build" -j "$(nproc)" --target velkor_bench VelkorRamp velkor_ofx_plugin > /dev/null

json="$build/bench.json"
"$build/bench/velkor_bench" --benchmark_out="$json" --benchmark_out_format=json "$@" > /dev/null
python3 "$here/bench/table.py" "$json"
