#!/usr/bin/env bash
# slurm_array_test.sh VELKORRAMP SCRIPTS_FOLDER
#
# A 4-task Slurm job array of 40 frames of an animated ramp, submitted through
# scripts/slurm-render.sh to a single-node Slurm started here
# (scripts/slurm-local.sh) and stopped afterwards whatever happens; every file
# must equal one process's render byte for byte. Exit 77 (a skip) only outside
# CI, where Slurm cannot be started here.
set -uo pipefail
tool=$1
scripts=$2
dir=$(mktemp -d /tmp/velkor-farm.XXXXXX)
trap '"$scripts/slurm-local.sh" stop "$dir/slurm"; rm -rf "$dir"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

"$scripts/slurm-local.sh" start "$dir/slurm"
case $? in
  0) ;;
  2) [ "${CI:-}" = "true" ] && fail "CI must run Slurm"; echo "SKIP: Slurm cannot start here" >&2; exit 77 ;;
  *) fail "Slurm did not start" ;;
esac
export SLURM_CONF=$dir/slurm/slurm.conf

render=(render --size 320x180 --frames 1-40 --controlled-by center --shape linear2 -q
  --length 40@1,200@40 --direction 0@1,270@40 --start-color '#FF2000@1,#00A0FF@40'
  --power 0.5@1,3@40)
mkdir "$dir/one" "$dir/farm"
"$tool" "${render[@]}" -o "$dir/one/ramp.#.png" || fail "the single-process render"

start=$(date +%s%N)
job=$("$scripts/slurm-render.sh" 4 --wait --output="$dir/task-%a.log" -- \
  "$tool" "${render[@]}" -o "$dir/farm/ramp.#.png") || { cat "$dir"/task-*.log >&2; fail "job array"; }
ms=$((($(date +%s%N) - start) / 1000000))

diff -r "$dir/one" "$dir/farm" > /dev/null || fail "the farm's files differ from one process's"
[ "$(ls -A "$dir/farm" | wc -l)" -eq 40 ] || fail "not exactly 40 files in the farm's folder"
echo "slurm: job $job, 4 tasks, 40 frames equal to one process's, $((ms / 1000)).$((ms % 1000 / 100)) s from submission to the last task"
