#!/bin/bash
# The cost of the result's check and the speed of "MP4 to share", each against a peer in the same
# run:
#  - check: the 720p H.264 bench input converted as the windows do, the check included, with the
#    times the encoder takes for the whole and for the check (MXCODE_TIMES); and against the same
#    conversion with "-nocheck" (the result not read back), the time the first takes more.
#  - share: a 1080p H.264 + AAC source to an MP4 to share with a 200x100 logo, against
#    ffmpeg -i V -i logo.png -filter_complex overlay -c:v libx264 -preset veryfast -c:a aac.
# Runs are paired and the medians of the per-round ratios are reported; the check's share of the
# processor time too, which another load on the machine sways less than the wall-clock time.
#
#   bench/keep_bench.sh [program folder] [rounds]
set -euo pipefail
PROG=${1:-$(dirname "$0")/../build/bin}
ROUNDS=${2:-3}
DIR=${BENCH_DIR:-/tmp/wm-bench}

. "$(dirname "$0")/needs.sh"
needs_tools ffmpeg ffprobe python3 /usr/bin/time
needs_program "$PROG" mxcode.dll watermark.dll
PROG=$(cd "$PROG" && pwd)
mkdir -p "$DIR"
cd "$DIR"

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
[ -f in720.mp4 ] || ff -f lavfi -i testsrc2=size=1280x720:rate=25:duration=20 -f lavfi -i sine=duration=20 \
    -c:v libx264 -preset medium -crf 23 -pix_fmt yuv420p -c:a aac -b:a 128k in720.mp4
[ -f in1080a.mp4 ] || ff -f lavfi -i testsrc2=size=1920x1080:rate=25:duration=10 -f lavfi -i sine=duration=10 \
    -c:v libx264 -preset medium -crf 23 -pix_fmt yuv420p -c:a aac -b:a 128k in1080a.mp4
[ -f logo.png ] || ff -f lavfi -i "color=c=red@0.8:size=200x100,format=rgba" -frames:v 1 logo.png
python3 - <<'PY'
import struct
def bmp(path, w, h):
    row = (w * 3 + 3) // 4 * 4
    line = bytearray()
    data = bytearray()
    for y in range(h - 1, -1, -1):
        line = bytes((0, 0, 230)) * 200 if 60 <= y < 160 else b""
        full = (bytes((0, 0, 0)) * 100 + line + bytes((0, 0, 0)) * (w - 100 - len(line) // 3)) if line else bytes(w * 3)
        data += full + b"\0" * (row - len(full))
    head = b"BM" + struct.pack("<IHHI", 54 + len(data), 0, 0, 54)
    head += struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    open(path, "wb").write(head + data)
for w, h in ((1280, 720), (1920, 1080)):
    bmp(f"keepmask{w}x{h}.bmp", w, h)
PY

hook() { printf %q "$PROG/watermark.dll -f $DIR/keepmask$1.bmp -m 1 -t 000000"; }
names=(convert nocheck share ffmpeg)
cmds=(
    "MXCODE_TIMES=1 $(printf %q "$PROG/mxcode.dll") -i in720.mp4 -sameq -vhook $(hook 1280x720) -y out-keep720.mp4 2>>times-check.txt"
    "$(printf %q "$PROG/mxcode.dll") -i in720.mp4 -sameq -vhook $(hook 1280x720) -nocheck -y out-nocheck720.mp4"
    "$(printf %q "$PROG/mxcode.dll") -i in1080a.mp4 -sameq -vhook $(hook 1920x1080) -share -y out-share.mp4"
    "ffmpeg -hide_banner -loglevel error -nostdin -y -i in1080a.mp4 -i logo.png -filter_complex overlay=100:60 -c:v libx264 -preset veryfast -c:a aac out-ffshare.mp4"
)
: > times-keep.txt
: > times-check.txt
for ((r = 0; r < ROUNDS; r++)); do
    # Each pair in turns of order, so that neither side always runs right after the other.
    order=(0 1 2 3)
    ((r % 2)) && order=(1 0 3 2)
    for i in "${order[@]}"; do
        /usr/bin/time -f "${names[$i]} %e %U %S %M" -a -o times-keep.txt bash -c "{ ${cmds[$i]}; } >/dev/null 2>&1"
    done
done
python3 - times-keep.txt times-check.txt <<'PY'
import re, statistics, sys
inside = [float(c) / (float(t) - float(c)) for t, c in
          re.findall(r"times: conversion ([0-9.]+) s, check ([0-9.]+) s", open(sys.argv[2]).read())]
runs, cpu = {}, {}
for line in open(sys.argv[1]):
    name, secs, user, system, kb = line.split()
    runs.setdefault(name, []).append(float(secs))
    cpu.setdefault(name, []).append(float(user) + float(system))
med = {k: statistics.median(v) for k, v in runs.items()}
check = statistics.median(c / n - 1 for c, n in zip(runs["convert"], runs["nocheck"]))
checkCpu = statistics.median(c / n - 1 for c, n in zip(cpu["convert"], cpu["nocheck"]))
share = statistics.median(s / f for s, f in zip(runs["share"], runs["ffmpeg"]))
print(f"720p H.264, 20 s: the check inside the run costs {100 * statistics.median(inside):.1f} % of the "
      f"conversion (highest {100 * max(inside):.1f} %); conversion {med['convert']:.2f} s, with -nocheck "
      f"{med['nocheck']:.2f} s: {100 * check:.1f} % more ({100 * checkCpu:.1f} % more processor time)")
print(f"1080p H.264 + AAC, 10 s, MP4 to share: ours {med['share']:.2f} s, ffmpeg overlay + libx264 veryfast + aac "
      f"{med['ffmpeg']:.2f} s, ratio ours/ffmpeg {share:.2f}")
PY
