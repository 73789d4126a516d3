#!/usr/bin/env bash
# Start-up benchmark: gatewise.exe against a bare Win32 window (one window
# titled "Gatewise", a menu, three buttons; tests/bench/startup), built and
# stripped alike, and against the same window with gatewise.exe's visual
# styles and DPI awareness. The programs start in turn RUNS times (15 by
# default, after one round of warm-up) under one Wine prefix on one virtual
# display. Prints the medians, each with its minimum and maximum, of the time
# from process start to the visible window and to the first wait for input,
# the working set and private bytes once the window shows; the ratios of the
# medians to the bare window and to the styled one; and the size of the
# stripped gatewise.exe with and without its images. The machine's other
# work shows in the spread: compare runs by their medians, and repeat a run
# whose minimum and maximum lie far apart.
#
#   bench.sh [RUNS [PROGRAM...]]   further programs (another build of
#                                  gatewise.exe, say) run in the same rounds
# Builds the project's default type unless GATEWISE_BUILD_TYPE names another.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/build-dirs.sh"
runs=${1:-15}
others=("${@:2}")

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$windows_build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" $build_type_option >/dev/null
cmake --build "$windows_build" -j "$(nproc)" --target gatewise bare_window bare_window_styled startup_probe >/dev/null

export GATEWISE_WINEPREFIX=$build_root/wineprefix-bench
source "$root/scripts/wine-env.sh"
source "$root/scripts/gatewise-session.sh"
gatewise_start_display
trap 'wineserver -k 2>/dev/null; gatewise_stop_display' EXIT
gatewise_prepare_prefix virtual

programs=()
for program in "$windows_build/tests/bench/bare_window.exe" "$windows_build/tests/bench/bare_window_styled.exe" \
  "$windows_build/gatewise.exe" "${others[@]}"; do
  programs+=("$(winepath -w "$program")")
done

echo "Start-up of gatewise.exe (${build_type:-default} build), $runs starts each:"
wine "$windows_build/tests/bench/startup_probe.exe" --yardsticks 2 "$runs" "${programs[@]}" | tr -d '\r'
echo
echo "Size of the stripped program:"
wine "$windows_build/tests/bench/startup_probe.exe" --size "${programs[2]}" | tr -d '\r'
