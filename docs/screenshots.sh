#!/bin/bash
# Makes the user guide's and the README's screenshots from the real windows: the program from a build
# folder runs on its own X server with a window manager, on a 1366 x 768 laptop screen, and is driven
# as a user would (xdotool): a 1280 x 720 video, a wide PNG logo, Initialize, the logo placed, Start.
#   docs/screenshots.sh [build folder]     (default: build; writes docs/*.png)
# Needs Xvfb, openbox, xdotool, ImageMagick and ffmpeg (apt-get install xvfb openbox xdotool imagemagick ffmpeg).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
for tool in Xvfb openbox xdotool import convert ffmpeg; do
    command -v "$tool" >/dev/null || { echo "screenshots.sh: missing $tool" >&2; exit 2; }
done
[ -x "$BUILD/bin/watermark-image" ] || { echo "screenshots.sh: no program in $BUILD/bin; build it first" >&2; exit 2; }

work=$(mktemp -d)
home=$work/home
mkdir -p "$home"
cleanup() {
    [ -n "${program:-}" ] && kill "$program" 2>/dev/null
    [ -n "${wm:-}" ] && kill "$wm" 2>/dev/null
    [ -n "${server:-}" ] && kill "$server" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

video=$work/harbour.mp4
logo=$work/northwind.png
ffmpeg -hide_banner -loglevel error -nostdin -f lavfi -i testsrc2=size=1280x720:rate=25:duration=3 \
    -c:v libx264 -pix_fmt yuv420p "$video"
convert -size 606x179 xc:none \
    -fill '#00000050' -draw 'roundrectangle 12,12 603,176 28,28' \
    -fill '#f4f4f4' -draw 'roundrectangle 2,2 592,167 28,28' \
    -fill none -stroke '#1d3f6e' -strokewidth 14 -draw 'circle 88,85 88,35' \
    -stroke none -fill '#1d3f6e' -font DejaVu-Sans-Bold -pointsize 64 -annotate +160+110 'Northwind' "$logo"

Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
server=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display")"
openbox >/dev/null 2>&1 &
wm=$!
sleep 1

# A program folder of its own, so the results and settings of the shots stay in the work folder.
cp -r "$BUILD/bin" "$work/program"
HOME=$home XDG_CONFIG_HOME=$home/.config "$work/program/watermark-image" "$video" >"$work/program.log" 2>&1 &
program=$!

window() {  # the id of the window titled $1, waiting for it
    local id=""
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1) && [ -n "$id" ] && break
        sleep 0.1
    done
    [ -n "$id" ] || { echo "screenshots.sh: no window '$1'" >&2; cat "$work/program.log" >&2; exit 1; }
    echo "$id"
}
click() {  # window, x, y in the window
    xdotool mousemove --window "$1" "$2" "$3" click 1
    sleep 0.5
}

main=$(window "Watermark Image")
sleep 2  # the probe
click "$main" 156 60  # Image Selection
xdotool type --delay 10 "$logo"
xdotool key Return
sleep 1.5
import -window "$main" -frame docs/main-window.png

click "$main" 156 100  # Initialize Watermarking
sleep 1
xdotool key Return    # its message
positioning=$(window "Watermark Positioning")
sleep 2               # the frame behind the mark
eval "$(xdotool getwindowgeometry --shell "$positioning")"
click "$positioning" $((WIDTH * 7 / 10)) $((HEIGHT * 7 / 10))
click "$positioning" 200 20  # Start Watermarking
sleep 8
import -window "$positioning" -frame docs/positioning-window.png
echo "screenshots.sh: wrote docs/main-window.png and docs/positioning-window.png"
