#!/usr/bin/env bash
# End to end: a program in a folder that it cannot write to (Program Files, for
# a standard user) writes its error report to %LOCALAPPDATA%\Gatewise instead,
# and its error dialog says so. The folder is made read-only by a read-only
# bind mount in a mount namespace of the test's own, which ends with it (root
# writes to any folder that is only read-only by its permissions).
#
#   read_only_folder.sh BUILD_DIR
set -uo pipefail
if [ -z "${GATEWISE_OWN_MOUNTS:-}" ]; then
  GATEWISE_OWN_MOUNTS=1 exec unshare --mount --propagation private bash "$0" "$@"
fi
build=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
probe=$build/tests/e2e/window_text_probe.exe

source "$here/e2e-session.sh"
e2e_begin read_only_folder

folder="$WINEPREFIX/drive_c/Program Files/Gatewise"
mkdir -p "$folder"
cp "$build/tests/gatewise_crash_child.exe" "$build/tests/gatewise_crash_child.sym" "$folder/"
mount --bind "$folder" "$folder" && mount -o remount,ro,bind "$folder" || fail "cannot make $folder read-only"
# Detached at once even while the program still runs from it, so that the
# scratch folder can be removed.
trap 'umount --lazy "$folder"; e2e_end' EXIT
touch "$folder/gatewise_crash_child.LOG" 2>/dev/null && fail "the program folder is still writable"

gatewise_start_display
gatewise_prepare_prefix virtual
local_data=$(wine cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
local_log="$(winepath -u "$local_data" 2>/dev/null)/Gatewise/gatewise_crash_child.LOG"
rm -f "$local_log"

wine "$folder/gatewise_crash_child.exe" unhandled - >"$work/child.log" 2>&1 &
child=$!
window=$(gatewise_wait_window 'Application Error' 60)
[ -n "$window" ] || fail "no error dialog"
sleep 1
texts=$(wine "$probe" 'Application Error' 2>/dev/null | tr -d '\r')
expected="This report was added to $local_data\\Gatewise\\gatewise_crash_child.LOG"
grep -qxF "$expected" <<<"$texts" || fail "the dialog does not say '$expected': $texts"
timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null
xdotool key Return
wait "$child"
status=$?
[ "$status" -eq 3 ] || fail "the program did not go on after OK (exit code $status)"

[ "$(grep -c '^Call stack:' "$local_log" 2>/dev/null)" = 1 ] || fail "no report in $local_log"
grep -q "'12x' is not a valid integer value" "$local_log" || fail "$local_log does not hold the report"
echo "e2e.read_only_folder: passed"
