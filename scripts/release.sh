#!/usr/bin/env bash
# Builds the release package of Gatewise: installs what is missing, builds the
# Windows tree and writes build/windows/release/gatewise-<version>-win64.zip
# (gatewise.exe stripped, gatewise.chm, gatewise.sym, gatewisecmd.exe when the
# build has it, readme.txt) with its SHA-256 beside it (<zip>.sha256).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build/windows" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$root/build/windows" -j "$(nproc)" --target release
