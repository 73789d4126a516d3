#!/usr/bin/env bash
# End to end: switching modes in gatewise.exe under Wine with the keyboard
# only (Windows XP version, so that the screen saver setting lives in the
# registry; the resume setting left alone). With VerifyPassword False, F2
# switches to secure mode; F3 asks for the auto-logon account, and its
# password typed twice and Enter store it and switch to relaxed mode; with
# VerifyPassword True, F2 asks for the password and Esc changes nothing. After
# each step the registry, the marked title and the balloon are checked, and
# the screen is saved (build/e2e/mode_secure.png, mode_relaxed.png,
# mode_not_changed.png).
#
#   mode_switch.sh BUILD_DIR
# BUILD_DIR holds gatewise.exe and tests/e2e/window_probe.exe, window_text_probe.exe.
set -uo pipefail
build=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)

source "$here/e2e-session.sh"
e2e_begin mode_switch

gatewise_start_display
gatewise_prepare_prefix virtual

winlogon='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Winlogon'
desktop='HKCU\Control Panel\Desktop'
options='HKCU\SOFTWARE\Vantrel\Gatewise'
wine reg add "$winlogon" /v AutoAdminLogon /d 1 /f >/dev/null 2>&1
wine reg add "$desktop" /v ScreenSaverIsSecure /d 0 /f >/dev/null 2>&1
wine reg add "$options" /v VerifyPassword /d False /f >/dev/null 2>&1
mkdir -p "$root/build/e2e"

reg_value() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v name="$2" '$1 == name { print $3 }'
}
expect_settings() {
  local logon saver
  logon=$(reg_value "$winlogon" AutoAdminLogon)
  saver=$(reg_value "$desktop" ScreenSaverIsSecure)
  [ "$logon/$saver" = "$1/$2" ] ||
    fail "$3: AutoAdminLogon \"$logon\" and ScreenSaverIsSecure \"$saver\" instead of \"$1\" and \"$2\""
}
# The title marked active in the tree that screen readers see.
expect_active() {
  wine "$build/tests/e2e/window_probe.exe" Gatewise accessibility 2>/dev/null | tr -d '\r' >"$work/tree.txt"
  grep -q "static text \"$1 (currently active)\"" "$work/tree.txt" || fail "$2: $1 is not marked active"
}
# Waits for a balloon with this text, then saves the screen.
expect_balloon() {
  local text=
  for _ in $(seq 1 20); do
    text=$(wine "$build/tests/e2e/window_text_probe.exe" --balloons 2>/dev/null | tr -d '\r')
    [[ "$text" == *"$1"* ]] && break
    sleep 0.5
  done
  [[ "$text" == *"$1"* ]] || fail "$2: no balloon saying '$1' (shown: '$text')"
  import -window root "$root/build/e2e/$3.png" || fail "$2: no screenshot"
}
press() {
  timeout 10 xdotool windowfocus --sync "$1" 2>/dev/null
  shift
  xdotool "$@"
}
start_program() {
  wine "$build/gatewise.exe" >"$work/program.log" 2>&1 &
  window=$(gatewise_wait_window Gatewise 60)
  [ -n "$window" ] || fail "the main window did not appear"
  sleep 1
}

start_program
press "$window" key F2
sleep 2
expect_settings 0 1 "F2"
expect_active "Secure Mode" "F2"
expect_balloon "changed to Secure Mode." "F2" mode_secure

press "$window" key F3
account=$(gatewise_wait_window 'Set auto-logon user name and password' 30)
[ -n "$account" ] || fail "F3 did not ask for the auto-logon account"
press "$account" type --delay 50 'Wonder land 1'
press "$account" key Tab
press "$account" type --delay 50 'Wonder land 1'
press "$account" key Return
# Wine's protected store refuses the password: a message may say where it went
# instead. Its OK button is the default one.
for _ in $(seq 1 20); do
  [ "$(reg_value "$winlogon" AutoAdminLogon)" = 1 ] && break
  for other in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
    case "$(xdotool getwindowname "$other" 2>/dev/null)" in
      Gatewise | 'Set auto-logon user name and password') ;;
      *) press "$other" key Return ;;
    esac
  done
  sleep 0.5
done
expect_settings 1 0 "F3"
[ -n "$(reg_value "$winlogon" DefaultUserName)" ] || fail "F3: no auto-logon account was stored"
expect_active "Relaxed Mode" "F3"
expect_balloon "changed to Relaxed Mode." "F3" mode_relaxed
press "$window" key alt+x
wineserver -w

# Verification on: Esc in the password dialog leaves the mode as it is.
wine reg add "$options" /v VerifyPassword /d True /f >/dev/null 2>&1
start_program
press "$window" key F2
verify=$(gatewise_wait_window 'Password verification' 30)
[ -n "$verify" ] || fail "F2 did not ask for the password"
press "$verify" key Escape
expect_balloon "secure mode was not enabled." "Esc" mode_not_changed
expect_settings 1 0 "Esc"
expect_active "Relaxed Mode" "Esc"
echo "e2e.mode_switch: passed"
