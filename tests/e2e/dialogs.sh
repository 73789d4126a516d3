#!/usr/bin/env bash
# End to end: the password verification, auto-logon account and options
# dialogs under Wine, each shown by dialog_probe.exe on a simulated machine
# for a local and for a domain account, and used with the keyboard: the
# password edit has the focus, Enter presses OK, Esc cancels, and a follow-up
# question answers No to Esc. A local account's dialog is 32 pixels shorter
# (96 dpi). Screenshots of every dialog go to BUILD_DIR/screenshots.
#
#   dialogs.sh BUILD_DIR
set -uo pipefail
build=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
probe=$build/tests/e2e/dialog_probe.exe
shots=$build/screenshots

source "$here/help-session.sh"
help_begin dialogs
gatewise_start_display
gatewise_prepare_prefix virtual
mkdir -p "$shots"

# open_dialog DIALOG ACCOUNT TITLE: shows the dialog, saves DIALOG-ACCOUNT.png
# and gives it the keyboard; $window is its X id.
open_dialog() {
  wine "$probe" "$1" "$2" >"$work/probe.log" 2>&1 &
  probe_pid=$!
  window=$(gatewise_wait_window "$3" 60)
  [ -n "$window" ] || fail "$1 ($2): no window titled \"$3\""
  sleep 1
  import -window "$window" "$shots/$1-$2.png" || fail "$1 ($2): no screenshot"
  timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null
}

# expect_result CODE WHAT: the probe ends with modal result CODE.
expect_result() {
  for _ in $(seq 1 50); do
    kill -0 "$probe_pid" 2>/dev/null || break
    sleep 0.2
  done
  kill -0 "$probe_pid" 2>/dev/null && fail "$2: the dialog stayed open"
  wait "$probe_pid"
  local code=$?
  [ "$code" -eq "$1" ] || fail "$2: modal result $code instead of $1: $(cat "$work/probe.log")"
}

height() { xwininfo -id "$1" | awk '/Height:/ { print $2 }'; }

# Verification: a wrong password asks again, and Esc answers No (mrCancel).
open_dialog verify domain "Password verification"
domain_height=$(height "$window")
xdotool type --delay 50 rabbit
xdotool key Return
for _ in $(seq 1 50); do
  [ "$(xdotool search --onlyvisible --name '^Password verification$' | wc -l)" -eq 2 ] && break
  sleep 0.2
done
question=$(xdotool search --onlyvisible --name '^Password verification$' | grep -v "^$window\$" | head -n1)
[ -n "$question" ] || fail "verify: a wrong password asked nothing"
import -window "$question" "$shots/verify-question.png"
timeout 10 xdotool windowfocus --sync "$question" 2>/dev/null
xdotool key Escape
expect_result 2 "verify, wrong password then No"

# The right password of a local account: mrOk.
open_dialog verify local "Password verification"
[ $((domain_height - $(height "$window"))) -eq 32 ] || fail "verify: the local account's dialog is not 32 pixels shorter"
xdotool type --delay 50 wonderland
xdotool key Return
expect_result 1 "verify, right password"

# Auto-logon account: password and confirmation, then Enter stores it.
open_dialog autologon domain "Set auto-logon user name and password"
domain_height=$(height "$window")
xdotool type --delay 50 wonderland
import -window "$window" "$shots/autologon-mismatch.png"
xdotool key Escape
expect_result 2 "autologon, Esc"
open_dialog autologon local "Set auto-logon user name and password"
[ $((domain_height - $(height "$window"))) -eq 32 ] || fail "autologon: the local account's dialog is not 32 pixels shorter"
xdotool type --delay 50 wonderland
xdotool key Tab
xdotool type --delay 50 wonderland
xdotool key Return
expect_result 1 "autologon, confirmed password"

# Options: Enter saves, Esc cancels.
open_dialog options domain "Gatewise Options"
xdotool key Escape
expect_result 2 "options, Esc"
open_dialog options local "Gatewise Options"
xdotool key Return
expect_result 1 "options, Enter"
echo "e2e.dialogs: passed"
