#!/usr/bin/env bash
# The window program's command line without any display: --help and --version print
# their text and end with status 0, a usage error ends with status 2 and one message on
# standard error; none of them may need a display (status 134 was an abort).
# Usage: command_line_test.sh <quorvix>.
set -uo pipefail
quorvix=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# Runs the program with no display of any kind; sets status, out and err.
run() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$quorvix" "$@" >"$work/out" 2>"$work/err"
    status=$?
    out=$(cat "$work/out")
    err=$(cat "$work/err")
}

expect() {
    local what=$1 wanted_status=$2 wanted_text=$3 text=$4
    if [ "$status" -ne "$wanted_status" ] || [[ "$text" != *"$wanted_text"* ]]; then
        echo "FAILED: $what: status $status (wanted $wanted_status), output: $out, errors: $err"
        failures=$((failures + 1))
    fi
}

run --help
expect "--help" 0 "--variant <name>" "$out"
[[ "$out" == *"Usage: $quorvix [options] [ROM]"* ]] || { echo "FAILED: usage line: $out"; failures=$((failures + 1)); }
run --version
expect "--version" 0 "Quorvix 1.0" "$out"
run -platform offscreen --version
expect "Qt's option before --version" 0 "Quorvix 1.0" "$out"
run --bogus game.ch8
expect "an unknown option" 2 "quorvix: Unknown option 'bogus'." "$err"
[ "$(wc -l <"$work/err")" -eq 2 ] || { echo "FAILED: the usage error is not the message and the hint: $err"; failures=$((failures + 1)); }
run --variant xochip --speed 0 game.ch8
expect "a bad speed" 2 "--speed expects a whole number from 1 to 100000, got \"0\"" "$err"

exit $((failures > 0))
