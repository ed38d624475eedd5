#!/usr/bin/env bash
# The real program on a virtual X server that goes away while a ROM runs, with frames
# put into the window directly and through Qt's painting: the program must stop its
# machine and end with the toolkit's status 1 and its one line on standard error, as it
# does without a ROM, not abort (status 134).
# Usage: display_lost_test.sh <quorvix> <CHIP-8 ROM> <Chip-16 ROM>. Exit 77 = skipped.
set -uo pipefail
quorvix=$1
command -v Xvfb >/dev/null || { echo "SKIPPED: Xvfb is not installed"; exit 77; }
work=$(mktemp -d)
chmod 700 "$work"
server=
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$work"' EXIT
# Under the sanitizers (as in the GUI tests) only the program's own code is checked, and
# no leaks are looked for: the toolkit's exit() ends the process with the window and
# its own objects alive, by design.
printf '%s\n' called_from_lib:libQt6Core.so.6 called_from_lib:libQt6Gui.so.6 \
    called_from_lib:libQt6Widgets.so.6 called_from_lib:libQt6XcbQpa.so.6 mutex:libxcb.so.1 \
    deadlock:libxcb.so.1 called_from_lib:libglib-2.0.so.0 >"$work/tsan.supp"
failures=0

# Usage: lose_display <painting: 0 direct, 1 Qt's> <ROM or nothing>
lose_display() {
    local painting=$1 rom=${2:-}
    rm -f "$work/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
    server=$!
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    DISPLAY=":$(head -n1 "$work/display")" XDG_RUNTIME_DIR="$work" QUORVIX_QT_PAINTING=$painting \
        TSAN_OPTIONS="suppressions=$work/tsan.supp ${TSAN_OPTIONS:-}" \
        ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
        "$quorvix" ${rom:+"$rom"} >/dev/null 2>"$work/err" &
    local program=$!
    sleep 3 # the window shows and the machine runs
    kill "$server"
    wait "$server" 2>/dev/null
    server=
    for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$program" 2>/dev/null; then
        echo "FAILED: still running 10 s after the X server went (painting $painting, ${rom:-no ROM})"
        kill -9 "$program"
        failures=$((failures + 1))
        return
    fi
    wait "$program"
    local status=$?
    local lines
    lines=$(wc -l <"$work/err")
    if [ "$status" -ne 1 ] || [ "$lines" -ne 1 ] || ! grep -q "X11 connection broke" "$work/err"; then
        echo "FAILED: painting $painting, ${rom:-no ROM}: status $status (wanted 1), standard error:"
        cat "$work/err"
        failures=$((failures + 1))
    fi
}

lose_display 0
lose_display 0 "$2"
lose_display 1 "$2"
lose_display 0 "$3"
lose_display 1 "$3"
exit $((failures > 0))
