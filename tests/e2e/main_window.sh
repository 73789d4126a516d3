#!/usr/bin/env bash
# End to end: gatewise.exe under Wine on a virtual display. The main window
# titled "Gatewise" opens without an error report, shows its menu (read with
# window_probe.exe) and draws something; Exit from the Commands menu and the
# close box (Alt+F4) each end the program with exit code 0.
#
#   main_window.sh GATEWISE_EXE WINDOW_PROBE_EXE
set -uo pipefail
program=$1
probe=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)

source "$here/e2e-session.sh"
e2e_begin main_window

gatewise_start_display
gatewise_prepare_prefix virtual

# Starts the program and prints its main window's X id.
start_program() {
  wine "$program" >"$work/program.log" 2>&1 &
  program_pid=$!
  window=$(gatewise_wait_window Gatewise 60)
  [ -n "$window" ] || fail "the main window did not appear"
}

# Waits for the program to end; fails unless it ends with code 0.
expect_exit() {
  local what=$1
  for _ in $(seq 1 100); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.2
  done
  kill -0 "$program_pid" 2>/dev/null && fail "$what did not end the program"
  wait "$program_pid"
  local code=$?
  [ "$code" -eq 0 ] || fail "$what ended the program with code $code"
}

start_program
sleep 1
if xdotool search --name '^Application Error$' >/dev/null 2>&1; then
  fail "an error was reported at start-up"
fi

mkdir -p "$root/build/e2e"
import -window root "$root/build/e2e/main_window.png" || fail "no screenshot"
colours=$(convert "$root/build/e2e/main_window.png" -format '%k' info:)
[ "$colours" -gt 50 ] || fail "the screenshot shows almost nothing ($colours colours)"

wine "$probe" Gatewise menu 2>"$work/probe.log" | tr -d '\r' >"$work/menu.txt"
[ "${PIPESTATUS[0]}" -eq 0 ] || fail "the menu could not be read: $(cat "$work/probe.log")"
diff -u "$here/main_menu.txt" "$work/menu.txt" || fail "the menu differs from the expected one"

# Exit from the Commands menu: Alt+C opens it, x chooses E&xit.
timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null
xdotool key alt+c
sleep 0.5
xdotool key x
expect_exit "Commands > Exit"

# The close box (Alt+F4 sends the same close command).
start_program
sleep 1
timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null
xdotool key alt+F4
expect_exit "the close box"
echo "e2e.main_window: passed"
