# Sourced by run.sh and the end-to-end tests: a Wine prefix prepared for
# gatewise.exe and a virtual display to run it on.
#
#   gatewise_prepare_prefix [virtual]
#                             Windows XP version (Wine then reads the screen
#                             saver setting from the registry), the resume
#                             setting left alone (Wine has no power
#                             functions); on a virtual display, which has no
#                             window manager, Wine draws the window frames.
#   gatewise_start_display    starts Xvfb on a free display, exports DISPLAY.
#   gatewise_stop_display
#   gatewise_wait_window NAME SECONDS   prints the X window id, or fails.

gatewise_prepare_prefix() {
  gatewise_wine_init
  wine reg add 'HKCU\Software\Wine' /v Version /d winxp /f >/dev/null 2>&1
  local decorated=Y
  [ "${1:-}" = virtual ] && decorated=N
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d "$decorated" /f >/dev/null 2>&1
  wine reg add 'HKCU\SOFTWARE\Vantrel\Gatewise' /v AutochangeStandby /d False /f >/dev/null 2>&1
  wineserver -w
}

gatewise_start_display() {
  local numberFile
  numberFile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numberFile" >/dev/null 2>&1 &
  GATEWISE_XVFB_PID=$!
  local tries=0
  while [ ! -s "$numberFile" ] && [ $tries -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
  export DISPLAY=":$(head -n1 "$numberFile")"
  rm -f "$numberFile"
}

gatewise_stop_display() {
  if [ -n "${GATEWISE_XVFB_PID:-}" ]; then
    kill "$GATEWISE_XVFB_PID" 2>/dev/null
    wait "$GATEWISE_XVFB_PID" 2>/dev/null
    GATEWISE_XVFB_PID=
  fi
}

gatewise_wait_window() {
  timeout "$2" xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n1
}
