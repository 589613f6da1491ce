#!/usr/bin/env bash
# Measures the kernels and the module of another commit (default: main) beside
# this tree's, on the same machine with the same build flags and the same
# benchmark program: the other commit's sources with this tree's bench/ and
# simhost/, so that both sides measure the same cases the same way. The two
# programs run alternately, round after round, and bench/before_after.py prints
# the table of bench/README.md (medians over the rounds, lowest and highest).
# Usage: bench/run-before-after.sh [commit] [rounds] [extra Google Benchmark flags]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
ref=${1:-main}
rounds=${2:-7}
shift $(($# < 2 ? $# : 2))

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/before" "$work/runs"
git -C "$here" archive "$ref" | tar -x -C "$work/before"
rm -rf "$work/before/bench" "$work/before/simhost"
cp -r "$here/bench" "$here/simhost" "$work/before/"

build() {  # source folder, build folder
  cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVELKOR_BUILD_BENCH=ON -DVELKOR_BUILD_TESTS=OFF -DVELKOR_WINDOWS=OFF > /dev/null
  cmake --build "$2" -j "$(nproc)" --target velkor_bench VelkorRamp > /dev/null
}
build "$work/before" "$work/before/build"
build "$here" "$here/build/bench"

# The default ramp at 4K with its copy floors, on 1 and 2 threads, and the
# shaped kernel beside its pow floor.
filter='^(Copy/[^/]+/(threads:2/)?3840x2160|Kernel/[^/]+/horizontal/linear/color/power:1/3840x2160'
filter+='|SmartRender/[^/]+/default/threads:[12]/3840x2160|PowRatio/[^/]+/3840x2160)'
for round in $(seq 1 "$rounds"); do
  # Which side goes first alternates from round to round.
  sides=(before after)
  ((round % 2 == 0)) && sides=(after before)
  for side in "${sides[@]}"; do
    program="$here/build/bench/bench/velkor_bench"
    [[ $side == before ]] && program="$work/before/build/bench/velkor_bench"
    "$program" "--benchmark_filter=$filter" --benchmark_enable_random_interleaving=true \
      --benchmark_out="$work/runs/$side-$round.json" --benchmark_out_format=json "$@" > /dev/null
  done
done
python3 "$here/bench/before_after.py" "$work/runs"
