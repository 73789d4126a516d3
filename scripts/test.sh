#!/usr/bin/env bash
# Installs what is missing, builds both targets and runs every test: the native
# tests on the simulated machine and the Windows tests under Wine, in one CTest run.
# GATEWISE_BUILD_TYPE chooses another build type, as for scripts/build.sh.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/build-dirs.sh"

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"

rm -rf "$root/build/wineprefix"
source "$root/scripts/wine-env.sh"
gatewise_wine_init

cd "$native_build"
ctest --output-on-failure -j "$(nproc)" --timeout 900
