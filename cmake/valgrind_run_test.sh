#!/usr/bin/env bash
# valgrind_run.sh against stand-ins for valgrind and for a test program: skipped only where
# valgrind is missing or is what fails; a program's own failure or a memory error still fails.
#   valgrind_run_test.sh PATH/TO/valgrind_run.sh
set -u
wrapper=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The test program: lists its tests with exit $LIST_STATUS, runs them with exit $RUN_STATUS,
# and keeps the arguments of its runs.
cat >"$work/program" <<'EOF'
#!/bin/sh
[ "$1" = --gtest_list_tests ] && { echo 'Suite.'; echo '  Case'; exit "${LIST_STATUS:-0}"; }
echo "$*" >>"$WORK/program-args"
exit "${RUN_STATUS:-0}"
EOF

# Valgrind as $VALGRIND says: "works" runs the program; "sigill" stops it as valgrind 3.19 does
# on a processor with AVX-512; "memerror" reports an invalid read, exiting as --error-exitcode
# says; "crash" finds an invalid read and the program dies of it.
cat >"$work/valgrind" <<'EOF'
#!/bin/bash
echo "$*" >>"$WORK/valgrind-args"
error_exit=0
while [ "${1#-}" != "$1" ]; do
    case $1 in --error-exitcode=*) error_exit=${1#*=} ;; esac
    shift
done
case $VALGRIND in
works) exec "$@" ;;
sigill)
    echo 'vex amd64->IR: unhandled instruction bytes: 0xF 0x1 0xF9 0x48' >&2
    echo '==1== valgrind: Unrecognised instruction at address 0xe309522.' >&2
    echo '==1==    at 0xE309522: hwy::platform::TimerResolution() (in libhwy.so.1.0.3)' >&2
    echo '==1== Process terminating with default action of signal 4 (SIGILL)' >&2
    kill -ILL $$ ;;
memerror)
    "$@"
    echo '==1== Invalid read of size 4' >&2
    exit "$error_exit" ;;
crash)
    echo '==1== Invalid read of size 8' >&2
    echo '==1== Process terminating with default action of signal 11 (SIGSEGV)' >&2
    kill -SEGV $$ ;;
esac
EOF
chmod +x "$work/program" "$work/valgrind"

# A PATH with what the wrapper uses, and valgrind only where a case puts it.
mkdir "$work/tools"
for t in bash sh mktemp grep head rm; do ln -s "$(command -v "$t")" "$work/tools/$t"; done

failed=0 passed=0
# name | valgrind | list status | run status | expected exit | expected in the output
cases=(
    "valgrind missing|none|0|0|77|valgrind is not installed"
    "valgrind stops the program|sigill|0|0|77|signal SIGILL under it"
    "tests pass under valgrind|works|0|0|0|"
    "a test fails under valgrind|works|0|1|1|"
    "memcheck finds an error|memerror|0|0|9|"
    "the program dies under valgrind of a memory error|crash|0|0|139|"
    "the program cannot list its tests|sigill|3|0|132|"
)
for row in "${cases[@]}"; do
    IFS='|' read -r name mode list run want text <<<"$row"
    rm -f "$work/program-args" "$work/valgrind-args"
    path=$work/tools
    [ "$mode" = none ] || path=$work:$path
    status=0
    out=$(env -i PATH="$path" WORK="$work" VALGRIND="$mode" LIST_STATUS="$list" RUN_STATUS="$run" \
        "$work/tools/bash" "$wrapper" "$work/program" --gtest_filter='Suite.*' 2>&1) || status=$?
    problem=
    if [ "$status" -ne "$want" ]; then
        problem="exit $status, expected $want"
    elif [ -n "$text" ] && ! grep -qF "$text" <<<"$out"; then
        problem="no \"$text\" in the output"
    elif [ "$want" -eq 77 ] && [ -e "$work/program-args" ]; then
        problem="a skipped test still ran"
    elif [ "$want" -ne 77 ] && ! grep -qx -- '-q --error-exitcode=9 .*/program --gtest_filter=Suite\.\*' \
        "$work/valgrind-args"; then
        problem="the tests did not run under valgrind as before: $(cat "$work/valgrind-args")"
    fi
    if [ -n "$problem" ]; then
        failed=$((failed + 1))
        echo "FAIL $name: $problem"
        sed 's/^/  | /' <<<"$out"
    else
        passed=$((passed + 1))
        echo "ok   $name"
    fi
done
echo "valgrind_run: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
