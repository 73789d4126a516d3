#!/usr/bin/env bash
# End to end: the Windows Installer package, as Intune or a Group Policy
# installs it. scripts/release.sh writes it beside the zip, and with
# --winget-url a winget manifest set that check_winget.py holds against it;
# msiinfo finds a
# per-machine x64 package with the upgrade code that every version keeps.
# Under Wine, "msiexec /i ... /qn" installs it silently: the release's files in
# Program Files\Gatewise, a Start menu shortcut, the event source "Gatewise"
# and the entry in Installed apps; the installed gatewise.exe shows its window
# and gatewisecmd --version answers. "msiexec /x ... /qn" then removes every
# file, the error log that a run left there, the shortcut, the event source
# and the entry. The installation is given SECUREONREMOVE=1, which the removal
# (given no property, as from Installed apps) remembers: the installed
# gatewisecmd, run as SYSTEM without impersonation before the files go, leaves
# automatic logon off ("AutoAdminLogon" "0") and no auto-logon account.
#
#   release_msi.sh BUILD_DIR
set -uo pipefail
build=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)

source "$here/e2e-session.sh"
e2e_begin release_msi
# No menu entries of the host's desktop for the Start menu shortcut.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"

base_url=https://downloads.vantrel.com/gatewise
bash "$root/scripts/release.sh" --winget-url "$base_url/" "$build" >"$work/release.log" 2>&1 || fail "the release command failed: $(tail -5 "$work/release.log")"
version=$(sed -n 's/^project(Gatewise VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
release=$build/release
msi=$release/gatewise-$version-x64.msi
[ -f "$msi" ] || fail "no gatewise-$version-x64.msi"
(cd "$release" && sha256sum --quiet -c "gatewise-$version-x64.msi.sha256") || fail "the SHA-256 file does not match the MSI"
python3 "$here/check_winget.py" "$release/winget/Vantrel.Gatewise/$version" "$msi" "$base_url" 2>"$work/winget.log" ||
  fail "the winget manifests do not match the MSI: $(cat "$work/winget.log")"

upgrade_code='{ECD65E4E-BD56-42C5-998C-2F7E38EF844B}'
# Each output is read whole: grep -q would end a pipe early and fail it (pipefail).
summary=$(msiinfo suminfo "$msi")
grep -q '^Template: x64;1033$' <<<"$summary" || fail "not an x64 package: $summary"
tables=$(msiinfo tables "$msi")
for table in File Component Shortcut Registry RemoveFile Upgrade LaunchCondition; do
  grep -qx "$table" <<<"$tables" || fail "the MSI has no $table table"
done
properties=$(msiinfo export "$msi" Property | tr -d '\r')
for property in ALLUSERS$'\t'1 UpgradeCode$'\t'"$upgrade_code" ProductVersion$'\t'"$version" \
                Manufacturer$'\t'"Vantrel Technologies" ARPHELPLINK$'\t'https://www.vantrel.com/support/; do
  grep -qxF "$property" <<<"$properties" || fail "the MSI lacks the property '${property//$'\t'/=}'"
done
upgrades=$(msiinfo export "$msi" Upgrade)
grep -q "^$upgrade_code"$'\t\t'"$version"$'\t\t513\t\tWIX_UPGRADE_DETECTED' <<<"$upgrades" ||
  fail "the MSI does not replace older versions and a package of its own version: $upgrades"
sequence=$(msiinfo export "$msi" InstallExecuteSequence)
grep -q '^RemoveExistingProducts' <<<"$sequence" || fail "the MSI removes no older version"
actions=$(msiinfo export "$msi" CustomAction | tr -d '\r')
# 3154: an installed program (18), deferred (1024), as SYSTEM (2048), whose failure is ignored (64).
grep -qx $'SecureOnRemove\t3154\tgatewisecmd.exe\tsecure\t' <<<"$actions" &&
  grep -qx $'ClearAccountOnRemove\t3154\tgatewisecmd.exe\taccount clear\t' <<<"$actions" ||
  fail "the MSI does not switch to Secure Mode on removal: $actions"
grep -q $'^REMOVE="ALL" AND NOT UPGRADINGPRODUCTCODE AND SECUREONREMOVE="1"' <<<"$(cut -f2 <<<"$sequence")" ||
  fail "the removal's switch is not limited to a removal that is not an upgrade"
grep -q $'^SecureCustomProperties\t.*;SECUREONREMOVE;' <<<"$properties" || fail "SECUREONREMOVE is not a secure property"

gatewise_start_display
wine msiexec /i "$(winepath -w "$msi")" /qn SECUREONREMOVE=1 >"$work/install.log" 2>&1 || fail "msiexec /i failed: $(tail -3 "$work/install.log")"
installed="$WINEPREFIX/drive_c/Program Files/Gatewise"
expected=$(cd "$release/gatewise-$version-win64" && LC_ALL=C ls | grep -vx PolicyDefinitions)
[ "$(cd "$installed" 2>/dev/null && LC_ALL=C ls)" = "$expected" ] ||
  fail "Program Files\\Gatewise holds '$(ls "$installed" 2>&1 | tr '\n' ' ')', not '$(tr '\n' ' ' <<<"$expected")'"
shortcuts() { find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Gatewise.lnk'; }
[ "$(shortcuts | wc -l)" = 1 ] || fail "no Start menu shortcut"
source_key='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Gatewise'
event_source=$(wine reg query "$source_key" 2>/dev/null | tr -d '\r')
grep -q 'EventMessageFile.*REG_SZ.*C:\\Program Files\\Gatewise\\gatewise\.exe$' <<<"$event_source" &&
  grep -q 'TypesSupported.*REG_DWORD.*0x7$' <<<"$event_source" || fail "no event source: $event_source"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
entry=$(wine reg query "$uninstall_key" /s 2>/dev/null | tr -d '\r' | awk -v RS= '/DisplayName +REG_SZ +Gatewise\n/')
for value in "DisplayVersion.*$version" "Publisher.*Vantrel Technologies" 'HelpLink.*https://www.vantrel.com/support/' \
             'Comments.*switch to Secure Mode and remove the auto-logon account'; do
  grep -q "$value" <<<"$entry" || fail "the Installed apps entry lacks $value: $entry"
done

# A package of the same version built again (a new product code) replaces
# the installed one: one entry in Installed apps.
gatewise_entries() {
  wine reg query "$uninstall_key" /s 2>/dev/null | tr -d '\r' | grep -c 'DisplayName *REG_SZ *Gatewise$'
}
bash "$root/scripts/release.sh" "$build" >"$work/rerelease.log" 2>&1 || fail "the second release failed: $(tail -5 "$work/rerelease.log")"
wine msiexec /i "$(winepath -w "$msi")" /qn /l*v "$(winepath -w "$work/reinstall.log")" >/dev/null 2>&1 ||
  fail "msiexec /i of the rebuilt MSI failed ($?): $(grep -a -i 'error\|return value 3' "$work/reinstall.log" | tr -d '\0' | tail -5)"
[ "$(gatewise_entries)" = 1 ] || fail "the rebuilt package of the same version left $(gatewise_entries) entries in Installed apps"

gatewise_prepare_prefix virtual
[ "$(wine "$installed/gatewisecmd.exe" --version 2>/dev/null | tr -d '\r')" = "gatewisecmd $version" ] ||
  fail "gatewisecmd --version did not answer from the install folder"
wine "$installed/gatewise.exe" >"$work/program.log" 2>&1 &
program=$!
window=$(gatewise_wait_window Gatewise 60)
[ -n "$window" ] || fail "the installed gatewise.exe showed no window"
sleep 1
import -window root "$work/installed.png" 2>/dev/null
timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null
xdotool key alt+F4
wait "$program" || fail "the installed gatewise.exe did not end cleanly"

# A report that an elevated run wrote beside the program.
printf 'an earlier report\r\n' >"$installed/gatewise.LOG"
winlogon='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Winlogon'
for value in 'AutoAdminLogon 1' 'DefaultUserName alice' 'DefaultPassword wonderland'; do
  wine reg add "$winlogon" /v ${value% *} /d ${value#* } /f >/dev/null 2>&1
done
wine msiexec /x "$(winepath -w "$msi")" /qn >"$work/uninstall.log" 2>&1 || fail "msiexec /x failed: $(tail -3 "$work/uninstall.log")"
[ -e "$installed" ] && fail "msiexec /x left $(ls "$installed" | tr '\n' ' ')in Program Files\\Gatewise"
logon=$(wine reg query "$winlogon" 2>/dev/null | tr -d '\r')
grep -q 'AutoAdminLogon.*REG_SZ *0$' <<<"$logon" || fail "the removal left automatic logon on: $logon"
grep -q 'DefaultUserName\|DefaultPassword' <<<"$logon" && fail "the removal left the auto-logon account: $logon"
[ -z "$(shortcuts)" ] || fail "msiexec /x left the Start menu shortcut"
wine reg query "$source_key" >/dev/null 2>&1 && fail "msiexec /x left the event source"
entries=$(wine reg query "$uninstall_key" /s 2>/dev/null)
grep -q 'DisplayName.*REG_SZ *Gatewise' <<<"$entries" && fail "msiexec /x left the Installed apps entry"
echo "e2e.release_msi: passed"
