#!/bin/bash
# Smart rendering against a mark laid on every frame: a 3-minute 1280 x 720 H.264 + AAC MP4 (a key
# frame every 2 s, B-frames) with a 400 x 120 logo throughout, from 0 to 10 s, from 1:30 to 1:40,
# and from 0 to 10 s with -nosmart; then a 60-minute file (the 3-minute one twenty times over,
# joined without coding) with the 10 s intro mark. Runs are paired (one of each line per round, in
# a rotating order) and the medians of the elapsed times and of the ratios to "always" reported.
# Each smart result is then measured: the share of its video packets that are the source's byte
# for byte (ffmpeg's framemd5 with -c copy), whether ffmpeg decodes it without a fault, its frame
# count against the source's, and whether its sound is the source's.
#
#   bench/smart_bench.sh [program folder] [rounds]
# Inputs and results go to $BENCH_DIR (default /tmp/wm-bench).
set -euo pipefail
SRC=$(cd "$(dirname "$0")/.." && pwd)
PROG=${1:-$SRC/build/bin}
ROUNDS=${2:-3}
DIR=${BENCH_DIR:-/tmp/wm-bench}

. "$(dirname "$0")/needs.sh"
needs_tools ffmpeg ffprobe python3 /usr/bin/time
needs_program "$PROG" mxcode.dll watermark.dll
PROG=$(cd "$PROG" && pwd)
mkdir -p "$DIR"
cd "$DIR"

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
[ -f in720-3m.mp4 ] || ff -f lavfi -i testsrc2=size=1280x720:rate=25:duration=180 \
    -f lavfi -i sine=frequency=440:duration=180 -c:v libx264 -preset veryfast -crf 23 -g 50 -keyint_min 50 \
    -sc_threshold 0 -bf 3 -pix_fmt yuv420p -c:a aac -b:a 128k in720-3m.mp4
if [ ! -f in720-60m.mp4 ]; then
    for _ in $(seq 20); do echo "file 'in720-3m.mp4'"; done > list60.txt
    ff -f concat -safe 0 -i list60.txt -c copy in720-60m.mp4
fi

# A frame-sized 24-bit mask, black key, with a 400 x 120 logo at (820, 560).
python3 - <<'PY'
import struct
W, H, X, Y, LW, LH = 1280, 720, 820, 560, 400, 120
def pixel(x, y):
    lx, ly = x - X, y - Y
    if 0 <= lx < LW and 0 <= ly < LH:
        return (230, 40, 40) if lx < 130 else (250, 250, 250) if (lx // 10 + ly // 10) % 2 else (40, 40, 200)
    return (0, 0, 0)
row = (W * 3 + 3) // 4 * 4
data = bytearray()
for y in range(H - 1, -1, -1):
    line = bytearray()
    for x in range(W):
        r, g, b = pixel(x, y)
        line += bytes((b, g, r))
    data += line + b"\0" * (row - len(line))
info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(data), 2835, 2835, 0, 0)
open("logo720.bmp", "wb").write(b"BM" + struct.pack("<IHHI", 54 + len(data), 0, 0, 54) + info + data)
PY

hook() { printf %q "$PROG/watermark.dll -f $DIR/logo720.bmp -m 1 -t 000000$1"; }
enc=$(printf %q "$PROG/mxcode.dll")
names=(always intro middle nosmart)
cmds=(
    "$enc -i in720-3m.mp4 -sameq -vhook $(hook '') -y out-always.mp4"
    "$enc -i in720-3m.mp4 -sameq -vhook $(hook ' -from 0 -until 10') -y out-intro.mp4"
    "$enc -i in720-3m.mp4 -sameq -vhook $(hook ' -from 90 -until 100') -y out-middle.mp4"
    "$enc -i in720-3m.mp4 -sameq -vhook $(hook ' -from 0 -until 10') -nosmart -y out-nosmart.mp4"
)
: > times-smart.txt
for ((r = 0; r < ROUNDS; r++)); do
    for ((j = 0; j < ${#names[@]}; j++)); do
        i=$(((j + r) % ${#names[@]}))
        /usr/bin/time -f "${names[$i]} %e %M" -a -o times-smart.txt bash -c "${cmds[$i]} >/dev/null 2>&1"
    done
done
/usr/bin/time -f "hour-intro %e %M" -a -o times-smart.txt bash -c \
    "$enc -i in720-60m.mp4 -sameq -vhook $(hook ' -from 0 -until 10') -y out-hour.mp4 >/dev/null 2>&1"

python3 - times-smart.txt <<'PY'
import statistics, sys
runs = {}
for line in open(sys.argv[1]):
    k, e, m = line.split()
    runs.setdefault(k, []).append((float(e), int(m)))
med = lambda k: statistics.median(r[0] for r in runs[k])
print("in720-3m.mp4: median seconds " + ", ".join(f"{k} {med(k):.2f}" for k in runs if k != "hour-intro"))
for k in ("intro", "middle", "nosmart"):
    ratio = statistics.median(x[0] / y[0] for x, y in zip(runs[k], runs["always"]))
    print(f"in720-3m.mp4: {k}/always {ratio:.3f}")
hour = runs["hour-intro"][0][0]
print(f"in720-60m.mp4 with a 10 s intro mark: {hour:.1f} s, {3600 / hour:.1f}x real time")
print("peak RSS MiB " + ", ".join(f"{k} {max(r[1] for r in v) / 1024:.0f}" for k, v in runs.items()))
PY

sums() { ffmpeg -v error -i "$1" -map "0:$2" -c copy -f framemd5 - | grep -v '^#' | awk '{print $NF}'; }
for out in out-intro.mp4 out-middle.mp4 out-hour.mp4; do
    src=in720-3m.mp4
    [ "$out" = out-hour.mp4 ] && src=in720-60m.mp4
    same=$(python3 -c 'import sys; a=open(sys.argv[1]).read().split(); b=open(sys.argv[2]).read().split();
print(f"{sum(x == y for x, y in zip(a, b))} of {len(a)} video packets the source\x27s ({100 * sum(x == y for x, y in zip(a, b)) / len(a):.1f} %)")' \
        <(sums "$src" v:0) <(sums "$out" v:0))
    faults=$(ffmpeg -v error -i "$out" -f null - 2>&1 | wc -l)
    frames=$(ffprobe -v error -select_streams v:0 -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$out")
    want=$(ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets -of csv=p=0 "$src")
    audio=$([ "$(sums "$src" a:0 | md5sum)" = "$(sums "$out" a:0 | md5sum)" ] && echo "the source's" || echo "NOT the source's")
    echo "$out: $same; $faults decoder fault lines; $frames frames decoded of $want; sound $audio"
done
