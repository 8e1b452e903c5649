#!/bin/bash
# The queue against its peers on eight mixed clips, one job: the command without windows (the queue's
# own engine) with as many encoders as the queue starts on this machine, with one and with two at a
# time, and a shell loop of the ffmpeg line a user would type instead. Then the proof frame of a
# 1080p H.264 video, and what the command adds per video to the encoder's own time.
#
#   bench/batch_bench.sh [program folder] [rounds]
# Inputs and results go to $BENCH_DIR (default /tmp/wm-batch-bench).
set -euo pipefail
PROG=${1:-$(dirname "$0")/../build/bin}
ROUNDS=${2:-3}
DIR=${BENCH_DIR:-/tmp/wm-batch-bench}

. "$(dirname "$0")/needs.sh"
needs_tools ffmpeg python3
needs_program "$PROG" mxcode.dll watermark.dll watermark-image
PROG=$(cd "$PROG" && pwd)
mkdir -p "$DIR/in"
cd "$DIR"

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
# Eight clips: 1080p, 720p and 480p H.264 + AAC, MPEG-4 AVIs, a phone clip on its side.
[ -f in/a1080.mp4 ] || ff -f lavfi -i testsrc2=size=1920x1080:rate=25:duration=8 -f lavfi -i sine=duration=8 \
  -c:v libx264 -preset medium -crf 23 -pix_fmt yuv420p -c:a aac in/a1080.mp4
for n in b c; do
  [ -f in/${n}720.mp4 ] || ff -f lavfi -i testsrc2=size=1280x720:rate=25:duration=12 -f lavfi -i sine=duration=12 \
    -c:v libx264 -preset medium -crf 23 -pix_fmt yuv420p -c:a aac in/${n}720.mp4
done
for n in d e f; do
  [ -f in/${n}480.avi ] || ff -f lavfi -i testsrc2=size=640x480:rate=25:duration=20 -f lavfi -i sine=duration=20 \
    -c:v mpeg4 -q:v 4 -c:a libmp3lame in/${n}480.avi
done
[ -f in/g360.mp4 ] || ff -f lavfi -i testsrc2=size=640x360:rate=30:duration=20 -c:v libx264 -crf 23 -pix_fmt yuv420p in/g360.mp4
[ -f in/hphone.mp4 ] || { ff -f lavfi -i testsrc2=size=1280x720:rate=30:duration=8 -c:v libx264 -crf 23 \
  -pix_fmt yuv420p coded.mp4 && ff -i coded.mp4 -c copy -metadata:s:v:0 rotate=90 in/hphone.mp4; }
[ -f logo.png ] || ff -f lavfi -i "color=c=red@0.8:s=600x180,format=rgba" -frames:v 1 logo.png
"$PROG/watermark-image" --picture logo.png --place bottom-right --margin 3 --size 20 --save-job job.wmjob

