#!/usr/bin/env bash
# Configures and builds the project in build/ (or $DLA_BUILD_DIR), after installing what is
# missing. Extra arguments go to CMake's configure step.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
build=${DLA_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
