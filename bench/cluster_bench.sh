#!/bin/bash
# The GNU parallel recipe over ssh against the command run here, on one folder of eight 10 s clips
# (720p H.264 + AAC), one picture job: the command with its two encoders at a time, then
# contrib/parallel-watermark.sh to one loopback node with two slots (an sshd on a free port and a
# throwaway user, as the tests start them; root only). One run each; prints both times and the ratio.
#
#   bench/cluster_bench.sh [program folder]
# Inputs and results go to $BENCH_DIR (default /tmp/wm-cluster-bench).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
PROG=${1:-$here/../build/bin}
DIR=${BENCH_DIR:-/tmp/wm-cluster-bench}

. "$here/needs.sh"
needs_tools ffmpeg parallel rsync sshd
needs_program "$PROG" mxcode.dll watermark.dll watermark-image
[ "$(id -u)" -eq 0 ] || { echo "$bench_name: the ssh node needs root (a throwaway user, an sshd)" >&2; exit 2; }
PROG=$(cd "$PROG" && pwd)
. "$here/../tests/command/engines.sh"
mkdir -p "$DIR/clips"
cd "$DIR"
node=$(mktemp -d)
trap 'engines_stop; rm -rf "$node" local remote' EXIT

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
for i in 1 2 3 4 5 6 7 8; do
  [ -f "clips/clip $i.mp4" ] || ff -f lavfi -i "testsrc2=size=1280x720:rate=25:duration=10" \
    -f lavfi -i "sine=f=$((200 * i)):duration=10" -c:v libx264 -preset medium -crf 23 -pix_fmt yuv420p \
    -c:a aac "clips/clip $i.mp4"
done
[ -f logo.png ] || ff -f lavfi -i color=c=red:s=200x100 -frames:v 1 logo.png
"$PROG/watermark-image" --picture logo.png --size 20 --save-job job.wmjob

ssh_node_start "$node"
mkdir "$node/program"
cp "$PROG"/{watermark-image,mxcode.dll,watermark.dll} "$node/program/"
chmod -R a+rX "$node/program"
export WATERMARK_IMAGE=$node/program/watermark-image

rm -rf local remote
start=$(date +%s.%N)
"$WATERMARK_IMAGE" --job job.wmjob --output local clips >/dev/null
mid=$(date +%s.%N)
bash "$here/../contrib/parallel-watermark.sh" job.wmjob 2/node remote/ clips/* >/dev/null
end=$(date +%s.%N)
[ "$(ls remote | wc -l)" = 8 ] && [ "$(ls local | wc -l)" = 8 ] || { echo "not eight results each" >&2; exit 1; }
awk -v a="$start" -v b="$mid" -v c="$end" 'BEGIN {
  printf "here, 2 encoders:     %.1f s\nssh, 2/node loopback: %.1f s\nratio:                %.2fx\n", b - a, c - b, (c - b) / (b - a) }'
