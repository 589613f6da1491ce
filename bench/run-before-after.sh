#!/usr/bin/env bash
# Measures the kernels and the module of another commit (default: main) beside
# this tree's, on the same machine with the same build flags and the same
# benchmark program: the other commit's sources with this tree's bench/ and
# simhost/, so that both sides measure the same cases the same way. The two
# programs run alternately, round after round, and bench/before_after.py prints
# the table of bench/README.md (medians over the rounds, lowest and highest).
# Usage: bench/run-before-after.sh [commit] [rounds] [extra Google Benchmark flags]
# With BEFORE_DIR set, the other commit's tree and build are kept there for the
# next run (made when the folder is empty).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
ref=${1:-main}
rounds=${2:-7}
shift $(($# < 2 ? $# : 2))

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
before=${BEFORE_DIR:-$work/before}
mkdir -p "$before" "$work/runs"
[[ -e $before/CMakeLists.txt ]] || git -C "$here" archive "$ref" | tar -x -C "$before"
rm -rf "$before/bench" "$before/simhost"
cp -r "$here/bench" "$here/simhost" "$before/"

build() {  # source folder, build folder
  cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVELKOR_BUILD_BENCH=ON -DVELKOR_BUILD_TESTS=OFF -DVELKOR_WINDOWS=OFF > /dev/null
  cmake --build "$2" -j "$(nproc)" --target velkor_bench VelkorRamp > /dev/null
}
build "$before" "$before/build"
build "$here" "$here/build/bench"

# The default ramp at 4K beside its copy floor, through the kernel and through
# the host path on 1 and 2 threads, and the shaped kernel beside its pow floor.
filter='^(CopyRatio|PowRatio)/[^/]+/.*3840x2160'
for round in $(seq 1 "$rounds"); do
  # Which side goes first alternates from round to round.
  sides=(before after)
  ((round % 2 == 0)) && sides=(after before)
  for side in "${sides[@]}"; do
    program="$here/build/bench/bench/velkor_bench"
    [[ $side == before ]] && program="$before/build/bench/velkor_bench"
    "$program" "--benchmark_filter=$filter" --benchmark_enable_random_interleaving=true \
      --benchmark_out="$work/runs/$side-$round.json" --benchmark_out_format=json "$@" > /dev/null
  done
done
python3 "$here/bench/before_after.py" "$work/runs"