# As BatchWindow and the command choose: two at a time, or one per pair of cores where there are more.
queue_jobs=$(python3 -c "import os; print(max(2, (os.cpu_count() or 2) // 2))")
now() { date +%s.%N; }
run_ours() { rm -rf out; "$PROG/watermark-image" --job job.wmjob --jobs "$1" --output out in >/dev/null; }
# The queue's line is the command with its own choice of encoders at a time.
run_queue() { rm -rf out; "$PROG/watermark-image" --job job.wmjob --output out in >/dev/null; }
run_ffmpeg() {
  rm -rf ffout && mkdir ffout
  for v in in/*; do
    ff -i "$v" -i logo.png -filter_complex "[1]scale=iw*0.2*main_w/iw:-1[l];[0][l]overlay=W-w-W*0.03:H-h-H*0.03" \
      -c:a copy "ffout/$(basename "$v")" 2>/dev/null ||
    ff -i "$v" -i logo.png -filter_complex "overlay=W-w-W*0.03:H-h-H*0.03" -c:a copy "ffout/$(basename "$v")"
  done
}
declare -A total
lines=("queue:run_queue" "one:run_ours 1" "two:run_ours 2" "ffmpeg:run_ffmpeg")
for ((r = 1; r <= ROUNDS; r++)); do
  # Each round in another order: no line always runs first, on a cold cache.
  order=()
  for ((i = 0; i < ${#lines[@]}; i++)); do order+=("${lines[(i + r) % ${#lines[@]}]}"); done
  for what in "${order[@]}"; do
    name=${what%%:*}
    t0=$(now); eval "${what#*:}"; t1=$(now)
    total[$name]=$(python3 -c "print(${total[$name]:-0} + $t1 - $t0)")
  done
done
python3 - "$ROUNDS" "$queue_jobs" "${total[queue]}" "${total[one]}" "${total[two]}" "${total[ffmpeg]}" <<'PY'
import sys
rounds, jobs = int(sys.argv[1]), int(sys.argv[2])
q, one, two, ff = (float(x) / rounds for x in sys.argv[3:7])
print(f"eight clips, mean of {rounds} rounds:")
print(f"  queue ({jobs} at a time) {q:7.2f} s")
print(f"  one after another       {one:7.2f} s")
print(f"  two at a time           {two:7.2f} s")
print(f"  ffmpeg overlay loop     {ff:7.2f} s")
print(f"  queue / better of ours  {q / min(one, two):.3f}   (goal <= 1.05)")
print(f"  queue / ffmpeg loop     {q / ff:.3f}   (goal <= 0.80)")
PY

# A 24-bit mask of W x H, the key black, a red band from column X0 to X1 in every row.
make_mask() {
  python3 - "$@" <<'PY'
import struct, sys
path, w, h, x0, x1 = sys.argv[1], *map(int, sys.argv[2:])
row = (w * 3 + 3) // 4 * 4
line = bytearray(b"\x00\x00\x00" * w) + bytearray(row - w * 3)
line[3 * x0:3 * x1] = b"\x00\x00\xff" * (x1 - x0)
with open(path, "wb") as f:
    f.write(b"BM" + struct.pack("<IHHI", 54 + row * h, 0, 0, 54) +
            struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, row * h, 0, 0, 0, 0))
    f.write(bytes(line) * h)
PY
}
make_mask mask.bmp 1920 1080 1500 1880
make_mask mask360.bmp 640 360 500 620

# The proof frame of the 1080p clip, as the queue makes it (best of five).
python3 - "$PROG" <<'PY'
import subprocess, sys, time
prog = sys.argv[1]
best = 1e9
for _ in range(5):
    t = time.time()
    subprocess.run([f"{prog}/mxcode.dll", "-ss", "0.8", "-i", "in/a1080.mp4", "-vhook",
                    f"{prog}/watermark.dll -f mask.bmp -m 1 -t 000000", "-vframes", "1", "-y", "proof.bmp"],
                   check=True, capture_output=True)
    best = min(best, time.time() - t)
print(f"proof frame, 1080p H.264: {best * 1000:.0f} ms   (goal < 400 ms)")
PY

# What the command adds to the encoder's own time, per video: eight short clips, converted by the
# encoder one by one and by the command one at a time (best of three each way).
for i in 1 2 3 4 5 6 7 8; do
  [ -f short/s$i.mp4 ] || { mkdir -p short && ff -f lavfi -i testsrc2=size=640x360:rate=25:duration=1 \
    -c:v libx264 -pix_fmt yuv420p short/s$i.mp4; }
done
python3 - "$PROG" <<'PY'
import subprocess, sys, time
prog = sys.argv[1]
def best(run):
    b = 1e9
    for _ in range(3):
        t = time.time(); run(); b = min(b, time.time() - t)
    return b
def encoder():
    for i in range(1, 9):
        subprocess.run([f"{prog}/mxcode.dll", "-i", f"short/s{i}.mp4", "-sameq", "-vhook",
                        f"{prog}/watermark.dll -f mask360.bmp -m 1 -t 000000", "-y", f"enc-s{i}.mp4"],
                       check=True, capture_output=True)
def command():
    subprocess.run([f"{prog}/watermark-image", "--job", "job.wmjob", "--jobs", "1", "--replace",
                    "--output", "cmd-out", "short"], check=True, capture_output=True)
enc, cmd = best(encoder), best(command)
print(f"eight 1 s clips one at a time: encoder {enc:.2f} s, the command {cmd:.2f} s: "
      f"{(cmd - enc) / 8 * 1000:.0f} ms added per video   (goal < 100 ms)")
PY
