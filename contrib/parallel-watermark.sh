#!/usr/bin/env bash
# One job over many videos on several machines, with GNU parallel over ssh.
#
#   contrib/parallel-watermark.sh JOB.wmjob SSHLOGINS RESULTS VIDEO...
#
# SSHLOGINS as parallel's --sshlogin takes them: "8/server1,8/server2" (jobs/host), or ":" for this
# machine alone (to add this machine to others, name it as a host: "localhost,server1"). Every machine needs watermark-image installed (or
# WATERMARK_IMAGE naming it); the job and its picture are sent along, each video is sent to the
# machine that converts it, and its result comes back to RESULTS. A video whose result is already in
# RESULTS is skipped, so the same line can be run again after an interruption.
set -euo pipefail
if [ $# -lt 4 ]; then
  sed -n '2,11s/^# \{0,1\}//p' "$0" >&2
  exit 2
fi
job=$(realpath "$1") logins=$2 results=$3
shift 3
given=()
for v in "$@"; do given+=("$(realpath "$v")"); done
program=${WATERMARK_IMAGE:-watermark-image}

# The job's picture, named in the job file (first "path" key).
picture=$(sed -n 's/^ *"path": "\(.*\)",\{0,1\}$/\1/p' "$job" | head -n 1)
case $picture in /*) ;; *) picture=$(dirname "$job")/$picture ;; esac
[ -f "$picture" ] || { echo "parallel-watermark: the job's picture $picture is missing" >&2; exit 2; }

mkdir -p "$results"
cd "$results"
# The job and its picture side by side, as each machine gets them.
cp -f "$picture" .
sed "s|\"path\": \"[^\"]*\"|\"path\": \"$(basename "$picture")\"|" "$job" >job.wmjob

videos=()
for v in "${given[@]}"; do
  [ -e "wm-$(basename "$v")" ] && { echo "skipped  $(basename "$v"): wm-$(basename "$v") is already there"; continue; }
  videos+=("$v")
done
[ ${#videos[@]} -gt 0 ] || exit 0

if [ "$logins" = ":" ]; then
  # This machine alone: nothing to send, results straight into RESULTS.
  exec parallel --will-cite --halt never --jobs 2 \
    "$program" --job job.wmjob --output . {} ::: "${videos[@]}"
fi
# Each machine works in a folder of its own, removed afterwards; the video goes there and its result
# comes back.
exec parallel --will-cite --halt never --sshlogin "$logins" --workdir ... \
  --basefile job.wmjob --basefile "$(basename "$picture")" \
  --transferfile {} --return 'wm-{/}' --cleanup \
  "$program" --job job.wmjob --output . {} ::: "${videos[@]}"
