#!/usr/bin/env bash
# End to end: gatewisecmd.exe under Wine, which reports Windows XP (the screen
# saver setting is then read from the registry) and leaves the resume setting
# out (Wine has no power functions). A switch to Secure Mode shows in status
# and in the registry; Relaxed Mode without an account exits with 4; once an
# account is set with its password on standard input, Relaxed Mode goes
# through; bad arguments exit with 2 and the message with where the help is on
# standard error, without repeating what was typed; a password line that is not UTF-8 is refused; a
# result that cannot be written exits with 1. --version, version and /? answer
# as console tools do; JSON read back through cmd.exe is ASCII alone, keeps a
# name beyond ASCII whole, and a failure is an object with its exit code.
# check --expect answers 0 or 1 with its verdict on the last line; the policy
# AllowRelaxedMode = 0 refuses relaxed mode with exit code 13.
# diagnose --fix turns off Windows Hello sign-in required for Microsoft
# accounts in the registry; relaxed --once sets AutoLogonCount 1; Secure Mode
# with ForgetPasswordInSecureMode removes the stored password; names with
# control or format characters are refused, and undo refuses a hand-edited
# record of the last switch. selftest, with Wine reporting Windows 10, names Wine's gaps (no power
# functions, private data and the screen saver parameter refused) as failures
# and exits with 8, while the rest passes. The password shows in no output.
#
#   command_line.sh GATEWISECMD_EXE
set -uo pipefail
program=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)

source "$here/e2e-session.sh"
e2e_begin command_line
# The program runs from a copy in the prefix's Program Files, as installed: the
# build folder is not this test's alone (the release tests configure and build
# in it while this one runs), and cmd.exe then meets a path with a space.
installed="$WINEPREFIX/drive_c/Program Files/Gatewise"
mkdir -p "$installed"
cp "$program" "$installed/" || { echo "e2e.command_line: cannot copy $program" >&2; exit 1; }
program="$installed/$(basename "$program")"
fail() {
  echo "e2e.command_line: $*" >&2
  echo "--- standard output:" >&2
  cat "$work/out" >&2
  echo "--- standard error:" >&2
  cat "$work/err" >&2
  exit 1
}

password='Gw-e2e-Sesame7'

# gatewisecmd ARGS...: runs the program with standard input from $work/in.
gatewisecmd() {
  wine "$program" "$@" <"$work/in" >"$work/out" 2>"$work/err"
  code=$?
  tr -d '\r' <"$work/out" >"$work/out.txt"
  if grep -q -- "$password" "$work/out" "$work/err"; then fail "the password shows in the output of $*"; fi
}
expect_code() {
  [ "$code" -eq "$1" ] || fail "$2 exited with $code, not $1"
}
expect_mode() {
  gatewisecmd status --json
  expect_code 0 "status --json"
  grep -q "^  \"mode\": \"$1\",\$" "$work/out.txt" || fail "status --json does not report $1 mode"
}
# registry_value KEY NAME: the value's data as reg.exe shows it.
registry_value() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v name="$2" '$1 == name { print $3 }'
}
winlogon='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Winlogon'
desktop='HKCU\Control Panel\Desktop'

gatewise_prepare_prefix
: >"$work/in"

gatewisecmd secure
expect_code 0 secure
expect_mode secure
[ "$(registry_value "$winlogon" AutoAdminLogon)" = 0 ] || fail "Secure Mode left AutoAdminLogon at $(registry_value "$winlogon" AutoAdminLogon)"
[ "$(registry_value "$desktop" ScreenSaverIsSecure)" = 1 ] || fail "Secure Mode did not set ScreenSaverIsSecure"

gatewisecmd relaxed
expect_code 4 "relaxed without an account"
expect_mode secure

printf '%s\r\n' "$password" >"$work/in"
gatewisecmd account set --user alice
expect_code 0 "account set"
: >"$work/in"
[ "$(registry_value "$winlogon" DefaultUserName)" = alice ] || fail "account set did not store the user name"

gatewisecmd relaxed
expect_code 0 "relaxed with an account"
expect_mode relaxed
[ "$(registry_value "$winlogon" AutoAdminLogon)" = 1 ] || fail "Relaxed Mode did not switch automatic logon on"
[ "$(registry_value "$desktop" ScreenSaverIsSecure)" = 0 ] || fail "Relaxed Mode did not clear ScreenSaverIsSecure"

# A name that no Windows account has: a control character, or a
# right-to-left override that would show "gpj.exe" as "exe.jpg".
for name in "$(printf 'ev\001il')" "$(printf 'gpj\u202eexe')"; do
  gatewisecmd account set --user "$name" --no-verify
  expect_code 2 "account set with a control or format character"
done
[ "$(registry_value "$winlogon" DefaultUserName)" = alice ] || fail "a refused name replaced the account"

