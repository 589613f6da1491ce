#!/usr/bin/env bash
# A throwaway single-node Slurm on this machine, for trying the farm recipe
# (scripts/slurm-render.sh) and for the test that runs it: a munge key and a
# slurm.conf generated in FOLDER, munged, slurmctld and slurmd started as root
# on the loopback address, with plugins that need no cgroups
# (proctrack/linuxproc, task/none), so it runs in a container too.
#
#   scripts/slurm-local.sh start FOLDER   start it; FOLDER must not exist
#   scripts/slurm-local.sh stop FOLDER    stop every daemon it started, remove FOLDER
#
# Then `export SLURM_CONF=FOLDER/slurm.conf` and use sbatch, squeue, sinfo.
# Needs Debian's slurm-wlm and munge (scripts/setup.sh). `start` ends with 3
# when a daemon does not start or the node does not come up (the logs in FOLDER
# say why), 2 when it cannot try.
set -uo pipefail

usage() {
  echo "usage: $0 start|stop FOLDER" >&2
  exit 2
}
[ $# -eq 2 ] || usage
dir=$2
export SLURM_CONF=$dir/slurm.conf

if [ "$1" = "stop" ]; then
  [ -f "$SLURM_CONF" ] && scontrol shutdown > /dev/null 2>&1
  for pid_file in "$dir/slurmctld.pid" "$dir/slurmd.pid" "$dir/munge/munged.pid"; do
    [ -s "$pid_file" ] || continue
    pid=$(cat "$pid_file")
    for _ in $(seq 50); do
      kill -0 "$pid" 2> /dev/null || break
      kill "$pid" 2> /dev/null
      sleep 0.1
    done
    kill -9 "$pid" 2> /dev/null
  done
  rm -rf "$dir"
  exit 0
fi
[ "$1" = "start" ] || usage

cannot() {
  echo "slurm-local: $*" >&2
  exit 2
}
did_not_start() {
  echo "slurm-local: $*; the logs:" >&2
  tail -n 20 "$dir"/*.log "$dir/munge/munged.log" >&2 2> /dev/null
  exit 3
}
[ "$(id -u)" -eq 0 ] || cannot "starting Slurm's daemons needs root"
for program in munged mungekey slurmctld slurmd sinfo scontrol; do
  command -v "$program" > /dev/null || cannot "$program is not installed (scripts/setup.sh)"
done
mkdir -m 755 "$dir" || cannot "cannot make $dir"

# Two free ports next to each other, for the controller and the node.
port=
for _ in $(seq 50); do
  candidate=$((20000 + RANDOM % 20000))
  if ! (: < "/dev/tcp/127.0.0.1/$candidate") 2> /dev/null &&
    ! (: < "/dev/tcp/127.0.0.1/$((candidate + 1))") 2> /dev/null; then
    port=$candidate
    break
  fi
done
[ -n "$port" ] || cannot "no two free ports on the loopback address"

mkdir -m 700 "$dir/munge"
mkdir "$dir/state" "$dir/spool"
mungekey --create --keyfile="$dir/munge/munge.key" || did_not_start "mungekey failed"
munged --force --key-file="$dir/munge/munge.key" --socket="$dir/munge/socket" \
  --pid-file="$dir/munge/munged.pid" --log-file="$dir/munge/munged.log" \
  --seed-file="$dir/munge/seed" || did_not_start "munged does not start"

host=$(hostname -s)
cat > "$SLURM_CONF" << CONF
ClusterName=velkor
SlurmctldHost=$host(127.0.0.1)
SlurmUser=root
SlurmdUser=root
SlurmctldPort=$port
SlurmdPort=$((port + 1))
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$dir/munge/socket
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
MpiDefault=none
ReturnToService=2
NodeName=velkor-node NodeHostname=$host NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=velkor Nodes=velkor-node Default=YES MaxTime=INFINITE State=UP
CONF

slurmctld -i || did_not_start "slurmctld does not start"
slurmd -N velkor-node || did_not_start "slurmd does not start"
for _ in $(seq 100); do
  [ "$(sinfo -h -n velkor-node -o %T 2> /dev/null)" = "idle" ] && exit 0
  sleep 0.2
done
did_not_start "the node does not come up"
