#!/usr/bin/env bash
# Retakes the README's picture of the options, docs/options.png, from the
# built gatewise.exe under Wine on a virtual display (run scripts/build.sh
# first), and saves the About box and the auto-logon account dialog as
# build/screenshot-about.png and build/screenshot-autologon.png to look at.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
program="$root/build/windows/gatewise.exe"
[ -x "$program" ] || { echo "screenshots: build gatewise.exe first (scripts/build.sh)" >&2; exit 1; }

export GATEWISE_WINEPREFIX=$(mktemp -d /tmp/gatewise-screenshots.XXXXXX)
source "$root/scripts/wine-env.sh"
source "$root/scripts/gatewise-session.sh"
gatewise_start_display
trap 'wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; gatewise_stop_display; rm -rf "$GATEWISE_WINEPREFIX"' EXIT
gatewise_prepare_prefix virtual
press() { timeout 10 xdotool windowfocus --sync "$1" 2>/dev/null; xdotool "${@:2}"; }

# Shows the dialog that `keys` open from the main window, saves it as `file`
# and closes it with Escape.
shoot() {
  local title=$1 file=$2 dialog
  press "$window" key "${@:3}"
  dialog=$(gatewise_wait_window "$title" 30)
  [ -n "$dialog" ] || { echo "screenshots: '$title' did not open" >&2; exit 1; }
  sleep 1
  import -window "$dialog" "$file" && echo "screenshots: $file"
  press "$dialog" key Escape
  sleep 1
}

wine "$program" >/dev/null 2>&1 &
window=$(gatewise_wait_window Gatewise 90)
[ -n "$window" ] || { echo "screenshots: the main window did not appear" >&2; exit 1; }
sleep 2
shoot 'Gatewise Options' "$root/docs/options.png" alt+c o
shoot 'About Gatewise' "$root/build/screenshot-about.png" alt+h a
shoot 'Set auto-logon user name and password' "$root/build/screenshot-autologon.png" alt+c a
press "$window" key alt+x
