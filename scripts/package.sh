#!/usr/bin/env bash
# Builds the Debian package dla_<version>_<arch>.deb in build/ (or $DLA_BUILD_DIR) and checks it
# with lintian (no errors or warnings). --install then installs it with apt-get, which brings in
# the run-time dependencies the package declares.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${DLA_BUILD_DIR:-$root/build}
DLA_BUILD_DIR=$build bash "$root/scripts/build.sh"
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build"/dla_*.deb | head -n 1)
lintian --fail-on error,warning "$deb" 2> >(grep -v 'running with root privileges' >&2)
echo "package: $deb"
if [[ "${1:-}" == --install ]]; then
    sudo_cmd=()
    if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "$deb" >/dev/null
    echo "installed: $(dpkg-query -W -f='${Package} ${Version}' dla)"
fi
