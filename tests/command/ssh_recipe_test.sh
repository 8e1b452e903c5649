#!/usr/bin/env bash
# The GNU parallel recipe of docs/cluster.md over a real ssh: an sshd on a loopback port and a
# throwaway user as the node, two slots. Three videos named with a space, Cyrillic letters and a
# double quote; a picture job, a text job with a time range and a job for an MP4 to share: every
# result comes back under its own name, marked, its sound byte for byte the source's, and nothing
# else lands in the results folder; the node keeps no folder; the same line again converts nothing;
# a node without the program says so in one line.
#   ssh_recipe_test.sh PROGRAM_DIR SOURCE_DIR
set -euo pipefail
program_dir=$(cd "$1" && pwd) source_dir=$(cd "$2" && pwd)
. "$source_dir/tests/command/engines.sh"
engines_skip_unless_root_and sshd ssh rsync parallel ffmpeg compare
work=$(mktemp -d)
trap 'engines_stop; rm -rf "$work"' EXIT
# A timeout's SIGTERM or a Ctrl+C ends the test through the EXIT trap too.
trap 'exit 143' TERM
trap 'exit 130' INT HUP
fail() { echo "FAIL: $*" >&2; exit 1; }
ssh_node_start "$work" || fail "the ssh node did not start"

# The program where the node's user can run it, as a package would put it.
mkdir "$work/program"
cp "$program_dir"/{watermark-image,mxcode.dll,watermark.dll} "$work/program/"
chmod -R a+rX "$work/program"
export WATERMARK_IMAGE=$work/program/watermark-image
cd "$work"

mkdir videos
names=("holiday trip.mp4" "Привет мир.mkv" 'say "cheese".mov')
for n in "${names[@]}"; do
  ffmpeg -v error -f lavfi -i "testsrc=s=160x120:r=25:d=1.5" -f lavfi -i "sine=f=440:r=44100:d=1.5" \
    -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest "videos/$n"
done
ffmpeg -v error -f lavfi -i color=c=red:s=40x20 -frames:v 1 logo.png
mkdir jobs
"$WATERMARK_IMAGE" --picture logo.png --place bottom-right --size 30 --save-job jobs/picture.wmjob
"$WATERMARK_IMAGE" --text "© {name} {date}" --colour FF0000 --edge none --text-size 8 --place top-left \
  --from 0.5 --save-job jobs/text.wmjob
"$WATERMARK_IMAGE" --picture logo.png --size 30 --share --save-job jobs/share.wmjob
# A job that names its picture by a folder the node does not have.
mv logo.png jobs/

sound() { ffmpeg -v error -i "$1" -map 0:a -c copy -f md5 -; }
# Pixels that differ clearly between a result's frame at $3 s and the source's.
changed() {
  ffmpeg -v error -ss "$3" -i "$1" -frames:v 1 -y a.png
  ffmpeg -v error -ss "$3" -i "$2" -frames:v 1 -y b.png
  compare -metric AE -fuzz 25% a.png b.png null: 2>&1 || true
}
stamp() { stat -c '%n %Y %s' "$1"/*; }

for kind in picture text share; do
  out=results-$kind
  # The line of docs/cluster.md.
  bash "$source_dir/contrib/parallel-watermark.sh" "jobs/$kind.wmjob" 2/node "$out/" videos/* >"$kind.log" 2>&1 ||
    { cat "$kind.log"; fail "$kind: the recipe failed"; }
  expected=()
  for n in "${names[@]}"; do
    [ "$kind" = share ] && expected+=("wm-${n%.*}.mp4") || expected+=("wm-$n")
  done
  [ "$(ls -A "$out" | sort)" = "$(printf '%s\n' "${expected[@]}" | sort)" ] ||
    { ls -A "$out"; cat "$kind.log"; fail "$kind: the results folder holds other than one result per video"; }
  for i in "${!names[@]}"; do
    src=videos/${names[i]} result=$out/${expected[i]}
    "$program_dir/mxcode.dll" -i "$src" -check "$result" >/dev/null 2>&1 || fail "$kind: $result is not whole"
    [ "$(sound "$src")" = "$(sound "$result")" ] || fail "$kind: the sound of $result is not the source's"
    marked=$(changed "$src" "$result" 1.0)
    [ "$marked" -gt 100 ] || fail "$kind: $result is not marked ($marked pixels differ)"
    if [ "$kind" = text ]; then
      before=$(changed "$src" "$result" 0.2)
      [ "$before" -lt 20 ] || fail "text: $result is marked before From ($before pixels differ)"
    fi
  done
  # The node's working folders went, and so did the runs' private folders.
  leftovers=$(find "$NODE_HOME/.parallel" "$NODE_HOME/.cache/watermark-image" -mindepth 1 \
    \( -type f -o -name 'run-*' \) 2>/dev/null || true)
  [ -z "$leftovers" ] || fail "$kind: the node kept $leftovers"

  before=$(stamp "$out")
  bash "$source_dir/contrib/parallel-watermark.sh" "jobs/$kind.wmjob" 2/node "$out/" videos/* >"$kind-2.log" 2>&1 ||
    { cat "$kind-2.log"; fail "$kind: the same line again failed"; }
  grep -q "nothing to convert" "$kind-2.log" || { cat "$kind-2.log"; fail "$kind: the same line again converted"; }
  [ "$(stamp "$out")" = "$before" ] || fail "$kind: the same line again changed a result"
  echo "$kind job over ssh: ${#names[@]} results back, marked, sound untouched; again: nothing converted"
done

# A node without the program: one line that says so, nothing started.
mkdir -m 700 "$work/here-only"
cp "$work/program"/* "$work/here-only/"
set +e
WATERMARK_IMAGE=$work/here-only/watermark-image bash "$source_dir/contrib/parallel-watermark.sh" \
  jobs/picture.wmjob 2/node missing/ videos/* >missing.log 2>&1
status=$?
set -e
[ "$status" -eq 2 ] || { cat missing.log; fail "a node without the program: exit $status, not 2"; }
[ "$(grep -c "has no $work/here-only/watermark-image" missing.log)" = 1 ] ||
  { cat missing.log; fail "a node without the program is not said in one line"; }
[ -z "$(ls -A missing)" ] || fail "a node without the program: something was converted"
echo "a node without the program: $(cat missing.log)"
