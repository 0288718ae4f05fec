#!/usr/bin/env bash
# The run command: installs what the window and dla-cli need, builds those two alone, and opens
# the program's window. Without a
# display (no DISPLAY or WAYLAND_DISPLAY), it says so and grows one N = 200 aggregate headless
# with dla-cli instead.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${DLA_BUILD_DIR:-$root/build}
DLA_BUILD_DIR=$build bash "$root/scripts/build.sh" run
if [[ -x "$build/app/dla" && -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    exec "$build/app/dla"
fi
if [[ -x "$build/app/dla" ]]; then
    echo "run: no display here; to see the window, run it under a virtual display:" >&2
    echo "     xvfb-run -a $build/app/dla   (or set QT_QPA_PLATFORM=offscreen)" >&2
    echo "run: growing one N = 200 aggregate headless instead:" >&2
fi
exec "$build/cli/dla-cli" --size 200 "$@"
