#!/usr/bin/env bash
# End to end: the main window follows what gatewisecmd changes from another
# process, and the last switch is undone, in the window with Ctrl+Z and with
# gatewisecmd undo. Wine reports Windows XP and the resume setting is left
# alone. With a mix set by hand (automatic logon, the screen saver asking)
# and the window open, gatewisecmd secure and then relaxed: two seconds later
# the window marks the mode in its accessible tree; Ctrl+Z in the window
# undoes the relaxed switch. With the window closed, the mix again, gatewisecmd
# secure, then undo: the registry holds the mix again, and a second undo exits
# with 9. The screens are saved as build/e2e/outside_*.png.
#
#   outside_changes.sh BUILD_DIR    (gatewise.exe, gatewisecmd.exe and the probes of tests/e2e)
set -uo pipefail
build=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/e2e-session.sh"
e2e_begin outside_changes
gatewise_start_display
gatewise_prepare_prefix virtual
mkdir -p "$here/../../build/e2e"

winlogon='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Winlogon'
desktop='HKCU\Control Panel\Desktop'
value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v name="$2" '$1 == name { print $3 }'; }
set_mix() {
  wine reg add "$winlogon" /v AutoAdminLogon /d 1 /f >/dev/null 2>&1
  wine reg add "$desktop" /v ScreenSaverIsSecure /d 1 /f >/dev/null 2>&1
}
# A value read through a fresh wine process on a loaded machine may come back
# empty once; read again before calling it wrong.
expect_registry() {
  local found
  for _ in 1 2 3 4 5; do
    found="$(value "$winlogon" AutoAdminLogon)/$(value "$desktop" ScreenSaverIsSecure)"
    [ "$found" = "$2" ] && return 0
    sleep 0.5
  done
  fail "$1: AutoAdminLogon/ScreenSaverIsSecure are $found, not $2"
}
gatewisecmd() {
  wine "$build/gatewisecmd.exe" "$@" </dev/null >"$work/out" 2>"$work/err"
  code=$?
}
# The title marked active two seconds after step $1, as screen readers read it.
expect_marked() {
  sleep 2
  import -window root "$here/../../build/e2e/outside_$3.png"
  wine "$build/tests/e2e/window_probe.exe" Gatewise accessibility 2>/dev/null | tr -d '\r' >"$work/tree"
  grep -q "static text \"$2 (currently active)\"" "$work/tree" || fail "$1: the window does not mark $2 active"
}

printf 'Wonder land 1\r\n' >"$work/password"
wine "$build/gatewisecmd.exe" account set --user alice --no-verify <"$work/password" >/dev/null 2>&1 ||
  fail "the auto-logon account could not be set"
set_mix

wine "$build/gatewise.exe" >"$work/program.log" 2>&1 &
window=$(gatewise_wait_window Gatewise 60)
[ -n "$window" ] || fail "the main window did not appear"
sleep 1
wine "$build/tests/e2e/window_probe.exe" Gatewise accessibility 2>/dev/null | grep -q "currently active" &&
  fail "a mix set by hand shows as a mode"

gatewisecmd secure
[ "$code" -eq 0 ] || fail "gatewisecmd secure exited with $code: $(cat "$work/err")"
expect_marked "gatewisecmd secure" "Secure Mode" secure
gatewisecmd relaxed
[ "$code" -eq 0 ] || fail "gatewisecmd relaxed exited with $code: $(cat "$work/err")"
expect_marked "gatewisecmd relaxed" "Relaxed Mode" relaxed

timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null
xdotool key ctrl+z
for _ in $(seq 1 20); do
  [ "$(value "$winlogon" AutoAdminLogon)" = 0 ] && break
  sleep 0.5
done
expect_registry "Ctrl+Z" 0/1
wine "$build/tests/e2e/window_text_probe.exe" --balloons 2>/dev/null | tr -d '\r' | grep -q "before the switch to Relaxed Mode" ||
  fail "Ctrl+Z: no balloon saying what was undone"
expect_marked "Ctrl+Z" "Secure Mode" undone
xdotool key alt+x
wineserver -w

set_mix
gatewisecmd secure
expect_registry "gatewisecmd secure" 0/1
gatewisecmd undo
[ "$code" -eq 0 ] || fail "gatewisecmd undo exited with $code: $(cat "$work/err")"
expect_registry "gatewisecmd undo" 1/1
gatewisecmd undo
[ "$code" -eq 9 ] || fail "a second undo exited with $code, not 9"
echo "e2e.outside_changes: passed"
