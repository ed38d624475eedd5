#!/usr/bin/env bash
# Checks the Debian package `make package` built in BUILD_DIR (default build): its file
# list is exactly the expected one (so nothing from the build tree or the external test
# ROMs slips in), lintian finds no error, the desktop entry, the AppStream data, the
# file types and the man pages pass their validators, and the programs run from the
# package unpacked into a temporary root, with nothing but system libraries.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")
deb="$build_dir/quorvix_${version}_$(dpkg --print-architecture).deb"
app_id=io.github.quorvix.Quorvix
[ -f "$deb" ] || { echo "check-package: no $deb (run make package)"; exit 1; }

failures=0
checks=0
pass() { checks=$((checks + 1)); echo "ok: $*"; }
fail() { checks=$((checks + 1)); failures=$((failures + 1)); echo "FAILED: $*"; }
# expect_equal WHAT ACTUAL EXPECTED
expect_equal() {
    if [ "$2" = "$3" ]; then pass "$1: $2"; else fail "$1: '$2', expected '$3'"; fi
}

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

echo "== contents of $deb"
expected=$(cat <<LIST
./usr/bin/quorvix
./usr/bin/quorvix-run
./usr/share/applications/quorvix.desktop
./usr/share/doc/quorvix/README.md
./usr/share/doc/quorvix/changelog.gz
./usr/share/doc/quorvix/copyright
./usr/share/icons/hicolor/16x16/apps/quorvix.png
./usr/share/icons/hicolor/24x24/apps/quorvix.png
./usr/share/icons/hicolor/32x32/apps/quorvix.png
./usr/share/icons/hicolor/48x48/apps/quorvix.png
./usr/share/icons/hicolor/64x64/apps/quorvix.png
./usr/share/icons/hicolor/128x128/apps/quorvix.png
./usr/share/icons/hicolor/256x256/apps/quorvix.png
./usr/share/man/man1/quorvix-run.1.gz
./usr/share/man/man1/quorvix.1.gz
./usr/share/metainfo/$app_id.metainfo.xml
./usr/share/mime/packages/quorvix.xml
./usr/share/quorvix/roms/demo-xochip.ch8
./usr/share/quorvix/roms/demo.c16
./usr/share/quorvix/roms/demo.ch8
LIST
)
# Regular files only (directories end in /); owner and mode are lintian's to judge.
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
if diff <(echo "$expected" | sort) <(echo "$actual") >"$root/contents.diff"; then
    pass "the package holds exactly the $(echo "$expected" | wc -l) expected files"
else
    fail "the package's files differ from the expected list (< missing, > unexpected):"
    cat "$root/contents.diff"
fi
expect_equal "package version" "$(dpkg-deb -f "$deb" Version)" "$version"
depends=$(dpkg-deb -f "$deb" Depends)
if [[ "$depends" == *libqt6widgets6* && "$depends" == *libpng16-16* && "$depends" == *libsdl2-2.0-0* ]]; then
    pass "dependencies from dpkg-shlibdeps: $depends"
else
    fail "the package's dependencies lack the libraries the programs use: '$depends'"
fi

echo "== lintian"
# Errors fail; warnings and notes are printed for the record.
lintian_status=0
lintian --fail-on error --display-info "$deb" >"$root/lintian.log" 2>&1 || lintian_status=$?
grep -v 'running with root privileges' "$root/lintian.log" || true
if [ "$lintian_status" -eq 0 ]; then
    pass "lintian reports no error"
else
    fail "lintian reports errors (E: above) or could not run (status $lintian_status)"
fi

dpkg-deb -x "$deb" "$root"

echo "== validators"
if desktop-file-validate "$root/usr/share/applications/quorvix.desktop"; then
    pass "desktop-file-validate"
else
    fail "desktop-file-validate"
fi
if appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml"; then
    pass "appstreamcli validate --no-net"
else
    fail "appstreamcli validate --no-net"
fi
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' \
    "$root/usr/share/metainfo/$app_id.metainfo.xml")
expect_equal "AppStream release" "$release" "$version"

# The file types as the desktop sees them: the database built from the package's XML
# alone must map every extension to its type, and the desktop entry must offer exactly
# the package's types.
mime_dir="$root/usr/share/mime"
if XDG_DATA_DIRS="$root/usr/share" update-mime-database "$mime_dir" 2>"$root/mime.log" && [ ! -s "$root/mime.log" ]; then
    for glob in ch8:chip8 c8:chip8 sc8:superchip xo8:xochip c16:chip16; do
        extension=${glob%%:*}
        type="application/x-${glob#*:}-rom"
        if grep -q "^[0-9]*:$type:\*\.$extension\$" "$mime_dir/globs2"; then
            pass "*.$extension is $type"
        else
            fail "*.$extension does not map to $type"
        fi
    done
else
    fail "update-mime-database: $(cat "$root/mime.log")"
fi
offered=$(sed -n 's/^MimeType=//p' "$root/usr/share/applications/quorvix.desktop" | tr ';' '\n' |
    grep . | sort | paste -sd ' ')
defined=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$mime_dir/packages/quorvix.xml" | sort | paste -sd ' ')
expect_equal "file types the desktop entry offers" "$offered" "$defined"

for page in quorvix quorvix-run; do
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
        man --warnings -E UTF-8 -l -Tutf8 -Z "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    expect_equal "man's warnings on $page(1)" "$warnings" ""
done

echo "== the programs, run from the unpacked package"
# Qt wants a private runtime folder; the tester's own may not exist.
export XDG_RUNTIME_DIR="$root/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
for program in quorvix quorvix-run; do
    binary="$root/usr/bin/$program"
    if readelf -d "$binary" | grep -q -E 'RPATH|RUNPATH'; then
        fail "$program carries a library search path: $(readelf -d "$binary" | grep PATH)"
    elif ldd "$binary" | grep -q -e 'not found' -e "$PWD"; then
        fail "$program needs libraries outside the system: $(ldd "$binary" | grep -e 'not found' -e "$PWD")"
    else
        pass "$program needs only system libraries"
    fi
done
expect_equal "quorvix-run --version" "$("$root/usr/bin/quorvix-run" --version || true)" \
    "quorvix-run $version"
if help=$(QT_QPA_PLATFORM=offscreen "$root/usr/bin/quorvix" --help) &&
    [[ "$help" == *--variant* ]]; then
    pass "quorvix --help (offscreen)"
else
    fail "quorvix --help (offscreen) failed: $help"
fi
expect_equal "quorvix --version" \
    "$(QT_QPA_PLATFORM=offscreen "$root/usr/bin/quorvix" --version || true)" "Quorvix $version"
for rom in demo.ch8 demo-xochip.ch8 demo.c16; do
    if "$root/usr/bin/quorvix-run" --frames 30 --no-wait --screenshot "$root/$rom.png" \
        "$root/usr/share/quorvix/roms/$rom" >/dev/null && [ -s "$root/$rom.png" ]; then
        pass "quorvix-run plays the installed $rom"
    else
        fail "quorvix-run cannot play the installed $rom"
    fi
done

echo "check-package: $((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
