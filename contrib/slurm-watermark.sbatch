#!/bin/bash
# One job over a list of videos as a Slurm job array: task N converts line N+1 of the list.
#
#   n=$(wc -l < videos.txt)
#   sbatch --array=0-$((n - 1))%8 contrib/slurm-watermark.sbatch JOB.wmjob videos.txt /shared/results
#
# The list holds one video path a line, as every node sees it (a shared folder); the results go to
# the shared RESULTS folder. Safe to resubmit: a video whose result is there is skipped, one stopped
# halfway (a preempted or cancelled task keeps its part as "-stopped") is converted again.
#SBATCH --job-name=watermark
#SBATCH --cpus-per-task=2
#SBATCH --output=watermark-%A_%a.log
set -euo pipefail
job=${1:?usage: sbatch --array=0-N slurm-watermark.sbatch JOB.wmjob LIST RESULTS}
list=${2:?the list of videos}
results=${3:?the results folder}
program=${WATERMARK_IMAGE:-watermark-image}
task=${SLURM_ARRAY_TASK_ID:?run as an array task: sbatch --array=...}

video=$(sed -n "$((task + 1))p" "$list")
if [ -z "$video" ]; then
  echo "task $task: no line $((task + 1)) in $list" >&2
  exit 0
fi
# Slurm cancels with SIGTERM: the encoder keeps its part and the exit code says so.
exec "$program" --job "$job" --output "$results" --jobs 1 -- "$video"
