#!/usr/bin/env bash
# Runs a GoogleTest program under valgrind's memcheck; a memory error fails it (exit 9).
#   valgrind_run.sh PROGRAM [ARG...]
# Skipped (exit 77, with the reason) where valgrind is not installed, or where valgrind cannot
# run the program's libraries on this processor: valgrind 3.19 does not decode every instruction
# a library's start-up code uses on a processor with AVX-512 (libavcodec's libhwy), and stops
# the program with SIGILL before any test runs. So PROGRAM first lists its tests under valgrind,
# which loads every library it links and runs their start-up code; when that fails under
# valgrind, with valgrind's own words, but works without it, the fault is valgrind's. Anything
# else runs, and fails, as it always did.
set -u

[ $# -ge 1 ] || { echo "usage: $0 PROGRAM [ARG...]" >&2; exit 2; }
program=$1

command -v valgrind >/dev/null || { echo "Skipped: valgrind is not installed"; exit 77; }

log=$(mktemp)
status=0
{ valgrind "$program" --gtest_list_tests; } >"$log" 2>&1 || status=$?
# Valgrind's own stops; memcheck's findings are not among them.
valgrinds='unhandled instruction|Unrecognised instruction|\(SIGILL\)|valgrind: '
if [ "$status" -ne 0 ] && grep -qE "$valgrinds" "$log" && "$program" --gtest_list_tests >/dev/null 2>&1; then
    how="exit $status"
    [ "$status" -le 128 ] || how="signal SIG$(kill -l $((status - 128)))"
    echo "Skipped: valgrind cannot run ${program##*/} on this processor: listing its tests works" \
        "without valgrind and ends with $how under it:"
    grep -E "$valgrinds" "$log" | head -n 5
    grep -m 1 ' at 0x' "$log"
    rm -f "$log"
    exit 77
fi
rm -f "$log"
exec valgrind -q --error-exitcode=9 "$@"
