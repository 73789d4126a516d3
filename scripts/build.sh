#!/usr/bin/env bash
# Builds both targets: build/windows (mingw-w64: gatewise.exe and the Windows
# tests) and build/native (the portable layers and their tests).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)

cmake -S "$root" -B "$root/build/windows" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$root/build/windows" -j "$jobs"

cmake -S "$root" -B "$root/build/native" -DGATEWISE_WINDOWS_BUILD_DIR="$root/build/windows" >/dev/null
cmake --build "$root/build/native" -j "$jobs"
