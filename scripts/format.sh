#!/usr/bin/env bash
# Holds the C and C++ sources to .clang-format, with Debian's clang-format 14: another version
# lays the same style out differently.
#   format.sh check   lists the files that differ from the style; fails if there are any
#   format.sh fix     reformats them in place
# The files are those git knows or would add: build folders and other ignored files stay out.
set -euo pipefail
cd "$(dirname "$0")/.."

case "${1:-}" in
  check | fix) ;;
  *) echo "usage: $0 check|fix" >&2; exit 2 ;;
esac
bash scripts/deps.sh format

files=()
while IFS= read -r -d '' f; do
  [ -f "$f" ] && files+=("$f")
done < <(git ls-files -z --cached --others --exclude-standard -- '*.cpp' '*.cc' '*.h' '*.hpp' '*.c')
# clang-format without files would read its standard input.
[ ${#files[@]} -gt 0 ] || { echo "format: no C or C++ files found" >&2; exit 1; }

if [ "$1" = fix ]; then
  clang-format-14 -i --style=file "${files[@]}"
  echo "format: ${#files[@]} files laid out as .clang-format says"
  exit 0
fi

# One run over every file: --dry-run warns at each place that would change, naming its file.
report=$(clang-format-14 --dry-run --style=file "${files[@]}" 2>&1) || { echo "$report" >&2; exit 1; }
differ=()
while IFS= read -r f; do
  [ -n "$f" ] && differ+=("$f")
done < <(sed -n 's/^\(.*\):[0-9]*:[0-9]*: warning: code should be clang-formatted.*/\1/p' <<<"$report" | sort -u)
if [ ${#differ[@]} -gt 0 ]; then
  echo "format: ${#differ[@]} of ${#files[@]} files differ from .clang-format (bash scripts/format.sh fix):"
  printf '  %s\n' "${differ[@]}"
  exit 1
fi
echo "format: ${#files[@]} files match .clang-format"
