#!/usr/bin/env bash
# End to end: one change at a time between processes, under Wine (which has no
# private namespaces, so the machine-wide part of the lock is a mutex that only
# administrators may open). A switch paused in the middle holds the lock: a
# second switch run meanwhile waits 10 seconds, exits with 12, says so and
# changes nothing, and the first then finishes. A second switch run just
# before the first takes the lock goes through, and the first switches after
# it: never are both reported done with the PC left in Custom Mode.
#
#   one_change.sh WINDOWS_BUILD_DIR
set -uo pipefail
build=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

source "$here/e2e-session.sh"
e2e_begin one_change

# Both programs run from copies in the prefix's Program Files, as installed:
# the build folder is not this test's alone (the release tests build in it).
installed="$WINEPREFIX/drive_c/Program Files/Gatewise"
mkdir -p "$installed"
cp "$build/gatewisecmd.exe" "$build/tests/e2e/change_pause.exe" "$installed/" || fail "cannot copy the programs"
program="$installed/gatewisecmd.exe"
winlogon='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Winlogon'
desktop='HKCU\Control Panel\Desktop'
registry_value() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v name="$2" '$1 == name { print $3 }'
}
mode() { wine "$program" status --json 2>/dev/null | tr -d '\r' | sed -n 's/^  "mode": "\(.*\)",$/\1/p'; }
# paused WHERE FIRST SECOND: the exit codes of the two commands, "FIRST SECOND".
paused() { wine "$installed/change_pause.exe" "$1" "$(winepath -w "$program")" "$2" "$3" 2>"$work/first.err" | tr -d '\r'; }

gatewise_prepare_prefix
cd "$work" || fail "no scratch folder"
printf 'Gw-e2e-Sesame7\r\n' | wine "$program" account set --user alice >/dev/null 2>&1 || fail "account set failed"
wine "$program" relaxed >/dev/null 2>&1 || fail "relaxed failed"
[ "$(mode)" = relaxed ] || fail "not in Relaxed Mode to begin with"

started=$(date +%s)
codes=$(paused mid-switch secure relaxed)
waited=$(($(date +%s) - started))
[ "$codes" = "0 12" ] || fail "a switch beside one paused in the middle: exit codes $codes, not 0 12 ($(cat "$work/first.err" second.err))"
[ "$waited" -ge 10 ] || fail "the second switch gave up after $waited seconds, not 10"
grep -q '^Another Gatewise change is in progress; nothing was changed\.' second.err ||
  fail "the refused switch said: $(cat second.err)"
[ "$(mode)" = secure ] || fail "the paused switch did not finish in Secure Mode: $(mode)"
[ "$(registry_value "$winlogon" AutoAdminLogon)" = 0 ] || fail "AutoAdminLogon is $(registry_value "$winlogon" AutoAdminLogon)"
[ "$(registry_value "$desktop" ScreenSaverIsSecure)" = 1 ] || fail "ScreenSaverIsSecure was changed back"

codes=$(paused before-lock relaxed secure)
[ "$codes" = "0 0" ] || fail "a switch run before the other took the lock: exit codes $codes, not 0 0"
grep -q 'already in Secure Mode' second.err || fail "the switch to the mode in place said: $(cat second.err)"
[ "$(mode)" = relaxed ] || fail "both switches went through, leaving $(mode) mode, not relaxed"
wine "$program" undo >/dev/null 2>&1 || fail "the relaxed switch could not be undone"
[ "$(mode)" = secure ] || fail "undo left $(mode) mode, not secure"
echo "e2e.one_change: passed (the refused switch waited ${waited} s)"
