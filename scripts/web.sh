#!/usr/bin/env bash
# Builds the page with emscripten (installing what is missing), copies it to web/dist, the folder
# a lecturer copies to a course site as it is, and serves it on http://127.0.0.1:8000 (PORT
# changes the port; --no-serve only builds). The page also opens straight from the folder
# (web/dist/index.html): it needs no server and sends nothing over the network.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The page the test command built (build/web) serves as it is when no source it is made from is
# newer; else the page is built here on its own.
tested=${DLA_BUILD_DIR:-$root/build}/web
sources=("$root/web" "$root/engine" "$root/ui/common" "$root/formats"/picture.*
         "$root/formats"/byte_count.* "$root/batch"/seed.*)
if [[ -f "$tested/dist/dla.js" ]] &&
    [[ -z "$(find "${sources[@]}" -type f -newer "$tested/dist/dla.js" -not -path "$root/web/dist/*" -print -quit)" ]]; then
    build=$tested
    echo "web: the test build's page is up to date; taking it"
else
    bash "$root/scripts/setup.sh"
    build=${DLA_WEB_BUILD_DIR:-$root/build-web}
    export NODE_PATH=/usr/share/nodejs
    emcmake cmake -S "$root/web" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" -j "$(nproc)"
fi
rm -rf "$root/web/dist"
cp -r "$build/dist" "$root/web/dist"
echo "web: the page is in $root/web/dist ($(du -sh "$root/web/dist" | cut -f1))"
if [[ "${1:-}" == --no-serve ]]; then exit 0; fi
port=${PORT:-8000}
echo "web: serving it on http://127.0.0.1:$port/ (Ctrl-C stops)"
exec /usr/bin/python3 -m http.server --bind 127.0.0.1 --directory "$root/web/dist" "$port"
