#!/usr/bin/env bash
# Installs what is missing, builds, and starts gatewise.exe under Wine. With no
# display it runs on a virtual one: waits for the main window, saves a
# screenshot of the screen to build/screenshot.png and of the main window to
# build/screenshot-main-window.png, and ends the program.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

"$root/scripts/install-deps.sh" || echo "run: installing the packages failed; trying with what is there" >&2
"$root/scripts/build.sh" || { echo "run: the build failed" >&2; exit 1; }

export GATEWISE_WINEPREFIX=${GATEWISE_WINEPREFIX:-$root/build/wineprefix-run}
source "$root/scripts/wine-env.sh"
source "$root/scripts/gatewise-session.sh"
program="$root/build/windows/gatewise.exe"

if [ -n "${DISPLAY:-}" ]; then
  gatewise_prepare_prefix
  exec wine "$program"
fi

gatewise_start_display
trap 'wineserver -k 2>/dev/null; gatewise_stop_display' EXIT
gatewise_prepare_prefix virtual

wine "$program" >/dev/null 2>&1 &
program_pid=$!
window=$(gatewise_wait_window Gatewise 90)
if [ -z "$window" ]; then
  echo "run: the main window did not appear" >&2
  exit 0
fi
sleep 2
import -window root "$root/build/screenshot.png" && echo "run: screenshot saved to build/screenshot.png"
import -window "$window" "$root/build/screenshot-main-window.png" &&
  echo "run: the main window alone saved to build/screenshot-main-window.png"

# Exit through the program's own shortcut (Alt+X), then make sure it is gone.
timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null
xdotool key alt+x 2>/dev/null
for _ in $(seq 1 50); do
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.2
done
if kill -0 "$program_pid" 2>/dev/null; then
  echo "run: gatewise.exe did not exit by itself; stopping it"
  kill "$program_pid" 2>/dev/null
fi
wait "$program_pid" 2>/dev/null
echo "run: gatewise.exe ended with code $?"
exit 0
