#!/bin/bash
# Times the conversion of a phone's HLG clip (1080p HEVC, 10-bit BT.2020) with a logo that has a
# soft shadow: this build against another one (say, the build before the mark was taken into the
# video's light). The colour conversion happens once per run, on the mask, so the two should be
# within a few per cent. Runs are paired (A B A B ...) and the medians of the per-round ratios are
# reported, of the wall time and of the processor time (user and system: on a machine others use
# too, the steadier of the two), with each side's median seconds.
#
#   bench/hdr_bench.sh [program folder] [baseline program folder] [rounds]
# Inputs and results go to $BENCH_DIR (default /tmp/wm-bench).
set -euo pipefail
PROG=${1:-$(dirname "$0")/../build/bin}
BASE=${2:-}
ROUNDS=${3:-3}
DIR=${BENCH_DIR:-/tmp/wm-bench}

. "$(dirname "$0")/needs.sh"
needs_tools ffmpeg python3 /usr/bin/time
needs_program "$PROG" mxcode.dll watermark.dll
if [ -z "$BASE" ]; then
    echo "$bench_name: give the baseline's program folder: bench/$bench_name <folder> <baseline folder> [rounds]" >&2
    exit 2
fi
needs_program "$BASE" mxcode.dll watermark.dll
PROG=$(cd "$PROG" && pwd)
BASE=$(cd "$BASE" && pwd)
mkdir -p "$DIR"
cd "$DIR"

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }

[ -f hlg1080.mp4 ] || ff -f lavfi -i testsrc2=size=1920x1080:rate=25:duration=4 -vf format=yuv420p10le \
    -c:v libx265 -preset fast -x265-params log-level=error -pix_fmt yuv420p10le -color_primaries bt2020 \
    -color_trc arib-std-b67 -colorspace bt2020nc -metadata:s:v:0 rotate=90 hlg1080.mp4

# A 1920x1080 32-bit mask: a 600x300 logo of many colours (a gradient), its soft shadow around it.
[ -f mask-hdr.bmp ] || python3 - <<'PY'
import struct
w, h = 1920, 1080
def pixel(x, y):
    lx, ly = x - 100, y - 60
    if 0 <= lx < 600 and 0 <= ly < 300:
        return (lx * 255 // 599, ly * 255 // 299, 255 - lx * 255 // 599, 255)
    dx = max(0, 90 - x, x - 709); dy = max(0, 50 - y, y - 369)
    d = max(dx, dy)
    return (0, 0, 0, max(0, 160 - d * 16)) if d < 10 else (0, 0, 0, 0)
data = bytearray()
for y in range(h - 1, -1, -1):
    for x in range(w):
        r, g, b, a = pixel(x, y)
        data += bytes((b, g, r, a))
masks = struct.pack("<IIII", 0x00ff0000, 0x0000ff00, 0x000000ff, 0xff000000)
info = struct.pack("<IiiHHIIiiII", 124, w, h, 1, 32, 3, len(data), 2835, 2835, 0, 0) + masks
info += b"\0" * (124 - len(info))
open("mask-hdr.bmp", "wb").write(b"BM" + struct.pack("<IHHI", 14 + 124 + len(data), 0, 0, 14 + 124) + info + data)
PY

: > times-hdr.txt
for ((r = 0; r < ROUNDS; r++)); do
    for side in new base; do
        folder=$PROG; [ $side = base ] && folder=$BASE
        /usr/bin/time -f "$side %e %U %S" -a -o times-hdr.txt bash -c "$(printf %q "$folder/mxcode.dll") -i hlg1080.mp4 \
            -sameq -vhook $(printf %q "$folder/watermark.dll -f $DIR/mask-hdr.bmp -m 1 -t ff00ff") -y out-hdr-$side.mp4 \
            >/dev/null 2>&1"
    done
done
python3 - times-hdr.txt <<'PY'
import statistics, sys
wall, cpu = {}, {}
for line in open(sys.argv[1]):
    k, e, u, s = line.split()
    wall.setdefault(k, []).append(float(e))
    cpu.setdefault(k, []).append(float(u) + float(s))
def ratio(runs):
    return statistics.median(a / b for a, b in zip(runs["new"], runs["base"]))
print("hlg1080.mp4: median wall seconds " + ", ".join(f"{k} {statistics.median(v):.2f}" for k, v in wall.items())
      + "; processor seconds " + ", ".join(f"{k} {statistics.median(v):.2f}" for k, v in cpu.items()))
print(f"hlg1080.mp4: new/base wall {ratio(wall):.3f}, processor {ratio(cpu):.3f}")
PY
