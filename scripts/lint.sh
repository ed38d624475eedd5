#!/usr/bin/env bash
# Static analysis: the layer check of every include (scripts/check_layers.py), then on the
# core clang-tidy with the checked-in .clang-tidy and cppcheck with
# scripts/cppcheck-suppressions.txt. Exits non-zero on any finding of any of them.
#
# The core is workers/, machine/, chip8/, chip16/, display/, sound/, app/ without app/gui and platform/
# without platform/qt; its compile commands come from a configure-only build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${LINT_BUILD_DIR:-build-qa-lint}
jobs=${JOBS:-$(nproc)}

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVIX_BUILD_GUI=OFF \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null

mapfile -t sources < <(
    git ls-files --cached --others --exclude-standard 'workers/*.cpp' 'machine/*.cpp' 'chip8/*.cpp' 'chip16/*.cpp' 'display/*.cpp' 'sound/*.cpp' 'app/*.cpp' \
        'platform/*.cpp' | grep -v -e '^app/gui/' -e '^platform/qt/' | sort
)
echo "lint: ${#sources[@]} core sources"

status=0

echo "== layers"
python3 scripts/check_layers.py || status=1

echo "== clang-tidy"
tidy_log=$(mktemp)
trap 'rm -f "$tidy_log"' EXIT
if ! printf '%s\n' "${sources[@]}" |
    xargs -P "$jobs" -n 4 clang-tidy -p "$build_dir" --quiet >"$tidy_log" 2>&1; then
    status=1
fi
# clang-tidy prints "N warnings generated." for warnings it filtered out (system headers,
# other areas); only its diagnostics are findings.
grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' "$tidy_log" || true

echo "== cppcheck"
# The project file, cut down to the core sources.
mkdir -p "$build_dir/core" "$build_dir/cppcheck"
python3 - "$build_dir" "${sources[@]}" <<'PY'
import json, os, sys
build, wanted = sys.argv[1], {os.path.abspath(s) for s in sys.argv[2:]}
entries = json.load(open(os.path.join(build, "compile_commands.json")))
core = [e for e in entries if os.path.abspath(e["file"]) in wanted]
json.dump(core, open(os.path.join(build, "core", "compile_commands.json"), "w"), indent=1)
PY
if ! cppcheck --project="$build_dir/core/compile_commands.json" \
    --enable=warning,performance,portability --std=c++20 --inline-suppr \
    --suppressions-list=scripts/cppcheck-suppressions.txt \
    --cppcheck-build-dir="$build_dir/cppcheck" -j "$jobs" \
    --error-exitcode=1 --quiet; then
    status=1
fi

if [ "$status" -ne 0 ]; then
    echo "lint: findings above"
else
    echo "lint: clean"
fi
exit "$status"
