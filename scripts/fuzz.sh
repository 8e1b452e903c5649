#!/usr/bin/env bash
# Builds the libFuzzer harnesses of tests/fuzz (clang, in build-fuzz) and runs them.
#   fuzz.sh NAME SECONDS   runs the harness tests/fuzz/NAME_fuzz.cpp for SECONDS
#   fuzz.sh all SECONDS    runs every harness in turn, SECONDS each
# Each run starts from the seeds in tests/fuzz/NAME/seeds and grows its corpus in
# build-fuzz/corpus/NAME; an input that breaks a harness is kept in build-fuzz/findings/NAME.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  echo "usage: $0 NAME|all SECONDS  (NAME: $*)" >&2
  exit 2
}

all=()
for f in tests/fuzz/*_fuzz.cpp; do
  n=${f##*/}
  all+=("${n%_fuzz.cpp}")
done
[ $# -eq 2 ] || usage "${all[*]}"
[[ $2 =~ ^[1-9][0-9]*$ ]] || usage "${all[*]}"
seconds=$2
if [ "$1" = all ]; then
  names=("${all[@]}")
elif [ -f "tests/fuzz/$1_fuzz.cpp" ]; then
  names=("$1")
else
  usage "${all[*]}"
fi

bash scripts/deps.sh fuzz
[ -f build-fuzz/build.ninja ] ||
  CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBUILD_TESTING=OFF -DWM_FUZZ=ON
cmake --build build-fuzz --target "${names[@]/#/fuzz_}"

# Runs one harness; prints its line and returns non-zero when it found something.
run() {
  local name=$1
  local corpus=build-fuzz/corpus/$name findings=build-fuzz/findings/$name log=build-fuzz/logs/$name.log
  mkdir -p "$corpus" "$findings" build-fuzz/logs
  local before after status=0
  before=$(find "$findings" -type f | wc -l)
  "build-fuzz/tests/fuzz/fuzz_$name" "$corpus" "tests/fuzz/$name/seeds" -max_total_time="$seconds" \
    -timeout=30 -artifact_prefix="$findings/" -print_final_stats=1 >"$log" 2>&1 || status=$?
  after=$(find "$findings" -type f | wc -l)
  local found=$((after - before))
  # A run that ends badly without leaving an input still counts as a finding.
  [ "$status" -eq 0 ] || [ "$found" -gt 0 ] || found=1
  # The final count; a run cut short by a finding has only its status lines ("#N ...").
  local runs
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  [ -n "$runs" ] || runs=$(grep -aoE '^#[0-9]+' "$log" | tail -n 1 | tr -d '#')
  echo "fuzz $name: ${runs:-0} runs, $found findings"
  if [ "$found" -gt 0 ]; then
    echo "  exit status $status; log: $log; inputs: $findings/"
    tail -n 30 "$log" | sed 's/^/  | /'
    return 1
  fi
}

passed=0 failed=0
for name in "${names[@]}"; do
  if run "$name"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
