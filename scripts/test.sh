#!/usr/bin/env bash
# Installs what is missing, builds both targets and runs every test: the native
# tests on the simulated machine and the Windows tests under Wine, in one CTest run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"

rm -rf "$root/build/wineprefix"
source "$root/scripts/wine-env.sh"
gatewise_wine_init

cd "$root/build/native"
ctest --output-on-failure -j "$(nproc)" --timeout 900
