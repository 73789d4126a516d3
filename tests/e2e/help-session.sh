# Sourced by the end-to-end tests of the help and of the release package,
# after e2e-session.sh.
#
#   help_press_f1 EXE [TITLE KEY...]
#                        starts EXE under Wine and presses F1 in its main window,
#                        or in the window TITLE that the KEYs open from there
#   help_wait_viewer     waits for a window titled "Gatewise Help": the viewer,
#                        or the message that help cannot be shown
#   help_texts           prints the texts of the controls in that window
#                        ($probe: window_text_probe.exe)

help_press_f1() {
  wine "$1" >"$work/program.log" 2>&1 &
  local window key
  window=$(gatewise_wait_window Gatewise 60)
  [ -n "$window" ] || return 1
  sleep 1
  timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null
  if [ $# -gt 1 ]; then
    for key in "${@:3}"; do
      xdotool key "$key"
      sleep 0.5
    done
    window=$(gatewise_wait_window "$2" 30)
    [ -n "$window" ] || return 1
    timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null
  fi
  xdotool key F1
}

help_wait_viewer() {
  [ -n "$(gatewise_wait_window 'Gatewise Help' 30)" ]
}

help_texts() {
  sleep 1
  wine "$probe" "Gatewise Help" 2>/dev/null | tr -d '\r'
}
