#!/bin/bash
# Times a conversion whose mark comes and goes against the same mark laid on every frame: a 20 s
# 720p H.264 input with a 400 x 120 logo, converted by the encoder without a hook, with the mark
# always, with a range that holds the whole video ("-from 0": the same pictures as always, so the
# encoder's own work is the same and only the time path differs), with the mark from 5 s to 15 s
# with 1 s fades, and with the mark faded in and out over the whole video (10 s fades: every frame
# mixed at a partial weight, the worst case for the module, and pictures that change all the time
# for the codec). Runs are paired (one of each line per round, in a rotating order); the medians of
# the per-round ratios are reported, of the elapsed and of the processor time (user + system), with
# each line's peak resident memory.
#
# Then the module's own work per frame (bench/overlay_apply.cpp): the mark whole, half way
# through a fade and hidden.
#
#   bench/time_range_bench.sh [program folder] [rounds]
# Inputs and results go to $BENCH_DIR (default /tmp/wm-bench).
set -euo pipefail
SRC=$(cd "$(dirname "$0")/.." && pwd)
PROG=${1:-$SRC/build/bin}
ROUNDS=${2:-5}
DIR=${BENCH_DIR:-/tmp/wm-bench}

. "$(dirname "$0")/needs.sh"
needs_tools ffmpeg python3 /usr/bin/time
needs_program "$PROG" mxcode.dll watermark.dll
PROG=$(cd "$PROG" && pwd)
mkdir -p "$DIR"
cd "$DIR"

[ -f in720-20s.mp4 ] || ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi \
    -i testsrc2=size=1280x720:rate=25:duration=20 -c:v libx264 -preset medium -crf 23 -pix_fmt yuv420p in720-20s.mp4

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
names=(nohook always whole range fades)
cmds=(
    "$enc -i in720-20s.mp4 -sameq -y out-nohook.mp4"
    "$enc -i in720-20s.mp4 -sameq -vhook $(hook '') -y out-always.mp4"
    "$enc -i in720-20s.mp4 -sameq -vhook $(hook ' -from 0') -y out-whole.mp4"
    "$enc -i in720-20s.mp4 -sameq -vhook $(hook ' -from 5 -until 15 -fade 1') -y out-range.mp4"
    "$enc -i in720-20s.mp4 -sameq -vhook $(hook ' -from 0 -until 20 -fade 10') -y out-fades.mp4"
)
: > times-range.txt
for ((r = 0; r < ROUNDS; r++)); do
    # A rotating order, so no line always runs after the same one.
    for ((j = 0; j < ${#names[@]}; j++)); do
        i=$(((j + r) % ${#names[@]}))
        /usr/bin/time -f "${names[$i]} %e %U %S %M" -a -o times-range.txt bash -c "${cmds[$i]} >/dev/null 2>&1"
    done
done
python3 - times-range.txt <<'PY'
import statistics, sys
runs = {}
for line in open(sys.argv[1]):
    k, e, u, s, m = line.split()
    runs.setdefault(k, []).append((float(e), float(u) + float(s), int(m)))
pairs = (("whole", "always"), ("range", "always"), ("fades", "always"), ("always", "nohook"), ("range", "nohook"),
         ("fades", "nohook"))
for what, i in (("elapsed", 0), ("cpu", 1)):
    med = lambda k: statistics.median(r[i] for r in runs[k])
    ratio = lambda a, b: statistics.median(x[i] / y[i] for x, y in zip(runs[a], runs[b]))
    print(f"in720-20s.mp4 {what}: median seconds " + ", ".join(f"{k} {med(k):.2f}" for k in runs))
    print(f"in720-20s.mp4 {what}: " + "  ".join(f"{a}/{b} {ratio(a, b):.3f}" for a, b in pairs))
print("in720-20s.mp4: peak RSS MiB " + ", ".join(f"{k} {max(r[2] for r in v) / 1024:.0f}" for k, v in runs.items()))
PY

core=$PROG/../encoder/hook/libwm_hook_core.a
if [ -f "$core" ] && command -v g++ >/dev/null && command -v pkg-config >/dev/null; then
    # shellcheck disable=SC2046  # pkg-config's words are meant to split
    g++ -std=c++20 -O2 -I"$SRC" "$SRC/bench/overlay_apply.cpp" "$core" \
        $(pkg-config --cflags --libs libswscale libavutil) -o overlay_apply
    ./overlay_apply 1280 720 logo720.bmp
else
    echo "time_range_bench.sh: no $core (or no g++/pkg-config): Overlay::apply not timed" >&2
fi
