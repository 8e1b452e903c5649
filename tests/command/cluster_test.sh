#!/usr/bin/env bash
# The recipes of docs/cluster.md as a cluster would run them, on this machine: the GNU parallel
# recipe on four videos (--sshlogin :), and the Slurm array script run as each array task would be
# (the test sets the array variables), both twice: every result appears once, and a second run
# converts nothing again. Where a Slurm controller answers, the real sbatch runs the array too.
#   cluster_test.sh PROGRAM_DIR SOURCE_DIR
set -euo pipefail
program_dir=$1 source_dir=$2
export WATERMARK_IMAGE=$program_dir/watermark-image
command -v parallel >/dev/null || { echo "GNU parallel is not installed (scripts/deps.sh test)"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }
for i in 1 2 3 4; do
  ffmpeg -v error -f lavfi -i "color=c=0x808080:s=160x120:r=25" -t 0.4 -c:v libx264 -pix_fmt yuv420p "v$i.mp4"
done
ffmpeg -v error -f lavfi -i color=c=red:s=40x20 -frames:v 1 logo.png
mkdir jobs
"$WATERMARK_IMAGE" --picture logo.png --place bottom-right --size 25 --save-job jobs/job.wmjob
cp logo.png jobs/

stamp() { stat -c '%n %Y %s' "$@" | sort; }

# GNU parallel, this machine as the only host.
bash "$source_dir/contrib/parallel-watermark.sh" jobs/job.wmjob : par v1.mp4 v2.mp4 v3.mp4 v4.mp4 >par.log 2>&1 ||
  { cat par.log; fail "the parallel recipe failed"; }
[ "$(ls par/wm-*)" = "$(printf 'par/wm-v%s.mp4\n' 1 2 3 4)" ] || { ls par; fail "parallel: not one result per video"; }
before=$(stamp par/wm-*)
bash "$source_dir/contrib/parallel-watermark.sh" jobs/job.wmjob : par v1.mp4 v2.mp4 v3.mp4 v4.mp4 >par2.log 2>&1 ||
  { cat par2.log; fail "the parallel recipe failed the second time"; }
[ "$(grep -c '^skipped' par2.log)" = 4 ] || { cat par2.log; fail "parallel: a second run converted again"; }
[ "$(stamp par/wm-*)" = "$before" ] || fail "parallel: a second run changed a result"

# The Slurm array script, each task as Slurm would start it.
printf '%s\n' "$work"/v1.mp4 "$work"/v2.mp4 "$work"/v3.mp4 "$work"/v4.mp4 >videos.txt
for round in 1 2; do
  for task in 0 1 2 3 4; do
    SLURM_ARRAY_TASK_ID=$task SLURM_ARRAY_JOB_ID=7 bash "$source_dir/contrib/slurm-watermark.sbatch" \
      "$work/jobs/job.wmjob" videos.txt "$work/slurm" >>"slurm$round.log" 2>&1 ||
      { cat "slurm$round.log"; fail "array task $task failed (round $round)"; }
  done
  [ "$(ls slurm/wm-*)" = "$(printf 'slurm/wm-v%s.mp4\n' 1 2 3 4)" ] || { ls slurm; fail "slurm: not one result per video"; }
  [ "$round" = 1 ] && before=$(stamp slurm/wm-*)
done
[ "$(grep -c '^skipped' slurm2.log)" = 4 ] || { cat slurm2.log; fail "slurm: a resubmission converted again"; }
[ "$(stamp slurm/wm-*)" = "$before" ] || fail "slurm: a resubmission changed a result"

if command -v sbatch >/dev/null && scontrol ping >/dev/null 2>&1; then
  id=$(sbatch --parsable --wait --array=0-3 "$source_dir/contrib/slurm-watermark.sbatch" \
    "$work/jobs/job.wmjob" videos.txt "$work/sbatch")
  [ "$(ls sbatch/wm-* | wc -l)" = 4 ] || fail "sbatch $id: not one result per video"
  echo "sbatch: the array ran on this machine's Slurm"
else
  echo "sbatch: no Slurm controller answers here; the array script was run as its tasks would be"
fi
echo "parallel and Slurm recipes: every result once, nothing converted twice"
