#!/usr/bin/env bash
# The real program on a virtual X display: start it, click "Executar" (N = 200), wait for the
# run to end, ask for the fractal dimension, then start an N = 1000 run and close the window
# during it. Screenshots go to SCREENSHOT_DIR: start.png, after_run.png, estimate.png.
# Usage: xvfb_end_to_end.sh DLA_PROGRAM SCREENSHOT_DIR [CLOSE_HELPER]
set -euo pipefail

if [[ -z "${DLA_XVFB_INNER:-}" ]]; then
    exec env DLA_XVFB_INNER=1 xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24" \
        bash "$0" "$@"
fi

program=$1
shots=$2
close_helper=${3:-}
mkdir -p "$shots"
rm -f "$shots"/*.png

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Places in the window, in pixels (twips / 15).
canvas_area="398x398+135+18"  # Tela's drawing area inside its 2-pixel border
executar="61 119"
dimensao="64 167"
entry="60 53"

# CPU ticks the program has used so far.
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# Waits until the program has used no CPU for a second: its run is over and it waits for events.
wait_idle() {
    local pid=$1 last now quiet=0 tries=0
    last=$(ticks "$pid")
    while ((quiet < 5)); do
        sleep 0.2
        now=$(ticks "$pid")
        if [[ $now == "$last" ]]; then quiet=$((quiet + 1)); else quiet=0; fi
        last=$now
        tries=$((tries + 1))
        ((tries < 600)) || fail "the program never became idle"
    done
}

# Waits until the program uses CPU (a run has started).
wait_busy() {
    local pid=$1 last now tries=0
    last=$(ticks "$pid")
    while true; do
        sleep 0.1
        now=$(ticks "$pid")
        [[ $now != "$last" ]] && return 0
        tries=$((tries + 1))
        ((tries < 300)) || fail "the program never started working"
    done
}

# Takes a screenshot of the window once the program is idle and its picture no longer changes.
settled_screenshot() {
    local file=$1 tries
    wait_idle "$pid"
    import -window "$wid" "$file"
    for tries in $(seq 20); do
        wait_idle "$pid"
        import -window "$wid" "$file.again.png"
        if [[ $(compare -metric AE "$file" "$file.again.png" null: 2>&1) == 0 ]]; then
            rm -f "$file.again.png"
            return 0
        fi
        mv "$file.again.png" "$file"
    done
    fail "the picture kept changing"
}

# "count #RRGGBB" lines for the colours of an area of a picture.
histogram() {
    convert "$1" -crop "$2" +repage -depth 8 -format %c histogram:info:- |
        sed -E 's/^ *([0-9]+):.*(#[0-9A-Fa-f]{6}).*/\1 \2/'
}
count_of() { awk -v c="$2" 'toupper($2) == c { n += $1 } END { print n + 0 }' <<<"$1"; }
pixel() { convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:; }

"$program" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^DLA \(Quirandel\)  28 de abril de 2003$' | head -n 1)
[[ -n $wid ]] || fail "no window with the caption"
xdotool windowfocus --sync "$wid"

# The window at start.
settled_screenshot "$shots/start.png"
size=$(identify -format '%wx%h' "$shots/start.png")
[[ $size == 542x424 ]] || fail "window is $size, not 542x424"
start=$(histogram "$shots/start.png" "$canvas_area")
[[ $(wc -l <<<"$start") -eq 1 ]] || fail "the canvas is not blank at start: $start"
[[ $(count_of "$start" "#000000") -eq 0 ]] || fail "the canvas is black before any run"

# An N = 200 run.
xdotool mousemove --window "$wid" $executar click 1
wait_busy "$pid"
settled_screenshot "$shots/after_run.png"
after=$(histogram "$shots/after_run.png" "$canvas_area")
echo "canvas after the run:"
echo "$after"
[[ $(wc -l <<<"$after") -eq 3 ]] || fail "the canvas holds other colours than black, green and light green"
black=$(count_of "$after" "#000000")
green=$(count_of "$after" "#008000")
light=$(count_of "$after" "#00FF00")
((black > 398 * 398 / 2)) || fail "the background is not black"
((green == 4)) || fail "the seed is not one 2 x 2 green disc ($green pixels)"
((light > 1000)) || fail "too few light-green particles ($light pixels)"
[[ $(pixel "$shots/after_run.png" $((135 + 198)) $((18 + 198))) == 0,128,0 ]] ||
    fail "the seed is not at the centre"

# The estimate's message box.
xdotool mousemove --window "$wid" $dimensao click 1
box=$(timeout 60 xdotool search --sync --onlyvisible --name '^DLA$' | head -n 1)
[[ -n $box ]] || fail "no message box"
wait_idle "$pid"
import -window root "$shots/estimate.png"
xdotool windowfocus --sync "$box" key Return
for _ in $(seq 100); do
    xdotool search --onlyvisible --name '^DLA$' >/dev/null || break
    sleep 0.1
done
! xdotool search --onlyvisible --name '^DLA$' >/dev/null || fail "the message box did not close"

# Typing passes the key filter ("x" is dropped), then an N = 1000 run is closed while it runs.
if [[ -n $close_helper ]]; then
    xdotool windowfocus --sync "$wid"
    xdotool mousemove --window "$wid" $entry click 1
    xdotool key ctrl+a BackSpace
    xdotool type 1x000
    xdotool mousemove --window "$wid" $executar click 1
    wait_busy "$pid"
    sleep 1
    kill -0 "$pid" 2>/dev/null || fail "the program ended by itself"
    "$close_helper" "$wid"
    timeout 10 tail --pid="$pid" -f /dev/null || fail "the program did not end within 10 s of the close"
    code=0
    wait "$pid" || code=$?
    trap - EXIT
    ((code == 0)) || fail "the program ended with code $code"
fi
echo "PASS: xvfb end-to-end (screenshots in $shots)"
