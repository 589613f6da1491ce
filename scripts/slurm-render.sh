#!/usr/bin/env bash
# Renders a frame sequence on a Slurm cluster as a job array of N tasks: task K
# runs the given velkorramp command line with --chunk K/N --skip-existing, so
# the N tasks together write exactly the files one process would, and a task
# that is started again (a requeue, a node lost mid-frame) finishes its chunk
# without rendering its whole frames twice.
#
#   scripts/slurm-render.sh N [SBATCH_OPTION...] -- velkorramp render OPTIONS...
#
# e.g. scripts/slurm-render.sh 10 --cpus-per-task=8 --output=logs/ramp-%a.txt -- \
#        velkorramp render --frames 1-1000 --direction 0@1,360@1000 -o /shared/ramp.#.exr
#
# Every task must see the same output folder (a shared file system) and run the
# same tool and module. A chunk whose frames were all or partly there already
# ends velkorramp with 9 or 8; the task reports 0 for those, as done, and any
# other code as the failure it is. Prints the job's id (sbatch --parsable).
set -euo pipefail

usage() {
  echo "usage: $0 N [SBATCH_OPTION...] -- velkorramp render OPTIONS..." >&2
  exit 2
}

[ $# -ge 3 ] || usage
chunks=$1
shift
case $chunks in '' | *[!0-9]* | 0*) usage ;; esac
sbatch_options=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  sbatch_options+=("$1")
  shift
done
[ $# -ge 2 ] || usage
shift
command=$(printf '%q ' "$@")
task="$command--chunk \"\$SLURM_ARRAY_TASK_ID/$chunks\" --skip-existing
status=\$?
case \$status in 8|9) exit 0 ;; *) exit \$status ;; esac"
exec sbatch --parsable --array="1-$chunks" "${sbatch_options[@]}" --wrap "$task"
