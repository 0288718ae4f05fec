#!/usr/bin/env bash
# Builds the Debian packages dla (the window), dla-cli (the tool, no Qt) and python3-dla (the
# module) in build/ (or $DLA_BUILD_DIR) and checks each with lintian (no errors or warnings).
# --install then installs them with apt-get, which brings in the run-time dependencies they
# declare. The packages just built replace whatever the machine holds, even the same or a newer
# version built from another commit, so that what is tried afterwards is this build.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${DLA_BUILD_DIR:-$root/build}
DLA_BUILD_DIR=$build bash "$root/scripts/build.sh"
version=$(sed -n 's/^project(dla VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=()
for package in dla dla-cli python3-dla; do
    deb=$(ls "$build"/${package}_${version}_*.deb 2>/dev/null || true)
    [[ -n "$deb" ]] || continue
    lintian --fail-on error,warning "$deb" 2> >(grep -v 'running with root privileges' >&2)
    echo "package: $deb"
    debs+=("$deb")
done
if [[ "${1:-}" == --install ]]; then
    sudo_cmd=()
    if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --reinstall --allow-downgrades "${debs[@]}" >/dev/null
    echo "installed: $(dpkg-query -W -f='${Package} ${Version}  ' dla dla-cli python3-dla)"
fi
