#!/usr/bin/env bash
# Builds both targets: build/windows (mingw-w64: gatewise.exe and the Windows
# tests) and build/native (the portable layers and their tests). With
# GATEWISE_BUILD_TYPE set (Debug, Release, RelWithDebInfo), builds that type
# into build/<type>/windows and build/<type>/native instead.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/build-dirs.sh"
jobs=$(nproc)

cmake -S "$root" -B "$windows_build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" $build_type_option >/dev/null
cmake --build "$windows_build" -j "$jobs"

cmake -S "$root" -B "$native_build" -DGATEWISE_WINDOWS_BUILD_DIR="$windows_build" $build_type_option >/dev/null
cmake --build "$native_build" -j "$jobs"
