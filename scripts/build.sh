#!/usr/bin/env bash
# Configures and builds the project in build/ (or $DLA_BUILD_DIR), after installing what is
# missing. `build.sh run [ARGS]` installs and builds only the window and dla-cli; `build.sh
# [ARGS]` everything: the tests, benchmarks, Python module, page and packages too. Other
# arguments go to CMake's configure step.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${DLA_BUILD_DIR:-$root/build}
if [[ "${1:-}" == run ]]; then
    shift
    bash "$root/scripts/setup.sh" run
    # A build folder the test command configured keeps its parts; a new one gets only these two.
    parts=()
    if [[ ! -f "$build/CMakeCache.txt" ]]; then
        parts=(-DDLA_BUILD_TESTS=OFF -DDLA_BUILD_BENCH=OFF -DDLA_BUILD_PYTHON=OFF
               -DDLA_BUILD_WEB=OFF -DDLA_BUILD_PACKAGES=OFF)
    fi
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release "${parts[@]}" "$@" >/dev/null
    cmake --build "$build" -j "$(nproc)" --target dla dla-cli
    exit 0
fi
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DDLA_BUILD_TESTS=ON -DDLA_BUILD_BENCH=ON \
    -DDLA_BUILD_PYTHON=ON -DDLA_BUILD_WEB=ON -DDLA_BUILD_PACKAGES=ON "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
