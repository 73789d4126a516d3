#!/usr/bin/env bash
# End to end: gatewise.exe under Wine driven by keys alone, as a keyboard user
# would. Enter on the Options button, focused at start-up, opens the options;
# after Esc the focus is back on the button. Alt+H opens the Help menu (the
# Help button has no access key), A chooses About; Tab reaches the About
# box's web link. Focus is read from the accessibility tree (window_probe.exe).
#
#   keyboard.sh BUILD_DIR    (gatewise.exe and the probes of tests/e2e)
set -uo pipefail
build=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/e2e-session.sh"
e2e_begin keyboard
gatewise_start_display
gatewise_prepare_prefix virtual

press() { timeout 10 xdotool windowfocus --sync "$1" 2>/dev/null; xdotool "${@:2}"; }
# The accessibility tree of the window titled $1 holds a line matching $2.
expect_tree() {
  for _ in $(seq 1 10); do
    wine "$build/tests/e2e/window_probe.exe" "$1" accessibility 2>/dev/null | tr -d '\r' >"$work/tree.txt"
    grep -Eq -- "$2" "$work/tree.txt" && return 0
    sleep 0.5
  done
  fail "$3 (the tree of '$1': $(cat "$work/tree.txt"))"
}

wine "$build/gatewise.exe" >"$work/program.log" 2>&1 &
window=$(gatewise_wait_window Gatewise 60)
[ -n "$window" ] || fail "the main window did not appear"
sleep 1

press "$window" key Return
options=$(gatewise_wait_window 'Gatewise Options' 20)
[ -n "$options" ] || fail "Enter on the focused Options button opened no options"
press "$options" key Escape
sleep 1
expect_tree Gatewise '^ +client "Options\.\.\." focused$' "the focus did not come back to the Options button"

press "$window" key alt+h
sleep 0.5
xdotool key a
about=$(gatewise_wait_window 'About Gatewise' 20)
[ -n "$about" ] || fail "Alt+H, A opened no About box"
press "$about" key Tab
expect_tree 'About Gatewise' '^ +link "https://www\.vantrel\.com/gatewise/".*focused' "Tab did not reach the web link"
press "$about" key Escape
for _ in $(seq 1 20); do
  xdotool search --onlyvisible --name '^About Gatewise$' >/dev/null 2>&1 || break
  sleep 0.5
done
xdotool search --onlyvisible --name '^About Gatewise$' >/dev/null 2>&1 && fail "Esc did not close the About box"
echo "e2e.keyboard: passed"
