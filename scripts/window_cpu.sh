#!/usr/bin/env bash
# What a paced game costs in the real window: starts an X server of its own, runs the
# window program on a ROM at the default window scale (x2), lets it settle, then
# prints the process's CPU time (user + system, GUI and workers together) over a span
# of wall time as a percentage of one core, with the load average beside it.
#
#   scripts/window_cpu.sh [ROM] [RUNS]
#
# Environment: PROGRAM (default build/quorvix), DISPLAY_NUMBER (default 57),
# SETTLE_SECONDS (3), SAMPLE_SECONDS (10), SOUND=1 to run with --sound (with no sound
# card, SDL_AUDIODRIVER=dummy still calls the audio callback in real time). The first figure is utime + stime from
# /proc/PID/stat (clock ticks); the scheduler figure sums the threads' run time in ns.
set -euo pipefail

cd "$(dirname "$0")/.."
rom=${1:-../shared/roms/chip16/programs/Starfield.c16}
runs=${2:-3}
program=${PROGRAM:-build/quorvix}
display=:${DISPLAY_NUMBER:-57}
settle=${SETTLE_SECONDS:-3}
sample=${SAMPLE_SECONDS:-10}

if [[ ! -x $program ]]; then
    echo "window_cpu: $program is not built (make build)" >&2
    exit 1
fi
if [[ ! -f $rom ]]; then
    echo "window_cpu: no ROM at $rom" >&2
    exit 1
fi

Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
app=
cleanup() {
    [[ -n $app ]] && kill "$app" 2>/dev/null && wait "$app" 2>/dev/null
    kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    return 0
}
trap cleanup EXIT
for _ in $(seq 50); do
    [[ -e /tmp/.X11-unix/X${display#:} ]] && break
    sleep 0.1
done

ticks=$(getconf CLK_TCK)
# utime + stime of a process, in clock ticks (fields 14 and 15 of /proc/PID/stat,
# counted after the parenthesised command name, which may hold spaces).
cpu_ticks() {
    local stat
    stat=$(<"/proc/$1/stat")
    stat=${stat##*) }
    read -r -a fields <<<"$stat"
    echo $((fields[11] + fields[12]))
}
# The same from the scheduler's own count in nanoseconds, summed over the threads
# (first field of each /proc/PID/task/TID/schedstat): finer than clock ticks. Threads
# that end between two readings drop out of it.
run_ns() {
    local total=0 t
    for t in /proc/"$1"/task/*/schedstat; do
        read -r ns _ <"$t" && total=$((total + ns))
    done
    echo "$total"
}
now_ns() { date +%s%N; }

for run in $(seq "$runs"); do
    DISPLAY=$display QT_QPA_PLATFORM=xcb "$program" ${SOUND:+--sound} "$rom" >/dev/null 2>&1 &
    app=$!
    sleep "$settle"
    if ! kill -0 "$app" 2>/dev/null; then
        echo "window_cpu: the program ended early" >&2
        exit 1
    fi
    start_ticks=$(cpu_ticks "$app")
    start_run=$(run_ns "$app")
    start_ns=$(now_ns)
    sleep "$sample"
    end_ticks=$(cpu_ticks "$app")
    end_run=$(run_ns "$app")
    end_ns=$(now_ns)
    load=$(cut -d' ' -f1-3 /proc/loadavg)
    kill "$app" 2>/dev/null
    wait "$app" 2>/dev/null || true
    app=
    awk -v t=$((end_ticks - start_ticks)) -v hz="$ticks" -v ns=$((end_ns - start_ns)) \
        -v r=$((end_run - start_run)) -v run="$run" -v load="$load" \
        'BEGIN { printf "run %d: %.2f%% of one core over %.2f s (scheduler: %.2f%%; load average %s)\n",
                 run, 100 * t / hz / (ns / 1e9), ns / 1e9, 100 * r / ns, load }'
done
