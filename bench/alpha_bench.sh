#!/bin/bash
# Times conversions of the 640x480 MPEG-4 input with a 32-bit mask whose logo has soft edges
# (alpha falling to 0 over 12 pixels) against the plain transcode by Debian's ffmpeg, beside the
# 24-bit mask of the same logo and the encoder without a hook. Runs are paired (one of each line
# per round) and the medians of the per-round ratios are reported, of the elapsed time and of the
# processor time (user + system), which other work on a shared machine disturbs less.
#
# Then the module's own work per frame, Overlay::apply alone (bench/overlay_apply.cpp, built here
# with g++ against the build's libwm_hook_core.a).
#
#   bench/alpha_bench.sh [program folder] [rounds]
# Inputs and results go to $BENCH_DIR (default /tmp/wm-bench), shared with run_bench.sh.
set -euo pipefail
SRC=$(cd "$(dirname "$0")/.." && pwd)
PROG=${1:-$SRC/build/bin}
ROUNDS=${2:-5}
DIR=${BENCH_DIR:-/tmp/wm-bench}

. "$(dirname "$0")/needs.sh"
needs_tools ffmpeg ffprobe python3 /usr/bin/time
needs_program "$PROG" mxcode.dll watermark.dll
PROG=$(cd "$PROG" && pwd)
mkdir -p "$DIR"
cd "$DIR"

# The same input as run_bench.sh.
[ -f in480.avi ] || ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi \
    -i testsrc2=size=640x480:rate=25:duration=40 -f lavfi -i sine=duration=40 \
    -c:v mpeg4 -q:v 4 -c:a libmp3lame -b:a 128k in480.avi

# Frame-sized masks, black key: run_bench.sh's 200x100 logo at (100,60), as a 24-bit BMP and as a
# 32-bit BMP (colour masks, 124-byte header) with soft edges, the rest transparent.
python3 - <<'PY'
import struct
W, H, X, Y, LW, LH, EDGE = 640, 480, 100, 60, 200, 100, 12
def logo(x, y):
    return (230, 40, 40) if x < 100 else (250, 250, 250) if (x // 10 + y // 10) % 2 else (40, 40, 200)
def alpha(x, y):
    d = min(x + 1, y + 1, LW - x, LH - y)
    return min(255, d * 255 // EDGE)
def pixel(x, y):
    lx, ly = x - X, y - Y
    if 0 <= lx < LW and 0 <= ly < LH:
        return logo(lx, ly) + (alpha(lx, ly),)
    return (0, 0, 0, 0)
def bmp(path, bits):
    row = (W * bits + 31) // 32 * 4
    data = bytearray()
    for y in range(H - 1, -1, -1):
        line = bytearray()
        for x in range(W):
            r, g, b, a = pixel(x, y)
            line += bytes((b, g, r, a) if bits == 32 else (b, g, r))
        data += line + b"\0" * (row - len(line))
    if bits == 24:
        info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    else:
        info = struct.pack("<IiiHHIIiiII", 124, W, H, 1, 32, 3, len(data), 2835, 2835, 0, 0)
        info += struct.pack("<IIIII", 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000, 0x73524742)
        info += b"\0" * (124 - len(info))
    head = b"BM" + struct.pack("<IHHI", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    open(path, "wb").write(head + info + data)
bmp("soft24.bmp", 24)
bmp("soft32.bmp", 32)
PY

br=$(ffprobe -v error -select_streams v:0 -show_entries stream=bit_rate -of csv=p=0 in480.avi)
hook() { printf %q "$PROG/watermark.dll -f $DIR/$1 -m 1 -t 000000$2"; }
enc=$(printf %q "$PROG/mxcode.dll")
names=(plain nohook mask24 mask32 mask32a50)
cmds=(
    "ffmpeg -hide_banner -loglevel error -nostdin -y -i in480.avi -c:v mpeg4 -b:v $((br * 2)) -c:a copy out-plain.avi"
    "$enc -i in480.avi -sameq -y out-nohook.avi"
    "$enc -i in480.avi -sameq -vhook $(hook soft24.bmp '') -y out-mask24.avi"
    "$enc -i in480.avi -sameq -vhook $(hook soft32.bmp '') -y out-mask32.avi"
    "$enc -i in480.avi -sameq -vhook $(hook soft32.bmp ' -a 50') -y out-mask32a50.avi"
)
: > times-alpha.txt
for ((r = 0; r < ROUNDS; r++)); do
    for i in "${!names[@]}"; do
        /usr/bin/time -f "${names[$i]} %e %U %S %M" -a -o times-alpha.txt bash -c "${cmds[$i]} >/dev/null 2>&1"
    done
done
python3 - times-alpha.txt <<'PY'
import statistics, sys
runs = {}
for line in open(sys.argv[1]):
    k, e, u, s, m = line.split()
    runs.setdefault(k, []).append((float(e), float(u) + float(s), int(m)))
pairs = (("mask32", "plain"), ("mask32a50", "plain"), ("mask24", "plain"), ("nohook", "plain"),
         ("mask32", "mask24"), ("mask32", "nohook"))
for what, i in (("elapsed", 0), ("cpu", 1)):
    med = lambda k: statistics.median(r[i] for r in runs[k])
    ratio = lambda a, b: statistics.median(x[i] / y[i] for x, y in zip(runs[a], runs[b]))
    print(f"in480.avi {what}: median seconds " + ", ".join(f"{k} {med(k):.2f}" for k in runs))
    print(f"in480.avi {what}: " + "  ".join(f"{a}/{b} {ratio(a, b):.3f}" for a, b in pairs))
print("in480.avi: peak RSS MiB " + ", ".join(f"{k} {max(r[2] for r in v) / 1024:.0f}" for k, v in runs.items()))
PY

core=$PROG/../encoder/hook/libwm_hook_core.a
if [ -f "$core" ] && command -v g++ >/dev/null && command -v pkg-config >/dev/null; then
    # shellcheck disable=SC2046  # pkg-config's words are meant to split
    g++ -std=c++20 -O2 -I"$SRC" "$SRC/bench/overlay_apply.cpp" "$core" \
        $(pkg-config --cflags --libs libswscale libavutil) -o overlay_apply
    ./overlay_apply 640 480 soft24.bmp soft32.bmp soft32.bmp:50
else
    echo "alpha_bench.sh: no $core (or no g++/pkg-config): Overlay::apply not timed" >&2
fi
