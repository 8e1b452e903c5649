#!/bin/bash
# Times the encoder's watermark conversion against what a user would run with Debian's ffmpeg
# instead: a plain transcode, the full-mask colorkey overlay, and the overlay of the logo cropped
# out of the mask. Same codec settings on both sides. Runs are paired (A B C D A B C D ...) and the
# medians of the per-round ratios are reported, with the peak resident memory of each line.
#
#   bench/run_bench.sh [program folder] [rounds]
# Inputs and results go to $BENCH_DIR (default /tmp/wm-bench).
set -euo pipefail
PROG=${1:-$(dirname "$0")/../build/bin}
ROUNDS=${2:-5}
DIR=${BENCH_DIR:-/tmp/wm-bench}

. "$(dirname "$0")/needs.sh"
needs_tools ffmpeg ffprobe python3 /usr/bin/time
needs_program "$PROG" mxcode.dll watermark.dll
PROG=$(cd "$PROG" && pwd)
mkdir -p "$DIR"
cd "$DIR"

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }

# Inputs: 720p H.264 + AAC (.mp4), 640x480 MPEG-4 + MP3 (.avi), 1080p H.264 (.mov).
[ -f in720.mp4 ] || ff -f lavfi -i testsrc2=size=1280x720:rate=25:duration=20 -f lavfi -i sine=duration=20 \
    -c:v libx264 -preset medium -crf 23 -pix_fmt yuv420p -c:a aac -b:a 128k in720.mp4
[ -f in480.avi ] || ff -f lavfi -i testsrc2=size=640x480:rate=25:duration=40 -f lavfi -i sine=duration=40 \
    -c:v mpeg4 -q:v 4 -c:a libmp3lame -b:a 128k in480.avi
[ -f in1080.mov ] || ff -f lavfi -i testsrc2=size=1920x1080:rate=25:duration=10 \
    -c:v libx264 -preset medium -crf 23 -pix_fmt yuv420p in1080.mov

# Masks: frame-sized, black key, a 200x100 logo at (100,60); and the logo alone.
python3 - <<'PY'
import struct
def bmp(path, w, h, pixel):
    row = (w * 3 + 3) // 4 * 4
    data = bytearray()
    for y in range(h - 1, -1, -1):
        line = bytearray()
        for x in range(w):
            r, g, b = pixel(x, y)
            line += bytes((b, g, r))
        data += line + b"\0" * (row - len(line))
    head = b"BM" + struct.pack("<IHHI", 54 + len(data), 0, 0, 54)
    head += struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    open(path, "wb").write(head + data)
def logo(x, y):
    return (230, 40, 40) if x < 100 else (250, 250, 250) if (x // 10 + y // 10) % 2 else (40, 40, 200)
for w, h in ((1280, 720), (640, 480), (1920, 1080)):
    bmp(f"mask{w}x{h}.bmp", w, h, lambda x, y: logo(x - 100, y - 60) if 100 <= x < 300 and 60 <= y < 160 else (0, 0, 0))
bmp("logo.bmp", 200, 100, logo)
PY

vbitrate() { ffprobe -v error -select_streams v:0 -show_entries stream=bit_rate -of csv=p=0 "$1"; }

bench_input() {
    local in=$1 w=$2 h=$3 ext=${1##*.} codec
    local br; br=$(vbitrate "$in"); [ "$br" = "N/A" ] && br=0
    case $in in
        *.avi) codec=(-c:v mpeg4 -b:v $((br * 2))) ;;
        *) codec=(-c:v libx264 -preset veryfast -crf 18 -maxrate $((br * 2)) -bufsize $((br * 4))) ;;
    esac
    local key="colorkey=0x000000:0.01"
    local -a names=(ours plain full cropped)
    local -a cmds=(
        "$(printf %q "$PROG/mxcode.dll") -i $in -sameq -vhook $(printf %q "$PROG/watermark.dll -f $DIR/mask${w}x${h}.bmp -m 1 -t 000000") -y out-ours.$ext"
        "ffmpeg -hide_banner -loglevel error -nostdin -y -i $in ${codec[*]} -c:a copy out-plain.$ext"
        "ffmpeg -hide_banner -loglevel error -nostdin -y -i $in -loop 1 -i mask${w}x${h}.bmp -filter_complex '[1:v]$key[wm];[0:v][wm]overlay=shortest=1' ${codec[*]} -c:a copy out-full.$ext"
        "ffmpeg -hide_banner -loglevel error -nostdin -y -i $in -loop 1 -i logo.bmp -filter_complex '[1:v]$key[wm];[0:v][wm]overlay=100:60:shortest=1' ${codec[*]} -c:a copy out-cropped.$ext"
    )
    : > "times-$in.txt"
    for ((r = 0; r < ROUNDS; r++)); do
        for i in 0 1 2 3; do
            /usr/bin/time -f "${names[$i]} %e %M" -a -o "times-$in.txt" bash -c "${cmds[$i]} >/dev/null 2>&1"
        done
    done
    python3 - "$in" "times-$in.txt" <<'PY'
import statistics, sys
name, path = sys.argv[1], sys.argv[2]
runs = {}
for line in open(path):
    k, t, m = line.split()
    runs.setdefault(k, []).append((float(t), int(m)))
def ratio(a, b):
    return statistics.median(x[0] / y[0] for x, y in zip(runs[a], runs[b]))
print(f"{name}: median seconds " + ", ".join(f"{k} {statistics.median(t for t, _ in v):.2f}" for k, v in runs.items()))
print(f"{name}: ours/plain {ratio('ours', 'plain'):.3f}  ours/cropped {ratio('ours', 'cropped'):.3f}  "
      f"ours/full {ratio('ours', 'full'):.3f}  full/plain {ratio('full', 'plain'):.3f}  cropped/plain {ratio('cropped', 'plain'):.3f}")
print(f"{name}: peak RSS MiB " + ", ".join(f"{k} {max(m for _, m in v) / 1024:.0f}" for k, v in runs.items()))
PY
}

bench_input in720.mp4 1280 720
bench_input in480.avi 640 480
bench_input in1080.mov 1920 1080
