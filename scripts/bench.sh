#!/usr/bin/env bash
# Builds the Release benchmark suite, runs it and prints one table of the figures that
# matter (scripts/bench_table.py). With --readme the table, and the machine it was
# measured on, also replace the section of docs/development.md between <!-- bench:start --> and
# <!-- bench:end -->.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${BENCH_BUILD_DIR:-build-qa-bench}
jobs=${JOBS:-$(nproc)}
update_readme=0
[ "${1:-}" = "--readme" ] && update_readme=1

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVIX_BUILD_GUI=OFF \
    -DQUORVIX_WERROR=ON >/dev/null
cmake --build "$build_dir" -j "$jobs" --target quorvix_bench

results="$build_dir/bench.json"
# Three repetitions in random order, read by their median: a figure and its floor then
# meet the same moments of a busy machine.
"$build_dir/bench/quorvix_bench" --benchmark_out="$results" --benchmark_out_format=json \
    --benchmark_min_time=0.5 --benchmark_repetitions=3 --benchmark_enable_random_interleaving=true \
    --benchmark_report_aggregates_only=true

echo
args=("$results")
[ "$update_readme" -eq 1 ] && args+=(--readme docs/development.md)
python3 scripts/bench_table.py "${args[@]}"
