#!/usr/bin/env bash
# Fails when a source includes from a folder above its own (README, "Layout"):
#   rules < runner < mark < jobs < app < probe < watermark < queue < positioning
#   command sees only rules, runner, mark and jobs; the encoder only rules.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A below=(
  [rules]="rules"
  [runner]="rules runner"
  [mark]="rules runner mark"
  [jobs]="rules runner mark jobs"
  [app]="rules runner mark jobs app"
  [probe]="rules runner mark jobs app probe"
  [watermark]="rules runner mark jobs app probe watermark"
  [queue]="rules runner mark jobs app probe watermark queue"
  [positioning]="rules runner mark jobs app probe watermark queue positioning"
  [command]="rules runner mark jobs command"
  [encoder]="rules encoder"
)
status=0
for folder in "${!below[@]}"; do
  while IFS=: read -r file line text; do
    target=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<<"$text")
    if [[ " ${below[$folder]} " != *" $target "* ]]; then
      echo "$file:$line: $folder/ includes from $target/, which is not below it" >&2
      status=1
    fi
  done < <(grep -rnE '^#include "[a-z_]+/' "$folder" --include='*.cpp' --include='*.h' --include='*.c' || true)
done
exit $status
