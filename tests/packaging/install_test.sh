#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what an installed
# program needs: every file in its place, an encoder that works from there, a
# command that finds its program folder, a desktop entry and metainfo their
# validators accept; then the Debian package, its files and its dependencies.
#   install_test.sh <build folder>
set -euo pipefail
build=$(cd "$1" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIPPED: $*"; }

id=org.example.WatermarkImage
prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
program=$prefix/lib/watermark-image

files=(bin/watermark-image
  lib/watermark-image/watermark-image lib/watermark-image/mxcode.dll lib/watermark-image/watermark.dll
  lib/watermark-image/user-guide.html lib/watermark-image/main-window.png lib/watermark-image/positioning-window.png
  share/applications/$id.desktop share/metainfo/$id.metainfo.xml
  share/man/man1/watermark-image.1.gz
  share/doc/watermark-image/user-guide.html share/doc/watermark-image/job-format.md
  share/doc/watermark-image/cluster.md share/doc/watermark-image/contrib/parallel-watermark.sh
  share/doc/watermark-image/contrib/slurm-watermark.sbatch share/doc/watermark-image/contrib/watermark-watch.service)
for f in "${files[@]}"; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done
for size in 48 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
  [ -f "$icon" ] || fail "not installed: $icon"
  # A PNG's width and height are the big-endian words at bytes 16 and 20.
  read -r -a wh <<<"$(od -An -tu1 -j16 -N8 "$icon")"
  w=$(( (wh[0] << 24) | (wh[1] << 16) | (wh[2] << 8) | wh[3] ))
  h=$(( (wh[4] << 24) | (wh[5] << 16) | (wh[6] << 8) | wh[7] ))
  [ "$w" -eq "$size" ] && [ "$h" -eq "$size" ] || fail "$icon is ${w}x${h}, not ${size}x${size}"
done
[ -x "$prefix/share/doc/watermark-image/contrib/parallel-watermark.sh" ] || fail "the parallel recipe is not executable"
# The manual page reads without a formatting warning.
if command -v man >/dev/null; then
  warnings=$(MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/watermark-image.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "the manual page: $warnings"
  MANWIDTH=80 man -l "$prefix/share/man/man1/watermark-image.1.gz" 2>/dev/null | grep -q -- "--watch DIR" ||
    fail "the manual page does not say --watch"
else
  skip "man is not installed (Debian package man-db): the manual page was not read"
fi
grep -qx "Exec=watermark-image %f" "$prefix/share/applications/$id.desktop" || fail "desktop entry's Exec"
grep -qx "Icon=$id" "$prefix/share/applications/$id.desktop" || fail "desktop entry's Icon"

# The installed encoder describes a video.
ffmpeg -loglevel error -f lavfi -i testsrc=duration=1:size=160x120:rate=25 -c:v mpeg4 "$tmp/clip.avi"
description=$("$program/mxcode.dll" -i "$tmp/clip.avi" 2>&1 || true)
grep -q "Duration" <<<"$description" || fail "the installed encoder does not describe a video: $description"

# The command on the PATH is a link; the program behind it must still find its
# own folder: start-up makes "watermarked" there, not beside the link.
mkdir -m 700 "$tmp/run"
env HOME="$tmp" XDG_RUNTIME_DIR="$tmp/run" QT_QPA_PLATFORM=offscreen "$prefix/bin/watermark-image" &
pid=$!
for _ in $(seq 600); do
  [ -d "$program/watermarked" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  kill "$pid"
  wait "$pid" || true
else
  wait "$pid" && status=0 || status=$?
  fail "the installed program ended at start-up (exit $status)"
fi
[ -d "$program/watermarked" ] || fail "started through bin/, the program did not make $program/watermarked"
[ ! -e "$prefix/bin/watermarked" ] || fail "started through bin/, the program took bin/ for its folder"

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop-file-validate"
  echo "desktop-file-validate: clean"
else
  skip "desktop-file-validate is not installed (Debian package desktop-file-utils)"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
else
  skip "appstreamcli is not installed (Debian package appstream)"
fi

# The Debian package.
if ! command -v dpkg-shlibdeps >/dev/null; then
  skip "dpkg-shlibdeps is not installed (Debian package dpkg-dev): no .deb built"
  exit 0
fi
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/deb" >"$tmp/cpack.log" 2>&1 || {
  cat "$tmp/cpack.log" >&2
  fail "cpack -G DEB"
}
arch=$(dpkg --print-architecture)
debs=("$tmp"/deb/watermark-image_*_"$arch".deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no watermark-image_<version>_$arch.deb"
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)
[ "$(basename "$deb")" = "watermark-image_${version}_$arch.deb" ] || fail "$(basename "$deb") is not version $version"
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in "${files[@]}" share/icons/hicolor/256x256/apps/$id.png; do
  grep -qx "./usr/$f" <<<"$contents" || fail "the package lacks /usr/$f"
done
if grep -q watermarked <<<"$contents"; then fail "the package holds a results folder"; fi
description=$(dpkg-deb -f "$deb" Description)
grep -q "text" <<<"$description" && grep -q "command without windows" <<<"$description" ||
  fail "the Description names neither text marks nor the command without windows: $description"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libqt6widgets6 libqt6gui6 libqt6core6 libavformat59 libavcodec59 libavutil57 fonts-dejavu-core; do
  grep -qE "(^|, )$lib( |,|$)" <<<"$depends" || fail "Depends lacks $lib"
done
echo "install_test: all checks passed"
