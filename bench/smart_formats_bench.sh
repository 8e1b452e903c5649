#!/bin/bash
# Smart rendering on the other kinds of source, at full size: the 3-minute 720p H.264 clip of
# smart_bench.sh remuxed into MKV, a 3-minute 10-bit HEVC HLG clip stored on its side (MOV), and an
# MPEG-4 AVI, each with a mark from 0 to 10 s. For each: the time, whether the encoder joined or
# fell back (its Note: line), the share of video packets that are the source's byte for byte,
# decoder faults, frames decoded against the source's, and whether the sound is the source's.
#
#   bench/smart_formats_bench.sh [program folder]
# Inputs and results go to $BENCH_DIR (default /tmp/wm-bench); run smart_bench.sh first.
set -euo pipefail
SRC=$(cd "$(dirname "$0")/.." && pwd)
PROG=${1:-$SRC/build/bin}
DIR=${BENCH_DIR:-/tmp/wm-bench}

. "$(dirname "$0")/needs.sh"
needs_tools ffmpeg ffprobe python3 /usr/bin/time
needs_program "$PROG" mxcode.dll watermark.dll
PROG=$(cd "$PROG" && pwd)
cd "$DIR"
[ -f in720-3m.mp4 ] && [ -f logo720.bmp ] || { echo "run bench/smart_bench.sh first" >&2; exit 2; }

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
[ -f in720-3m.mkv ] || ff -i in720-3m.mp4 -c copy in720-3m.mkv
if [ ! -f hevc10-3m.mov ]; then
    ff -f lavfi -i testsrc2=size=1280x720:rate=25:duration=180 -f lavfi -i sine=frequency=440:duration=180 \
        -c:v libx265 -preset ultrafast -pix_fmt yuv420p10le \
        -x265-params keyint=50:min-keyint=50:scenecut=0:open-gop=0:log-level=error \
        -color_primaries bt2020 -color_trc arib-std-b67 -colorspace bt2020nc -tag:v hvc1 -c:a aac hevc10-flat.mov
    # ffmpeg 5.1 writes a rotation as a display matrix on a copy only.
    ff -i hevc10-flat.mov -c copy -metadata:s:v:0 rotate=90 hevc10-3m.mov
fi
[ -f in480-3m.avi ] || ff -f lavfi -i testsrc2=size=640x480:rate=25:duration=180 \
    -f lavfi -i sine=frequency=440:duration=180 -c:v mpeg4 -q:v 4 -g 50 -c:a pcm_s16le in480-3m.avi
python3 - <<'PY'
import struct
W, H = 640, 480
row = (W * 3 + 3) // 4 * 4
data = bytearray()
for y in range(H - 1, -1, -1):
    line = bytearray(b"\0\0\0" * W)
    if 380 <= y < 440:
        for x in range(400, 600):
            line[3 * x:3 * x + 3] = bytes((40, 40, 230))
    data += line + b"\0" * (row - len(line))
info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(data), 2835, 2835, 0, 0)
open("logo480.bmp", "wb").write(b"BM" + struct.pack("<IHHI", 54 + len(data), 0, 0, 54) + info + data)
PY

sums() { ffmpeg -v error -i "$1" -map "0:$2" -c copy -f framemd5 - | grep -v '^#' | awk '{print $NF}'; }
for pair in in720-3m.mkv:logo720.bmp hevc10-3m.mov:logo720.bmp in480-3m.avi:logo480.bmp; do
    src=${pair%%:*} mask=${pair##*:} out=out-${pair%%:*}
    start=$(date +%s.%N)
    "$PROG/mxcode.dll" -i "$src" -sameq -vhook "$PROG/watermark.dll -f $DIR/$mask -m 1 -t 000000 -from 0 -until 10" \
        -y "$out" 2> "$out.log" || { echo "$src: the encoder failed"; tail -3 "$out.log"; continue; }
    took=$(python3 -c "import sys; print(f'{float(sys.argv[2]) - float(sys.argv[1]):.1f}')" "$start" "$(date +%s.%N)")
    said=$(tr '\r' '\n' < "$out.log" | grep -E '^(Re-encoded|Note: the whole video)' || true)
    same=$(python3 -c 'import sys; a=open(sys.argv[1]).read().split(); b=open(sys.argv[2]).read().split(); n=sum(x == y for x, y in zip(a, b))
print(f"{n} of {len(a)} video packets the source\x27s ({100 * n / len(a):.1f} %)")' <(sums "$src" v:0) <(sums "$out" v:0))
    faults=$(ffmpeg -v error -i "$out" -f null - 2>&1 | wc -l)
    frames=$(ffprobe -v error -select_streams v:0 -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$out" | cut -d, -f1)
    want=$(ffprobe -v error -select_streams v:0 -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$src" | cut -d, -f1)
    audio=$([ "$(sums "$src" a:0 | md5sum)" = "$(sums "$out" a:0 | md5sum)" ] && echo "the source's" || echo "NOT the source's")
    echo "$src: ${took} s; $said; $same; $faults decoder fault lines; $frames frames decoded of $want; sound $audio"
done
