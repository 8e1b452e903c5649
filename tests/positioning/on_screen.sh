#!/bin/bash
# Runs on_screen_test on its own X server with a window manager, as a user's
# desktop would: a 1366 x 768 laptop screen, then a 1920 x 1080 screen at
# QT_SCALE_FACTOR=2. Skipped (exit 77) where Xvfb or openbox is missing.
#   on_screen.sh TEST_PROGRAM
set -uo pipefail
test_program=$1
for tool in Xvfb openbox; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

run_on() {
    local screen=$1 scale=$2 display_file server wm status
    display_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
    server=$!
    for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.05; done
    local display=":$(head -n1 "$display_file")"
    rm -f "$display_file"
    DISPLAY=$display openbox >/dev/null 2>&1 &
    wm=$!
    sleep 0.5
    echo "screen $screen, QT_SCALE_FACTOR=$scale"
    env -u QT_QPA_PLATFORM DISPLAY="$display" QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="$scale" "$test_program"
    status=$?
    kill "$wm" "$server" 2>/dev/null
    wait "$wm" "$server" 2>/dev/null
    return $status
}

run_on 1366x768 1 && run_on 1920x1080 2
