#!/usr/bin/env bash
# The real program under a virtual X server: started on a ROM, its window must show
# exactly the frame that quorvix-run's display produced for that ROM, at scale 2.
# Usage: end_to_end_test.sh <quorvix> <quorvix-run>. Exit 77 = skipped.
set -euo pipefail
quorvix=$1
runner=$2
for tool in Xvfb xwininfo import compare convert; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT

# A still SCHIP picture: three 16 x 16 balls (one clipped at the corner), a big 7, then
# a jump to itself.
ball='\x07\xE0\x1F\xF8\x3F\xFC\x7F\xFE\x7F\xFE\xFF\xFF\xFF\xFF\xFF\xFF'
ball+='\xFF\xFF\xFF\xFF\x7F\xFE\x7F\xFE\x3F\xFC\x1F\xF8\x07\xE0\x00\x00'
printf '\x00\xFF\x00\xE0\x60\x03\x61\x02\xA2\x24\xD0\x10\x60\x64\x61\x28\xD0\x10' >"$work/still.ch8"
printf '\x60\x78\x61\x38\xD0\x10\x62\x07\xF2\x30\x60\x28\x61\x14\xD0\x1A\x12\x22' >>"$work/still.ch8"
printf "$ball" >>"$work/still.ch8"

"$runner" --frames 60 --screenshot "$work/frame.png" "$work/still.ch8" >/dev/null
convert "$work/frame.png" -filter point -resize 200% "$work/expected.png"

Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
# A thread-sanitized build checks the program's own code, not Qt's, as the GUI tests do:
# Qt and glib hand memory between their threads in ways the sanitizer cannot see.
printf '%s\n' called_from_lib:libQt6Core.so.6 called_from_lib:libQt6Gui.so.6 \
    called_from_lib:libQt6Widgets.so.6 called_from_lib:libglib-2.0.so.0 >"$work/tsan.supp"
TSAN_OPTIONS="suppressions=$work/tsan.supp ${TSAN_OPTIONS:-}" "$quorvix" "$work/still.ch8" >/dev/null 2>&1 &
pids+=($!)

# Qt names a 1 x 1 helper window after the program too: take the widest "Quorvix".
differing=unknown
for _ in $(seq 120); do
    sleep 0.25
    read -r width height x y < <(xwininfo -root -tree |
        sed -nE 's/.*"Quorvix": .* ([0-9]+)x([0-9]+)\+-?[0-9]+\+-?[0-9]+ +\+(-?[0-9]+)\+(-?[0-9]+).*/\1 \2 \3 \4/p' |
        sort -n -r | head -n1) || continue
    [ "${width:-0}" -eq 1024 ] && [ "$height" -ge 512 ] || continue
    # The client area is the bottom 1024 x 512 of the window, below the menu bar.
    import -window root -crop "1024x512+$x+$((y + height - 512))" +repage "$work/client.png" || continue
    differing=$(compare -metric AE "$work/client.png" "$work/expected.png" null: 2>&1 || true)
    [ "$differing" = 0 ] && break
done
echo "pixels of the window that differ from the display's frame: $differing"
[ "$differing" = 0 ]
