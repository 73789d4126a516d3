# Sourced by the end-to-end tests of the help and of the release package.
#
#   help_begin NAME      a scratch folder ($work) with a Wine prefix of its own,
#                        removed at exit with the display and Wine; fail MESSAGE
#                        ends the test named NAME
#   help_press_f1 EXE    starts EXE under Wine and presses F1 in its main window
#   help_wait_viewer     waits for a window titled "Gatewise Help": the viewer,
#                        or the message that help cannot be shown
#   help_texts           prints the texts of the controls in that window
#                        ($probe: window_text_probe.exe)

help_begin() {
  help_test_name=$1
  local root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  work=$(mktemp -d "/tmp/gatewise-$1.XXXXXX")
  export GATEWISE_WINEPREFIX=$work/prefix
  # A copy of the test run's prefix saves the first start of a new one.
  if [ -f "$root/build/wineprefix/system.reg" ]; then
    cp -a "$root/build/wineprefix" "$GATEWISE_WINEPREFIX" 2>/dev/null || rm -rf "$GATEWISE_WINEPREFIX"
  fi
  source "$root/scripts/wine-env.sh"
  source "$root/scripts/gatewise-session.sh"
  trap help_end EXIT
}

help_end() {
  wineserver -k 2>/dev/null
  gatewise_stop_display
  rm -rf "$work"
}

fail() {
  echo "e2e.$help_test_name: $*" >&2
  exit 1
}

help_press_f1() {
  wine "$1" >"$work/program.log" 2>&1 &
  local window
  window=$(gatewise_wait_window Gatewise 60)
  [ -n "$window" ] || return 1
  sleep 1
  timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null
  xdotool key F1
}

help_wait_viewer() {
  [ -n "$(gatewise_wait_window 'Gatewise Help' 30)" ]
}

help_texts() {
  sleep 1
  wine "$probe" "Gatewise Help" 2>/dev/null | tr -d '\r'
}
