#!/bin/bash
# How long a Stop takes at 8K: an 8K H.264 clip converted by the encoder, SIGTERM once 40 % is done,
# then the time from the signal to the part's closing (its last progress line) and to the encoder's
# exit (after the part's check), the part's length and frames against those the encoder was handed,
# and whether a hidden part file was left. The goal is a part closed under 1 s.
#
#   bench/stop_bench.sh [program folder] [rounds] [size]
# Inputs and results go to $BENCH_DIR (default /tmp/wm-stop-bench).
set -euo pipefail
PROG=${1:-$(dirname "$0")/../build/bin}
ROUNDS=${2:-3}
SIZE=${3:-7680x4320}
DIR=${BENCH_DIR:-/tmp/wm-stop-bench}

. "$(dirname "$0")/needs.sh"
needs_tools ffmpeg ffprobe python3
needs_program "$PROG" mxcode.dll watermark.dll
PROG=$(cd "$PROG" && pwd)
mkdir -p "$DIR"
cd "$DIR"
w=${SIZE%x*} h=${SIZE#*x}
src=src-$SIZE.mp4
[ -f "$src" ] || ffmpeg -hide_banner -loglevel error -nostdin -f lavfi -i "testsrc2=size=$SIZE:rate=25:duration=6" \
  -c:v libx264 -preset ultrafast -pix_fmt yuv420p "$src"
python3 - "$w" "$h" <<'PY'
import struct, sys
w, h = int(sys.argv[1]), int(sys.argv[2])
row = (w * 3 + 3) // 4 * 4
with open("mask.bmp", "wb") as f:
    f.write(b"BM" + struct.pack("<IHHI", 54 + row * h, 0, 0, 54) +
            struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, row * h, 0, 0, 0, 0))
    line = bytearray(b"\x00\x00\x00" * w) + bytearray(row - w * 3)
    line[3 * (w - 900):3 * (w - 100)] = b"\x00\x00\xff" * 800
    f.write(bytes(line) * h)
PY
python3 - "$PROG" "$src" "$ROUNDS" <<'PY'
import os, re, signal, subprocess, sys, time, glob
prog, src, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3])
duration = float(subprocess.run(["ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", src],
                                capture_output=True, text=True).stdout)
for r in range(rounds):
    for f in glob.glob("out*") + glob.glob(".out*"):
        os.remove(f)
    p = subprocess.Popen([f"{prog}/mxcode.dll", "-i", src, "-sameq", "-vhook",
                          f"{prog}/watermark.dll -f mask.bmp -m 1 -t 000000", "-y", "out.mp4"],
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    text = b""
    while True:
        chunk = os.read(p.stdout.fileno(), 4096)
        if not chunk:
            break
        text += chunk
        m = re.findall(rb"time=([0-9.]+)", text)
        if m and float(m[-1]) >= 0.4 * duration:
            break
    t0 = time.time()
    p.send_signal(signal.SIGTERM)
    # The last progress line ends in a newline once the part is closed; the check comes after it.
    rest, closed = b"", None
    while True:
        chunk = os.read(p.stdout.fileno(), 4096)
        if not chunk:
            break
        rest += chunk
        if closed is None and re.search(rb"frame=[^\r\n]*\r\n", rest):
            closed = time.time() - t0
    p.wait()
    took = time.time() - t0
    handed = re.findall(rb"frame=\s*(\d+)", text + rest)
    part = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0",
                           "out-stopped.mp4"], capture_output=True, text=True).stdout.strip() or "unreadable"
    frames = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets", "-show_entries",
                             "stream=nb_read_packets", "-of", "csv=p=0", "out-stopped.mp4"],
                            capture_output=True, text=True).stdout.strip() or "0"
    hidden = glob.glob(".out*")
    print(f"round {r + 1}: stopped at {float(m[-1]):.2f} of {duration:.1f} s, part closed "
          f"{closed if closed is not None else float('nan'):.2f} s and exit {took:.2f} s after the signal, "
          f"part {part} s with {frames} of the {int(handed[-1]) if handed else 0} frames handed to the encoder, "
          f"hidden part files left: {len(hidden)}")
PY
