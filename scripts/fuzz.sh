#!/usr/bin/env bash
# Builds the libFuzzer programs with clang (address and undefined-behaviour sanitizers)
# and runs each for FUZZ_SECONDS (60 by default), FUZZ_PARALLEL at a time (the number of
# cores by default). Exits non-zero when any of them finds a crash, a sanitizer report,
# a broken rule or an input that runs longer than FUZZ_INPUT_TIMEOUT seconds; the
# offending input is left in <build folder>/artifacts/<target>/. Once the fault is fixed,
# copy that input into tests/fuzz_regressions/<target>/ so the test suite replays it.
#
# Each fuzzer starts from the checked-in corpus (fuzz/corpus/<target>/), the seeds the
# seed writer builds, the external test ROMs when ../shared/roms exists, the kept
# regression inputs, and what earlier runs in the build folder found. To fold a long
# run's findings into the checked-in corpus, keeping only inputs that add coverage:
#     build-qa-fuzz/fuzz/fuzz_<target> -merge=1 -max_len=<length> <new folder> \
#         fuzz/corpus/<target> build-qa-fuzz/corpus/<target>
# and replace fuzz/corpus/<target> with the new folder.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${FUZZ_BUILD_DIR:-build-qa-fuzz}
seconds=${FUZZ_SECONDS:-60}
parallel=${FUZZ_PARALLEL:-$(nproc)}
input_timeout=${FUZZ_INPUT_TIMEOUT:-10}
jobs=${JOBS:-$(nproc)}

# Target and the longest input that means something to it: the control bytes, then a
# full memory image (CHIP-8: 3584 bytes from 512), or a file a little past what fits;
# for the runner's arguments and ROM paths, a little past the longest that means
# anything; for save states, the registers and settings and the start of the screen
# (the target completes a shorter file).
targets=(
    "chip8_interpreter 3590"
    "chip16_executor 65542"
    "chip8_loader 4096"
    "chip16_loader 65616"
    "runner_press 64"
    "runner_poke 64"
    "runner_limits 64"
    "rom_machine 256"
    "save_state 1024"
)

# The standard library's own checks (std::array and std::vector indices, among others)
# catch an index that stays inside the machine record, which the address sanitizer cannot
# tell from a good one.
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUORVIX_FUZZ=ON -DQUORVIX_SANITIZE=address,undefined -DQUORVIX_BUILD_GUI=OFF \
    -DQUORVIX_WERROR=ON -DCMAKE_CXX_FLAGS=-D_GLIBCXX_ASSERTIONS >/dev/null
names=()
for entry in "${targets[@]}"; do
    names+=("fuzz_${entry%% *}")
done
cmake --build "$build_dir" -j "$jobs" --target quorvix-fuzz-seeds "${names[@]}"

rm -rf "$build_dir/seeds" "$build_dir/logs"
mkdir -p "$build_dir/seeds" "$build_dir/logs"
roms=()
if [ -d ../shared/roms ]; then
    mapfile -t roms < <(find ../shared/roms -type f \
        \( -iname '*.ch8' -o -iname '*.c8' -o -iname '*.sc8' -o -iname '*.c16' \) | sort)
fi
"$build_dir/fuzz/quorvix-fuzz-seeds" "$build_dir/seeds" "${roms[@]}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

run_fuzzer() {
    local name=$1 max_len=$2
    local corpus="$build_dir/corpus/$name" artifacts="$build_dir/artifacts/$name"
    mkdir -p "$corpus" "$artifacts" "tests/fuzz_regressions/$name"
    local result=0
    "$build_dir/fuzz/fuzz_$name" -max_total_time="$seconds" -max_len="$max_len" \
        -timeout="$input_timeout" -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" \
        "$corpus" "fuzz/corpus/$name" "$build_dir/seeds/$name" "tests/fuzz_regressions/$name" \
        >"$build_dir/logs/$name.log" 2>&1 || result=$?
    echo "$result" >"$build_dir/logs/$name.status"
}

status=0
for entry in "${targets[@]}"; do
    read -r name max_len <<<"$entry"
    echo "fuzz: $name for ${seconds} s"
    run_fuzzer "$name" "$max_len" &
    while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do
        wait -n || true
    done
done
wait

for entry in "${targets[@]}"; do
    name=${entry%% *}
    log="$build_dir/logs/$name.log"
    if [ "$(cat "$build_dir/logs/$name.status" 2>/dev/null)" = 0 ]; then
        runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
        coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 || true)
        echo "fuzz: $name clean: $runs inputs, $coverage, corpus $(ls "$build_dir/corpus/$name" | wc -l)"
    else
        status=1
        echo "fuzz: $name FOUND A FAULT; log $log, inputs in $build_dir/artifacts/$name/:"
        ls "$build_dir/artifacts/$name/"
        grep -E -A30 'ERROR|runtime error|broken:|deadly signal|timeout' "$log" | head -60
    fi
done
exit "$status"
