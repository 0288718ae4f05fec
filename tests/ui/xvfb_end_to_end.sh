#!/usr/bin/env bash
# The real program on a virtual X display, driven from the keyboard as a user would: the window
# at start, an N = 200 run ("Executar" has the focus; space presses it), and the estimate's box
# ("Dimensão Fractal" is two tabs on). Screenshots in SCREENSHOT_DIR: start, after_run, estimate.
# Usage: xvfb_end_to_end.sh DLA_PROGRAM SCREENSHOT_DIR
set -euo pipefail
if [[ -z "${DLA_XVFB_INNER:-}" ]]; then
    exec env DLA_XVFB_INNER=1 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
mkdir -p "$2" && cd "$2" && rm -f ./*.png
fail() { echo "FAIL: $*" >&2 && exit 1; }
ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
# A screenshot of window $1 into $2.png once the program has used no CPU for a second.
idle_shot() {
    local quiet=0 tries=0 last
    last=$(ticks)
    while ((quiet < 5 && tries++ < 600)); do
        sleep 0.2
        if [[ $(ticks) == "$last" ]]; then quiet=$((quiet + 1)); else quiet=0 last=$(ticks); fi
    done
    ((quiet == 5)) || fail "the program never became idle"
    import -window "$1" "$2.png"
}
# Pixels of picture $1 in colour $2 (#RRGGBB).
count() { convert "$1.png" -depth 8 -format %c histogram:info:- | awk -v c="$2" 'toupper($0) ~ c { n += $1 } END { print n + 0 }'; }

"$1" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT
wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^DLA \(Quirandel\)  28 de abril de 2003$' | head -n 1)
idle_shot "$wid" start
# A key pressed while the fresh window still settles can be lost; an idle program has surely
# not taken it, so pressing again cannot start a second run.
for attempt in 1 2 3 4 5 6; do
    before=$(ticks)
    xdotool windowfocus --sync "$wid" key space && sleep 2
    [[ $(ticks) != "$before" ]] && break
    ((attempt < 6)) || fail "the space bar on Executar started no run"
done
idle_shot "$wid" after_run
echo "after the run: $(count after_run '#008000') green, $(count after_run '#00FF00') light green"
(($(count after_run '#008000') == 4)) || fail "the seed is not one 2 x 2 green disc"
(($(count after_run '#00FF00') > 1000)) || fail "too few particles shown"
(($(count after_run '#000000') - $(count start '#000000') > 100000)) || fail "the canvas is not black"
xdotool key Tab Tab space
box=$(timeout 20 xdotool search --sync --onlyvisible --name '^DLA$' | head -n 1) || fail "no message box"
idle_shot root estimate
xdotool windowfocus --sync "$box" key Return
timeout 10 bash -c "while xdotool search --onlyvisible --name '^DLA$'; do sleep 0.1; done" >/dev/null ||
    fail "the message box did not close"
kill -0 "$pid" || fail "the program has ended"
echo "PASS: xvfb end-to-end (screenshots in $2)"
