#!/usr/bin/env bash
# Installs the Debian packages of scripts/packages.txt that are missing: `setup.sh run` those of
# its first layer (the window and dla-cli), `setup.sh` all of them. Needs root (or sudo) only
# when something is missing; a machine that has everything is left untouched.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
layer=${1:-all}
if [[ "$layer" != run && "$layer" != all ]]; then
    echo "setup: the layer is 'run' or 'all', not '$layer'" >&2
    exit 2
fi

missing=()
while read -r pkg; do
    if [[ "$layer" == run && "$pkg" == "# layer: test" ]]; then break; fi
    [[ -z "$pkg" || "$pkg" == \#* ]] && continue
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$pkg")
    fi
done < "$here/packages.txt"

if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}" >&2
    sudo_cmd=()
    if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
