#!/usr/bin/env bash
# End to end: the release command. scripts/release.sh writes the zip and its
# SHA-256; the zip holds the stripped program (still tied to its symbol file
# by its build id), the help, the symbol file and a readme naming the version
# and the error log. Unpacked under Wine into a folder whose path has spaces
# and characters outside the ANSI code page, the program starts and F1 opens
# its help there.
#
#   release_package.sh BUILD_DIR
set -uo pipefail
build=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
probe=$build/tests/e2e/window_text_probe.exe

source "$here/e2e-session.sh"
source "$here/help-session.sh"
e2e_begin release_package

bash "$root/scripts/release.sh" "$build" >"$work/release.log" 2>&1 || fail "the release command failed: $(tail -5 "$work/release.log")"
version=$(sed -n 's/^project(Gatewise VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
release=$build/release
zip=gatewise-$version-win64.zip
[ -f "$release/$zip" ] || fail "no $zip"
(cd "$release" && sha256sum --quiet -c "$zip.sha256") || fail "the SHA-256 file does not match the zip"

folder="$WINEPREFIX/drive_c/Program Files/Ünïcødé Ω 测试"
mkdir -p "$folder"
(cd "$folder" && cmake -E tar xf "$release/$zip") || fail "the zip does not unpack"
expected="PolicyDefinitions gatewise.chm gatewise.exe gatewise.sym readme.txt"
[ -f "$build/gatewisecmd.exe" ] && expected="PolicyDefinitions gatewise.chm gatewise.exe gatewise.sym gatewisecmd.exe readme.txt"
contents=$(cd "$folder" && LC_ALL=C ls | grep -v '^gatewisecmd.sym$' | tr '\n' ' ' | sed 's/ $//')
[ "$contents" = "$expected" ] || fail "the zip holds '$contents', not '$expected'"

cmp -s "$folder/PolicyDefinitions/gatewise.admx" "$root/installer/gatewise.admx" &&
  cmp -s "$folder/PolicyDefinitions/en-US/gatewise.adml" "$root/installer/en-US/gatewise.adml" ||
  fail "the zip lacks the policy templates"

objdump=x86_64-w64-mingw32-objdump
"$objdump" -h "$folder/gatewise.exe" | grep -q '\.debug' && fail "gatewise.exe is not stripped"
id_of() { "$objdump" -p "$1" | sed -n 's/.*RSDS signature \([0-9a-f]*\).*/\1/p'; }
[ -n "$(id_of "$folder/gatewise.exe")" ] && [ "$(id_of "$folder/gatewise.exe")" = "$(id_of "$build/gatewise.exe")" ] ||
  fail "the stripped program lost the build id that ties it to gatewise.sym"
cmp -s "$folder/gatewise.sym" "$build/gatewise.sym" || fail "gatewise.sym is not the build's symbol file"
grep -q "Gatewise $version" "$folder/readme.txt" || fail "the readme does not name version $version"
grep -q 'gatewise\.LOG' "$folder/readme.txt" || fail "the readme does not say where the error log goes"
grep -q $'\r$' "$folder/readme.txt" || fail "the readme does not have Windows line ends"

gatewise_start_display
gatewise_prepare_prefix virtual
help_press_f1 "$folder/gatewise.exe" || fail "the main window did not appear from the unpacked folder"
if xdotool search --name '^Application Error$' >/dev/null 2>&1; then
  fail "an error was reported at start-up"
fi
help_wait_viewer || fail "F1 opened no help viewer"
texts=$(help_texts)
case "$texts" in
  *"not found"* | *"could not"* | *"not available"*) fail "F1 did not find the help beside the program: $texts" ;;
esac
echo "e2e.release_package: passed"
