#!/usr/bin/env bash
# End to end: gatewise.exe under Wine at 96, 144 and 192 dpi (LogPixels).
# At each resolution: screenshots of the main window, of the About box and of
# the check report (build/e2e/main_window_DPI.png, about_DPI.png,
# check_report_DPI.png), the report inside the 1280x1024 screen with its
# first finding focused and named for screen readers; the tree that screen readers
# see, read inside the program by window_probe.exe, holds both mode titles
# (the active one marked), the three explanations with their links, and the
# images with their names at their scaled size; Tab moves the focus through
# the buttons in the layout's order.
#
#   screen_scale.sh GATEWISE_EXE WINDOW_PROBE_EXE
set -uo pipefail
program=$1
probe=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)

source "$here/e2e-session.sh"
e2e_begin screen_scale

gatewise_start_display
gatewise_prepare_prefix virtual
# The screen saver asks for the password and nothing logs on by itself: Secure Mode.
wine reg add 'HKCU\Control Panel\Desktop' /v ScreenSaverIsSecure /d 1 /f >/dev/null 2>&1
mkdir -p "$root/build/e2e"

# A length at 96 dpi on a screen of $dpi, rounded as the program rounds.
scaled() { echo $((($1 * dpi + 48) / 96)); }

# The accessibility tree of the main window, into $work/tree.txt; a busy
# machine may keep the probe from its first try.
read_tree() {
  local status
  for _ in 1 2 3; do
    wine "$probe" Gatewise accessibility 2>"$work/probe.log" | tr -d '\r' >"$work/tree.txt"
    status=${PIPESTATUS[0]}
    [ "$status" -eq 0 ] && return
    sleep 1
  done
  fail "$dpi dpi: the accessibility tree could not be read (exit code $status): $(cat "$work/probe.log")"
}
expect_line() {
  grep -Eq -- "$1" "$work/tree.txt" || fail "$dpi dpi: no line like '$1' in the accessibility tree:
$(cat "$work/tree.txt")"
}
focused_button() { grep -E '^ +client ".*" focused$' "$work/tree.txt" | sed -E 's/^ +client "(.*)" focused$/\1/'; }

# open_from_menu MENU ITEM TITLE SHOT: F10 enters the main window's menu bar,
# MENU opens a menu, ITEM chooses the item; prints the X id of the window
# titled TITLE that it opens, after a screenshot of it as build/e2e/SHOT_DPI.png.
open_from_menu() {
  xdotool key F10
  sleep 0.3
  xdotool key "$1"
  sleep 0.5
  xdotool key "$2"
  local opened
  opened=$(gatewise_wait_window "$3" 20)
  [ -n "$opened" ] || fail "$dpi dpi: '$3' did not open"
  sleep 1
  import -window "$opened" "$root/build/e2e/$4_$dpi.png" || fail "$dpi dpi: no screenshot of '$3'"
  echo "$opened"
}

for dpi in 96 144 192; do
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  wineserver -w
  wine "$program" >"$work/program.log" 2>&1 &
  program_pid=$!
  window=$(gatewise_wait_window Gatewise 60)
  [ -n "$window" ] || fail "$dpi dpi: the main window did not appear"
  sleep 1
  import -window "$window" "$root/build/e2e/main_window_$dpi.png" || fail "$dpi dpi: no screenshot"
  width=$(identify -format '%w' "$root/build/e2e/main_window_$dpi.png")
  [ "$width" -ge "$(scaled 540)" ] || fail "$dpi dpi: the main window is $width pixels wide"

  read_tree
  padlock="$(scaled 58)x$(scaled 53)"
  expect_line "^      graphic \"Secure mode\" action \"Click\" $padlock\$"
  expect_line "^      graphic \"Relaxed mode\" action \"Click\" $padlock\$"
  expect_line "^      graphic \"(Flowgauge|Speedloom|Ledgerly|Wipewell)\" action \"Click\" $(scaled 64)x$(scaled 64)\$"
  expect_line '^      static text "Secure Mode \(currently active\)" action "Click"$'
  expect_line '^      static text "Relaxed Mode" action "Click"$'
  expect_line '^      static text "While in secure mode .* \(activate now\)\."$'
  expect_line '^      static text "In relaxed mode .* \(activate now\)\."$'
  links=$(grep -cE '^        link ".+" action "Jump"$' "$work/tree.txt")
  activate=$(grep -cE '^        link "Activate (Secure|Relaxed) Mode" action "Jump"$' "$work/tree.txt")
  [ "$links" -eq 3 ] && [ "$activate" -eq 2 ] ||
    fail "$dpi dpi: expected the links 'Activate Secure Mode', 'Activate Relaxed Mode' and the advertisement's, found $links links"
  # The advertisement's explanation is the text that holds its one link.
  grep -B1 -E '^        link ".+" action "Jump"$' "$work/tree.txt" | grep -vE 'Activate (Secure|Relaxed) Mode|^--$|^        link' |
    grep -qE '^      static text ".{40,}" action "Click"$' || fail "$dpi dpi: no explanation of the advertisement"

  [ "$(focused_button)" = "Options..." ] || fail "$dpi dpi: the focus starts on '$(focused_button)'"
  timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null
  for next in Help Exit Options...; do
    xdotool key Tab
    sleep 0.3
    read_tree
    [ "$(focused_button)" = "$next" ] || fail "$dpi dpi: Tab moved the focus to '$(focused_button)', not $next"
  done

  # Help > About: F10 enters the menu bar, H opens Help (Alt+H is the Help
  # button's), A chooses "&About Gatewise"; Esc closes the box.
  about=$(open_from_menu h a 'About Gatewise' about) || exit 1
  timeout 10 xdotool windowfocus --sync "$about" 2>/dev/null
  xdotool key Escape
  sleep 0.5

  # Commands > Check settings...: C opens Commands, C chooses "&Check settings...".
  timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null
  report=$(open_from_menu c c 'Check settings' check_report) || exit 1
  eval "$(xdotool getwindowgeometry --shell "$report")"
  [ "$Y" -ge 0 ] && [ $((Y + HEIGHT)) -le 1024 ] && [ $((X + WIDTH)) -le 1280 ] ||
    fail "$dpi dpi: the check report ($WIDTH x $HEIGHT at $X,$Y) leaves the screen"
  # Screen readers find the first finding focused, named by its verdict, text and fix.
  wine "$probe" 'Check settings' accessibility 2>"$work/probe.log" | tr -d '\r' >"$work/report_tree.txt"
  grep -Eq '^ +client "Warning: No auto-logon account is set: .* Fix: Set the auto-logon account .*" focused$' \
    "$work/report_tree.txt" || fail "$dpi dpi: the first finding is not focused and named:
$(cat "$work/report_tree.txt")"
  timeout 10 xdotool windowfocus --sync "$report" 2>/dev/null
  xdotool key Escape
  sleep 0.5
  timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null
  xdotool key alt+x
  for _ in $(seq 1 100); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.2
  done
  kill -0 "$program_pid" 2>/dev/null && fail "$dpi dpi: Alt+X did not end the program"
  wineserver -w
done
echo "e2e.screen_scale: passed"
