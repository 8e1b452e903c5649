#!/usr/bin/env bash
# The watch folder: five videos copied in one after another, one of them written in two halves with
# a pause while its writer holds it open; five results, each once and whole, none made from the half
# written; then SIGTERM during a conversion ends the watch with 143 and the part kept.
#   watch_test.sh PROGRAM_DIR
set -euo pipefail
program_dir=$(cd "$1" && pwd)
command -v ffmpeg >/dev/null || { echo "SKIPPED: ffmpeg is not installed"; exit 77; }
work=$(mktemp -d)
watcher=
trap '[ -z "$watcher" ] || kill "$watcher" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
# A timeout's SIGTERM or a Ctrl+C ends the test through the EXIT trap too.
trap 'exit 143' TERM
trap 'exit 130' INT HUP
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$work"
mkdir sources incoming results
for i in 1 2 3 4 5; do
  ffmpeg -v error -f lavfi -i "testsrc=s=160x120:r=25:d=2" -c:v libx264 -pix_fmt yuv420p "sources/clip $i.mp4"
done
ffmpeg -v error -f lavfi -i "testsrc=s=1280x720:r=25:d=20" -c:v libx264 -preset ultrafast -pix_fmt yuv420p sources/long.mp4
ffmpeg -v error -f lavfi -i color=c=red:s=40x20 -frames:v 1 logo.png
"$program_dir/watermark-image" --picture logo.png --save-job job.wmjob

"$program_dir/watermark-image" --job job.wmjob --watch incoming --output results >watch.log 2>&1 &
watcher=$!
# Waits up to $1 tenths of a second for the command after it.
await() {
  local n=$1
  shift
  for _ in $(seq "$n"); do "$@" && return 0; sleep 0.1; done
  return 1
}
lines() { grep -c "^$1 " watch.log || true; }

cp "sources/clip 1.mp4" incoming/
cp "sources/clip 2.mp4" incoming/
# Half of clip 3, a pause of four seconds with the file held open for writing, then the rest: its
# size is steady meanwhile, so only the open writer tells it is not whole.
size=$(stat -c %s "sources/clip 3.mp4")
{
  head -c $((size / 2)) "sources/clip 3.mp4"
  sleep 4
  [ ! -e "results/wm-clip 3.mp4" ] || echo "converted while half written" >early
  tail -c +$((size / 2 + 1)) "sources/clip 3.mp4"
} >"incoming/clip 3.mp4"
sleep 1
cp "sources/clip 4.mp4" incoming/
sleep 1.5
cp "sources/clip 5.mp4" incoming/
await 600 bash -c '[ "$(grep -c "^done " watch.log)" -ge 5 ]' || { cat watch.log; fail "not five results"; }
sleep 2  # a second look must not convert anything again
[ ! -e early ] || fail "clip 3 was converted while it was being written"
[ "$(lines done)" = 5 ] && [ "$(lines failed)" = 0 ] || { cat watch.log; fail "not one done line per video"; }
for i in 1 2 3 4 5; do
  [ "$(grep -c "^done  clip $i.mp4" watch.log)" = 1 ] || { cat watch.log; fail "clip $i: not one line"; }
  "$program_dir/mxcode.dll" -i "sources/clip $i.mp4" -check "results/wm-clip $i.mp4" >/dev/null 2>&1 ||
    fail "the result of clip $i is not whole"
done

# SIGTERM while it converts: the part is kept, the exit says the signal.
cp sources/long.mp4 incoming/
await 600 bash -c 'compgen -G "results/.wm-long.mp4.wmpart-*" >/dev/null && [ $(stat -c %s results/.wm-long.mp4.wmpart-* | head -n1) -gt 40000 ]' || { cat watch.log; fail "long.mp4 did not start"; }
kill -TERM "$watcher"
status=0
wait "$watcher" || status=$?
watcher=
[ "$status" = 143 ] || { cat watch.log; fail "SIGTERM: exit $status, not 143"; }
[ -f results/wm-long-stopped.mp4 ] || { ls -A results; cat watch.log; fail "SIGTERM: no part kept"; }
[ ! -e results/wm-long.mp4 ] || fail "SIGTERM: a result under the result's name"
grep -q "^stopped  long.mp4" watch.log || { cat watch.log; fail "no line for the stopped video"; }
echo "watch: five videos, five results once each; SIGTERM kept the part"
