#!/usr/bin/env bash
# A Release build (no debug information asked for) still writes a symbol file
# with procedures and source lines of the program's own code (the C runtime's
# start-up code brings lines of its own): builds the small crash child of the
# exception reporter's tests in a Release tree of its own and checks its
# symbol file.
#
#   release_symbols.sh SOURCE_DIR RELEASE_BUILD_DIR OBJDUMP
set -euo pipefail
source=$1
build=$2
objdump=$3

cmake -S "$source" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$source/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$build/CMakeCache.txt"
cmake --build "$build" --target gatewise_crash_child -j 2 >/dev/null
"$build/host/gatewise_symtool" --check "$objdump" "$build/tests/gatewise_crash_child.exe" \
                                 "$build/tests/gatewise_crash_child.sym" CrashChild.cpp
