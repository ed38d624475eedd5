#!/usr/bin/env bash
# Line and branch coverage of the core by the test suite, measured with gcov and
# reported by gcovr: a summary per file with the lines that no test reaches. Fails
# when fewer than COVERAGE_MIN_LINES percent (90 by default) of the core's lines run.
#
# The core is workers/, chip8/, chip16/, display/, app/ without app/gui and platform/
# without platform/qt. The window tests are left out of the build: they measure the Qt
# shell, which is not part of the core.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${COVERAGE_BUILD_DIR:-build-qa-cov}
jobs=${JOBS:-$(nproc)}
minimum=${COVERAGE_MIN_LINES:-90}

# Unoptimised code runs many times slower, like a sanitized build, so the tests that
# size their random-program runs for that (QUORVIX_SANITIZED) take the small size here
# too. Counters are updated atomically: the workers run the same code on several
# threads, and torn counts make gcov's data unreadable.
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVIX_BUILD_GUI=OFF \
    -DQUORVIX_WERROR=ON -DCMAKE_CXX_FLAGS="--coverage -fprofile-update=atomic -DQUORVIX_SANITIZED" \
    -DCMAKE_EXE_LINKER_FLAGS="--coverage" >/dev/null
cmake --build "$build_dir" -j "$jobs"

# Counts from an earlier run would add up with this one's.
find "$build_dir" -name '*.gcda' -delete
# A failing test still leaves its counts; the report is made and the target fails after it.
tests_status=0
(cd "$build_dir" && ctest --output-on-failure -j "$jobs" --timeout 900) || tests_status=$?

core_filters=(
    --filter '^workers/' --filter '^chip8/' --filter '^chip16/' --filter '^display/'
    --filter '^app/' --filter '^platform/'
    --exclude '^app/gui/' --exclude '^platform/qt/'
)
mkdir -p "$build_dir/coverage"
# The branches of exception paths inside the standard library's inline code and of
# branches the compiler proved unreachable are no decisions of the core.
gcovr --root . --object-directory "$build_dir" "${core_filters[@]}" \
    --exclude-throw-branches --exclude-unreachable-branches \
    --txt "$build_dir/coverage/lines.txt" \
    --html-details "$build_dir/coverage/index.html" \
    --json-summary "$build_dir/coverage/summary.json" \
    --print-summary -j "$jobs" >"$build_dir/coverage/summary.txt"
gcovr --root . --object-directory "$build_dir" "${core_filters[@]}" \
    --exclude-throw-branches --exclude-unreachable-branches --branches \
    --txt "$build_dir/coverage/branches.txt" -j "$jobs" >/dev/null

echo
echo "== Core line coverage per file (Missing: lines no test runs)"
cat "$build_dir/coverage/lines.txt"
echo
echo "== Core branch coverage per file"
grep -E '^(File|-|TOTAL|[a-z])' "$build_dir/coverage/branches.txt" | sed 's/  *[0-9,-]*$//' || true
echo
cat "$build_dir/coverage/summary.txt"
echo "HTML report: $build_dir/coverage/index.html"

if [ "$tests_status" -ne 0 ]; then
    echo "coverage: some tests failed (see above)"
fi
python3 - "$build_dir/coverage/summary.json" "$minimum" "$tests_status" <<'PY'
import json, sys
summary = json.load(open(sys.argv[1]))
lines = summary["line_percent"]
minimum = float(sys.argv[2])
if lines < minimum:
    print(f"coverage: {lines:.1f}% of the core's lines run, below the {minimum:.0f}% floor")
    sys.exit(1)
print(f"coverage: {lines:.1f}% of the core's lines, {summary['branch_percent']:.1f}% of its branches")
sys.exit(1 if sys.argv[3] != "0" else 0)
PY