# A record of the last switch edited by hand to hold what no switch finds
# (AutoAdminLogon as binary data) is not undone.
options='HKCU\Software\Vantrel\Gatewise'
record=$(wine reg query "$options" /v LastSwitch 2>/dev/null | tr -d '\r' | sed -n 's/^ *LastSwitch *REG_SZ *//p')
forged=$(sed 's/"AutoAdminLogon":{"type":1,/"AutoAdminLogon":{"type":3,/' <<<"$record")
[ "$forged" != "$record" ] || fail "no AutoAdminLogon in the record of the switch: $record"
wine reg add "$options" /v LastSwitch /t REG_SZ /d "$forged" /f >/dev/null 2>&1 || fail "the record could not be edited"
gatewisecmd undo
expect_code 9 "undo of a hand-edited record"
grep -q "is damaged or of another version, so it was not used" "$work/err" || fail "undo did not say the record is damaged"
[ "$(registry_value "$winlogon" AutoAdminLogon)" = 1 ] || fail "undo of a hand-edited record changed AutoAdminLogon"

# Windows Hello sign-in required for Microsoft accounts: diagnose --fix turns
# it off in the registry and says how to turn it back on.
passwordless='HKLM\Software\Microsoft\Windows NT\CurrentVersion\PasswordLess\Device'
wine reg add "$passwordless" /v DevicePasswordLessBuildVersion /t REG_DWORD /d 2 /f >/dev/null 2>&1
gatewisecmd diagnose --fix password-less-sign-in
expect_code 0 "diagnose --fix password-less-sign-in"
[ "$(registry_value "$passwordless" DevicePasswordLessBuildVersion)" = 0x0 ] ||
  fail "diagnose --fix left DevicePasswordLessBuildVersion at $(registry_value "$passwordless" DevicePasswordLessBuildVersion)"
grep -q "^To reverse it, set DevicePasswordLessBuildVersion under HKEY_LOCAL_MACHINE" "$work/out.txt" ||
  fail "diagnose --fix did not say how to reverse it"

# Relaxed mode for the next start only: AutoLogonCount 1 beside AutoAdminLogon.
gatewisecmd relaxed --once
expect_code 0 "relaxed --once"
[ "$(registry_value "$winlogon" AutoLogonCount)" = 0x1 ] || fail "relaxed --once did not set AutoLogonCount to 1"
[ "$(registry_value "$winlogon" AutoAdminLogon)" = 1 ] || fail "relaxed --once did not switch automatic logon on"
gatewisecmd status --json
grep -q '^  "autoLogonCount": 1,$' "$work/out.txt" || fail "status --json does not show autoLogonCount 1"

# Secure mode that forgets the password: Wine's protected store refuses it, so
# account set kept it in DefaultPassword, which the switch removes.
[ -n "$(registry_value "$winlogon" DefaultPassword)" ] || fail "account set left no password to forget under Wine"
gatewisecmd options ForgetPasswordInSecureMode=True
expect_code 0 "options ForgetPasswordInSecureMode=True"
gatewisecmd secure
expect_code 0 "secure that forgets the password"
[ -z "$(registry_value "$winlogon" DefaultPassword)" ] || fail "Secure Mode left DefaultPassword"
[ "$(registry_value "$winlogon" AutoLogonCount)" = "" ] || fail "Secure Mode left AutoLogonCount"
[ "$(registry_value "$winlogon" DefaultUserName)" = alice ] || fail "forgetting the password removed the account's name"
gatewisecmd relaxed
expect_code 4 "relaxed after the password was forgotten"
gatewisecmd options ForgetPasswordInSecureMode=False
printf '%s\r\n' "$password" >"$work/in"
gatewisecmd account set --user alice
expect_code 0 "account set again"
: >"$work/in"
gatewisecmd relaxed
expect_code 0 "relaxed with the password stored again"

# A compliance check says on its last line what differs, and nothing on
# standard error; the administrator's policy AllowRelaxedMode = 0 refuses
# relaxed mode with exit code 13 and changes nothing.
last_line() { tail -n 1 "$work/out.txt"; }
gatewisecmd check --expect relaxed
expect_code 0 "check --expect relaxed in relaxed mode"
[ "$(last_line)" = "In Relaxed Mode." ] || fail "check --expect relaxed ended with '$(last_line)'"
gatewisecmd check --expect secure
expect_code 1 "check --expect secure in relaxed mode"
[ -s "$work/err" ] && fail "check wrote to standard error"
[ "$(last_line)" = "Not in Secure Mode: Windows does not ask at start-up or after the screen saver." ] ||
  fail "check --expect secure ended with '$(last_line)'"
gatewisecmd secure
expect_code 0 "secure before the policy"
policies='HKLM\Software\Policies\Vantrel\Gatewise'
wine reg add "$policies" /v AllowRelaxedMode /t REG_DWORD /d 0 /f >/dev/null 2>&1
gatewisecmd relaxed
expect_code 13 "relaxed while the policy turns it off"
grep -q "Relaxed Mode is turned off by your organization (policy AllowRelaxedMode = 0" "$work/err" ||
  fail "the refusal did not name the policy"
