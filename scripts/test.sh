#!/usr/bin/env bash
# The test command: installs what is missing, configures, builds everything and runs every test
# through CTest. DLA_WERROR=ON turns warnings into errors; DLA_SKIP_LONG=1 leaves out the tests
# whose names contain "Long" (whole large runs and large statistical samples).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${DLA_BUILD_DIR:-$root/build}
DLA_BUILD_DIR=$build bash "$root/scripts/build.sh" -DDLA_WARNINGS_AS_ERRORS="${DLA_WERROR:-OFF}"
exclude=()
if [[ "${DLA_SKIP_LONG:-0}" == 1 ]]; then exclude=(-E Long); fi
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "${exclude[@]}"
