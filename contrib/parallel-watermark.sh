#!/usr/bin/env bash
# One job over many videos on several machines, with GNU parallel over ssh.
#
#   contrib/parallel-watermark.sh JOB.wmjob SSHLOGINS RESULTS VIDEO|FOLDER...
#
# SSHLOGINS as parallel's --sshlogin takes them: "8/server1,8/server2" (jobs/host), or ":" for this
# machine alone (to add this machine to others, name it as a host: "localhost,server1"). This machine
# and every other needs watermark-image (or WATERMARK_IMAGE naming it) and rsync; the job and its
# picture go along with each video to the machine that converts it, in a working folder of its own
# there that is removed afterwards, and the result comes back to RESULTS under its own name. A video
# whose result is already in RESULTS is not sent, so the same line can be run again after an
# interruption.
set -euo pipefail
if [ $# -lt 4 ]; then
  sed -n '2,12s/^# \{0,1\}//p' "$0" >&2
  exit 2
fi
job=$1 logins=$2 results=$3
shift 3
program=${WATERMARK_IMAGE:-watermark-image}
say() { echo "parallel-watermark: $*" >&2; }
# parallel hands its command to a shell: the words it must keep whole are quoted for it.
q() { printf '%q' "$1"; }
command -v "$program" >/dev/null || { say "$program is not installed here (or set WATERMARK_IMAGE)"; exit 2; }

mkdir -p "$results"
results=$(realpath "$results")
if [ "$logins" = ":" ]; then
  # This machine alone: nothing to send, results straight into RESULTS.
  exec parallel --will-cite --halt never --jobs 2 \
    "$(q "$program") --job $(q "$job") --output $(q "$results") --jobs 1 -- {}" ::: "$@"
fi

# The program says which files the job reads and which videos have no result yet: no guessing from
# the job's text. Each video is followed by its result's file name.
needs=$("$program" --job "$job" --list-files) || exit 2
mapfile -t pairs < <("$program" --job "$job" --output "$results" --list-pending -- "$@")
[ ${#pairs[@]} -gt 0 ] || { echo "nothing to convert: every result is in $results"; exit 0; }

# The job and its picture side by side under plain names, as each machine gets them; the job finds
# its picture beside itself wherever it lands.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
sent=()
while IFS= read -r file; do
  [ -n "$file" ] || continue
  cp "$file" "$stage/"
  sent+=(--transferfile "$stage/./$(basename "$file")")
done <<<"$needs"
jobname=job.wmjob
[ ! -e "$stage/$jobname" ] || jobname=job-$$.wmjob
cp "$job" "$stage/$jobname"
sent+=(--transferfile "$stage/./$jobname")

# Every machine must have the program and rsync: one clear line for one that lacks them.
missing=$(parallel --will-cite --nonall --sshlogin "$logins" --tag \
  "command -v $(q "$program") >/dev/null || echo 'has no $program (install the package there or set WATERMARK_IMAGE)';
   command -v rsync >/dev/null || echo 'has no rsync (apt install rsync)'" 2>&1) ||
  { say "cannot reach every machine: $missing"; exit 2; }
if [ -n "$missing" ]; then
  while IFS= read -r line; do say "$line"; done <<<"$missing"
  exit 2
fi

videos=() names=()
for ((i = 0; i < ${#pairs[@]}; i += 2)); do
  # "folder/./name" lands as "name" in the machine's working folder.
  path=${pairs[i]}
  videos+=("${path%/*}/./${path##*/}")
  names+=("${pairs[i + 1]}")
done
# rsync 3.2.4 and later quote names themselves; parallel has already quoted them for the shell.
export RSYNC_OLD_ARGS=1
# Videos are compressed already: rsync's -z would only cost both ends time.
export PARALLEL_RSYNC_OPTS=${PARALLEL_RSYNC_OPTS:--rlDR}
parallel --will-cite --halt never --sshlogin "$logins" --workdir ... "${sent[@]}" \
  --transferfile {1} --return "$results/./{2}" --cleanup \
  "$(q "$program") --job $(q "$jobname") --output . --jobs 1 -- {1/}" ::: "${videos[@]}" :::+ "${names[@]}"
