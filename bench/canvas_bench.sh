#!/bin/bash
# Times the positioning window: from Initialize to the video's frame on the canvas for a 1080p H.264
# video (goal under 300 ms), and one repaint of a 4K canvas while the mark is dragged (goal under
# 16 ms) against scaling the frame at every repaint.
#
#   bench/canvas_bench.sh [build folder] [repaints]
# The video goes to $BENCH_DIR (default /tmp/wm-bench).
set -euo pipefail
BUILD=${1:-$(dirname "$0")/../build}
REPAINTS=${2:-200}
DIR=${BENCH_DIR:-/tmp/wm-bench}
command -v ffmpeg >/dev/null || { echo "canvas_bench.sh: missing ffmpeg; on Debian: apt-get install ffmpeg" >&2; exit 2; }
[ -f "$BUILD/build.ninja" ] || { echo "canvas_bench.sh: no build in '$BUILD'; run bash scripts/start.sh first" >&2; exit 2; }
cmake --build "$BUILD" --target canvas_bench mxcode >/dev/null
mkdir -p "$DIR"
IN="$DIR/canvas1080.mp4"
[ -f "$IN" ] || ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i testsrc2=size=1920x1080:rate=25:duration=30 \
    -c:v libx264 -preset veryfast -crf 20 -pix_fmt yuv420p -x264-params keyint=50:min-keyint=50:scenecut=0 "$IN"
exe=$(find "$BUILD" -name canvas_bench -type f -perm -u+x | head -n1)
"$exe" "$BUILD/bin" "$IN" "$REPAINTS"
