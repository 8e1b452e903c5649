#!/usr/bin/env bash
# The Slurm array of docs/cluster.md on a real one-node Slurm (munged, slurmctld and slurmd started
# here with their state in a temporary folder): three videos named with a space, Cyrillic letters and
# a double quote, as a picture job and as a text job; every result once; the same array again
# converts nothing; a task cancelled halfway with scancel keeps its part, and resubmitted it
# finishes the video, whole, and its part is gone.
#   slurm_recipe_test.sh PROGRAM_DIR SOURCE_DIR
set -euo pipefail
program_dir=$(cd "$1" && pwd) source_dir=$(cd "$2" && pwd)
. "$source_dir/tests/command/engines.sh"
engines_skip_unless_root_and munged mungekey slurmctld slurmd sbatch squeue scancel ffmpeg
work=$(mktemp -d)
trap 'engines_stop; rm -rf "$work"' EXIT
# A timeout's SIGTERM or a Ctrl+C ends the test through the EXIT trap too.
trap 'exit 143' TERM
trap 'exit 130' INT HUP
fail() { echo "FAIL: $*" >&2; exit 1; }
slurm_start "$work" || fail "Slurm did not start"
export WATERMARK_IMAGE=$program_dir/watermark-image
cd "$work"

mkdir videos long
for n in "holiday trip.mp4" "Привет мир.mkv" 'say "cheese".mov'; do
  ffmpeg -v error -f lavfi -i "testsrc=s=160x120:r=25:d=1" -c:v libx264 -pix_fmt yuv420p "videos/$n"
done
ffmpeg -v error -f lavfi -i color=c=red:s=40x20 -frames:v 1 logo.png
"$WATERMARK_IMAGE" --picture logo.png --save-job picture.wmjob
"$WATERMARK_IMAGE" --text "© {name} {date}" --colour FF0000 --save-job text.wmjob

# The lines of docs/cluster.md; sbatch gives the array's id, and the test waits for it to leave the queue.
array() {
  local id
  id=$(sbatch --parsable --array=0-$(($(wc -l <"$2") - 1))%8 "$source_dir/contrib/slurm-watermark.sbatch" \
    "$work/$1" "$2" "$3") || fail "sbatch refused the array"
  slurm_wait "$id" || fail "array $id did not end"
  echo "$id"
}
stamp() { stat -c '%n %Y %s' "$1"/*; }

ls "$work"/videos/* >videos.txt
for kind in picture text; do
  out=$work/results-$kind
  id=$(array "$kind.wmjob" videos.txt "$out")
  [ "$(ls "$out" | sort)" = "$(printf '%s\n' "wm-holiday trip.mp4" "wm-Привет мир.mkv" 'wm-say "cheese".mov' | sort)" ] ||
    { ls -A "$out"; cat watermark-"$id"_*.log; fail "$kind array: not one result per video"; }
  before=$(stamp "$out")
  again=$(array "$kind.wmjob" videos.txt "$out")
  [ "$(cat watermark-"$again"_*.log | grep -c '^skipped')" = 3 ] ||
    { cat watermark-"$again"_*.log; fail "$kind array again: not every video skipped"; }
  [ "$(stamp "$out")" = "$before" ] || fail "$kind array again: a result changed"
  echo "$kind job as an array: every result once; again: all skipped"
done

# A task cancelled halfway keeps its part; resubmitted, it finishes the video and the part goes.
ffmpeg -v error -f lavfi -i "testsrc=s=1280x720:r=25:d=20" -c:v libx264 -preset ultrafast -pix_fmt yuv420p long/long.mp4
ls "$work"/long/long.mp4 >long.txt
out=$work/results-long
id=$(sbatch --parsable --array=0-0 "$source_dir/contrib/slurm-watermark.sbatch" "$work/picture.wmjob" long.txt "$out")
engines_wait 600 bash -c "compgen -G '$out/.wm-long.mp4.wmpart-*' && [ \$(stat -c %s $out/.wm-long.mp4.wmpart-* | head -n1) -gt 40000 ]" ||
  { cat watermark-"$id"_*.log; fail "the long task wrote no part"; }
scancel "$id"
slurm_wait "$id" || fail "the cancelled task did not end"
grep -q "^stopped  long.mp4" watermark-"$id"_*.log || { cat watermark-"$id"_*.log; fail "the task did not stop on scancel"; }
[ -f "$out/wm-long-stopped.mp4" ] || { ls -A "$out"; cat watermark-"$id"_*.log; fail "the cancelled task kept no part"; }
[ ! -e "$out/wm-long.mp4" ] || fail "the cancelled task left a result"
"$program_dir/mxcode.dll" -i long/long.mp4 -check "$out/wm-long-stopped.mp4" >/dev/null 2>&1 &&
  fail "the part of a cancelled task passes for a whole result"
again=$(array picture.wmjob long.txt "$out")
"$program_dir/mxcode.dll" -i long/long.mp4 -check "$out/wm-long.mp4" >/dev/null 2>&1 ||
  { cat watermark-"$again"_*.log; fail "the resubmitted task's result is not whole"; }
[ "$(ls -A "$out")" = wm-long.mp4 ] || { ls -A "$out"; fail "the resubmitted task left its part beside the result"; }
echo "scancel halfway: the part was kept; resubmitted: the result is whole and the part is gone"
