#!/usr/bin/env bash
# Builds velkorramp and the sequence benchmarks in Release, runs them in one
# process (the tool's 100-frame sequences beside the encoder floor, sampled
# single-frame runs and the process's own start; peak memory) and prints one
# table. Writes about 7 GB in all, in build/bench/bench/sequence-bench unless
# VELKOR_BENCH_DIR says where.
# Usage: bench/run-sequences.sh [extra Google Benchmark flags, e.g. --benchmark_filter=png8]
# VELKOR_BENCH_ITERATIONS (default 5) sets the paired iterations of each sequence
# case; VELKOR_BENCH_BASE_TOOL adds another build's sequences (compared on the pixels
# it wrote) and peak memory.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build/bench"

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DVELKOR_BUILD_BENCH=ON -DVELKOR_BUILD_TESTS=OFF -DVELKOR_WINDOWS=OFF > /dev/null
cmake --build "$build" -j "$(nproc)" --target velkor_sequence_bench velkorramp VelkorRamp > /dev/null

json="$build/sequence-bench.json"
"$build/bench/velkor_sequence_bench" --benchmark_out="$json" --benchmark_out_format=json "$@" > /dev/null
python3 "$here/bench/sequence_table.py" "$json"
