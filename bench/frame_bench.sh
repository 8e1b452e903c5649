#!/bin/bash
# Times the encoder's one-frame picture (what the positioning window asks for after Initialize)
# against Debian's ffmpeg doing the same: an accurate seek to 10 % of a 1080p H.264 video with a
# keyframe every 2 s, one frame written as a BMP. Runs are paired (ours, ffmpeg, ours, ffmpeg ...),
# the order flipped every round; reported: the median of the per-round ratios ours/ffmpeg (goal at
# most 1.5), the median wall time of each (the window's budget is 300 ms for ours), the peak
# resident memory of each, and whether both wrote the same picture.
#
#   bench/frame_bench.sh [program folder] [rounds]
# The input and the pictures go to $BENCH_DIR (default /tmp/wm-bench).
set -euo pipefail
PROG=${1:-$(dirname "$0")/../build/bin}
ROUNDS=${2:-11}
DIR=${BENCH_DIR:-/tmp/wm-bench}

. "$(dirname "$0")/needs.sh"
needs_tools ffmpeg ffprobe python3
needs_program "$PROG" mxcode.dll
PROG=$(cd "$PROG" && pwd)
mkdir -p "$DIR"
cd "$DIR"

# 35 s, so that 10 % (3.5 s) lies between two keyframes (2 s and 4 s): 38 frames to decode.
IN=frame1080-gop2.mp4
[ -f "$IN" ] || ffmpeg -hide_banner -loglevel error -nostdin -y \
    -f lavfi -i testsrc2=size=1920x1080:rate=25:duration=35 \
    -c:v libx264 -preset veryfast -crf 20 -pix_fmt yuv420p -x264-params keyint=50:min-keyint=50:scenecut=0 "$IN"
DURATION=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$IN")
T=$(python3 -c "print(f'{$DURATION * 0.1:.3f}')")

python3 - "$PROG/mxcode.dll" "$IN" "$T" "$ROUNDS" <<'PY'
import os, statistics, subprocess, sys, time
prog, video, t, rounds = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
cmds = {
    "ours": [prog, "-ss", t, "-i", video, "-vframes", "1", "-y", "frame-ours.bmp"],
    "ffmpeg": ["ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin",
               "-ss", t, "-i", video, "-frames:v", "1", "-y", "frame-ffmpeg.bmp"],
}
for name, cmd in cmds.items():
    print(f"{name}: {' '.join(cmd)}")

def once(cmd):
    start = time.perf_counter()
    p = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    err = p.stderr.read()
    _, status, usage = os.wait4(p.pid, 0)
    wall = time.perf_counter() - start
    p.returncode = os.waitstatus_to_exitcode(status)
    if p.returncode != 0:
        sys.exit(f"failed ({p.returncode}): {' '.join(cmd)}\n{err.decode(errors='replace')}")
    return wall, usage.ru_maxrss

runs = {name: [] for name in cmds}
for name in cmds:  # one warm-up each: file cache, libraries
    once(cmds[name])
for r in range(rounds):
    order = list(cmds) if r % 2 == 0 else list(reversed(cmds))
    for name in order:
        runs[name].append(once(cmds[name]))

def pixels(path):
    data = open(path, "rb").read()
    return data[int.from_bytes(data[10:14], "little"):], data[18:26]
same = pixels("frame-ours.bmp") == pixels("frame-ffmpeg.bmp")
ratios = [a[0] / b[0] for a, b in zip(runs["ours"], runs["ffmpeg"])]
print(f"{video} at {t} s, {rounds} paired rounds")
for name, v in runs.items():
    walls = sorted(w for w, _ in v)
    print(f"  {name:6s} median {statistics.median(walls) * 1000:6.1f} ms  (min {walls[0] * 1000:.1f}, "
          f"max {walls[-1] * 1000:.1f})  peak RSS {max(m for _, m in v) / 1024:.0f} MiB")
print(f"  ours/ffmpeg median ratio {statistics.median(ratios):.3f}  (goal <= 1.5; ours within 300 ms: "
      f"{'yes' if statistics.median(w for w, _ in runs['ours']) <= 0.3 else 'no'})")
print(f"  same picture: {'yes' if same else 'NO'}")
PY