[ "$(registry_value "$winlogon" AutoAdminLogon)" = 0 ] && [ "$(registry_value "$desktop" ScreenSaverIsSecure)" = 1 ] ||
  fail "the refused switch changed the registry"
gatewisecmd check --expect secure
expect_code 0 "check --expect secure in secure mode"
[ "$(last_line)" = "In Secure Mode." ] || fail "check --expect secure ended with '$(last_line)'"
wine reg delete "$policies" /f >/dev/null 2>&1
gatewisecmd relaxed
expect_code 0 "relaxed once the policy is gone"

gatewisecmd status --frobnicate
expect_code 2 "a bad argument"
[ -s "$work/out.txt" ] && fail "a bad argument wrote to standard output"
tr -d '\r' <"$work/err" | grep -qx "Run gatewisecmd status --help to see its options." ||
  fail "a bad argument did not say where the help is on standard error"
grep -q "Usage: gatewisecmd" "$work/err" && fail "a bad argument showed the whole help"

gatewisecmd status --json=Zq9-typed-text
expect_code 2 "a flag with a value"
grep -q "Zq9" "$work/err" && fail "a usage error repeated the text typed"

printf 'caf\xe9\r\n' >"$work/in"
gatewisecmd account set --user alice --no-verify
expect_code 2 "account set with a Latin-1 password"
grep -q "not UTF-8 text" "$work/err" || fail "a Latin-1 password line was not refused as such"
: >"$work/in"

wine reg delete 'HKCU\Software\Wine' /v Version /f >/dev/null 2>&1
gatewisecmd selftest
expect_code 8 "selftest under Wine"
for line in "failed   power-scheme" "failed   private-data" "failed   screen-saver" "passed   modern-standby" \
  "passed   account-verification" "passed   dll-search" "passed   load-configuration" "4 passed, 3 failed, 0 skipped."; do
  grep -qx -- "$line" "$work/out.txt" || fail "selftest did not print '$line'"
done
gatewisecmd selftest --json
expect_code 8 "selftest --json under Wine"
grep -q '^  "failed": 3,$' "$work/out.txt" || fail "selftest --json does not count 3 failures"
wine reg add 'HKCU\Software\Wine' /v Version /d winxp /f >/dev/null 2>&1

gatewisecmd --version
expect_code 0 "--version"
grep -Eqx 'gatewisecmd [0-9]+\.[0-9]+' "$work/out.txt" || fail "--version did not print the name and version"
cp "$work/out.txt" "$work/version.txt"
gatewisecmd version
expect_code 0 version
cmp -s "$work/out.txt" "$work/version.txt" || fail "version and --version differ"
gatewisecmd /?
expect_code 0 "/?"
grep -q "Usage: gatewisecmd" "$work/out.txt" || fail "/? did not show the usage"

# through_cmd ARGS...: gatewisecmd run by cmd.exe, as a script of a
# management agent runs it; its standard output in $work/out.
through_cmd() {
  wine cmd /c "$(winepath -w "$program")" "$@" <"$work/in" >"$work/out" 2>"$work/err"
  code=$?
}
# json_holds PYTHON-EXPRESSION: standard output is one JSON object of ASCII
# alone, for which the expression about it (named j) holds.
json_holds() {
  python3 - "$work/out" "$1" <<'EOF_PY' || fail "JSON output: $1 does not hold"
import json, sys
data = open(sys.argv[1], "rb").read()
if any(byte > 0x7F for byte in data):
    sys.exit("a byte beyond ASCII")
j = json.loads(data.decode("ascii"))
sys.exit(0 if eval(sys.argv[2]) else 1)
EOF_PY
}
# The account's name beyond ASCII (an e with diaeresis, and a key beyond
# U+FFFF), written by regedit from a UTF-16 file.
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon]\r\n"DefaultUserName"="Zo\xc3\xab\xf0\x9f\x94\x91"\r\n' |
  iconv -f UTF-8 -t UTF-16 >"$work/name.reg"
wine regedit /s "$(winepath -w "$work/name.reg")"
through_cmd status --json
expect_code 0 "status --json through cmd.exe"
json_holds 'j["account"]["user"] == "Zo\u00eb\U0001F511" and j["mode"] == "relaxed"'
through_cmd version --json
json_holds 'j == {"name": "gatewisecmd", "version": open("'"$work/version.txt"'").read().split()[1]}'
through_cmd diagnose --for sooner --json
expect_code 2 "diagnose --for with a value it does not take"
json_holds 'j == {"error": "Argument 2: the option --for takes secure or relaxed.", "exitCode": 2}'

wine "$program" status <"$work/in" >/dev/full 2>"$work/err"
code=$?
expect_code 1 "status to a full disk"
wine "$program" status <"$work/in" >&- 2>"$work/err"
code=$?
expect_code 1 "status with standard output closed"

echo "e2e.command_line: passed"
