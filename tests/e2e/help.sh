#!/usr/bin/env bash
# End to end: F1 in gatewise.exe under Wine. With gatewise.chm beside the
# program, F1 on the main window and in the options dialog opens the help
# viewer ("Gatewise Help") and no message; with the file removed, F1 shows the program's error message
# under that title instead. (Its text, which names the file, is painted by a
# markup label that has no window to read; the Windows tests check it.)
#
#   help.sh BUILD_DIR
# BUILD_DIR holds gatewise.exe, gatewise.chm and tests/e2e/window_text_probe.exe.
set -uo pipefail
build=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
probe=$build/tests/e2e/window_text_probe.exe

source "$here/e2e-session.sh"
source "$here/help-session.sh"
e2e_begin help

gatewise_start_display
gatewise_prepare_prefix virtual

folder="$WINEPREFIX/drive_c/Gatewise Test"
mkdir -p "$folder"
cp "$build/gatewise.exe" "$build/gatewise.chm" "$folder/"

# With the help file: the viewer opens at the contents, and nothing complains.
help_press_f1 "$folder/gatewise.exe" || fail "the main window did not appear"
help_wait_viewer || fail "F1 opened no help viewer"
# The program's message dialog holds a "Don't show this message again" box.
message_box="Don't show this message again"
texts=$(help_texts)
case "$texts" in
  *"$message_box"*) fail "F1 reported a failure with the help file present" ;;
esac
wineserver -k 2>/dev/null
wineserver -w

# F1 in a dialog opens it too: the options, from the Commands menu (Alt+C, O).
help_press_f1 "$folder/gatewise.exe" 'Gatewise Options' alt+c o || fail "the options dialog did not appear"
help_wait_viewer || fail "F1 in the options dialog opened no help viewer"
case "$(help_texts)" in
  *"$message_box"*) fail "F1 in the options dialog reported a failure with the help file present" ;;
esac
wineserver -k 2>/dev/null
wineserver -w

rm "$folder/gatewise.chm"
help_press_f1 "$folder/gatewise.exe" || fail "the main window did not appear"
help_wait_viewer || fail "F1 without the help file showed nothing"
texts=$(help_texts)
case "$texts" in
  *"$message_box"*) ;;
  *) fail "F1 without the help file showed no error message: $texts" ;;
esac
echo "e2e.help: passed"
