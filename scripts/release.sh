#!/usr/bin/env bash
# Builds the release package of Gatewise: installs what is missing, builds the
# Windows tree and writes <build>/release/gatewise-<version>-win64.zip
# (gatewise.exe stripped, gatewise.chm, gatewise.sym, gatewisecmd.exe when the
# build has it, readme.txt) with its SHA-256 beside it (<zip>.sha256).
#
#   release.sh [BUILD_DIR]     the Windows build folder; build/windows by default
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/windows}

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" -j "$(nproc)" --target release
