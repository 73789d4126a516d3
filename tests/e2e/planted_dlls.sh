#!/usr/bin/env bash
# End to end: DLLs planted beside the program are never loaded. A copy of
# gatewise.exe runs from a folder that also holds marker DLLs named after
# system DLLs (each leaves "<name>.loaded" beside itself when loaded), with
# Wine told to prefer such native DLLs to its own ("n,b"), as Windows does for
# DLLs that are not known DLLs. The steps drive the program through what loads
# DLLs: the main window, the password verification dialog (the account's
# name), a switch to Secure Mode (its sound) and the help (F1).
#
# No DLL that the program imports (read from the exe) or binds late (named in
# its sources) may be loaded from its folder. Markers of other DLLs were
# loaded by Wine's own system DLLs on their behalf: they are listed, since
# only Windows can confirm how its own DLLs look for theirs.
#
#   planted_dlls.sh GATEWISE_EXE PLANTED_DLL_DIR OBJDUMP
set -uo pipefail
program=$1
planted=$2
objdump=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)

source "$here/e2e-session.sh"
e2e_begin planted_dlls

app=$work/app
mkdir -p "$app"
cp "$program" "$app/gatewise.exe" || fail "cannot copy the program"
# Installed with its help file: without it F1 only says that it is missing.
cp "$(dirname "$program")/gatewise.chm" "$app/" || fail "no gatewise.chm beside the program"
names=()
for dll in "$planted"/*.dll "$planted"/*.ocx; do
  [ -f "$dll" ] || continue
  cp "$dll" "$app/" || fail "cannot plant $dll"
  names+=("$(basename "$dll" | tr 'A-Z' 'a-z')")
done
[ ${#names[@]} -ge 10 ] || fail "only ${#names[@]} marker DLLs in $planted"

# Native first for every planted name ("hhctrl.ocx" keeps its extension) but
# those that Wine's own user32 and comctl32 cannot start without: they load
# them from the program's folder before the program runs any code, or through
# delay-loading that passes over the program's search settings. On Windows
# these two do not, which only Windows can confirm.
wine_needs=" version.dll uxtheme.dll "
overrides=""
for name in "${names[@]}"; do
  case "$wine_needs" in
    *" $name "*) echo "e2e.planted_dlls: note: $name planted, but Wine's own DLLs need theirs (only Windows can confirm)" ;;
    *) overrides+="${overrides:+,}${name%.dll}" ;;
  esac
done
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;$overrides=n,b"

gatewise_start_display
gatewise_prepare_prefix virtual

# ---- the steps; each leaves the main window in front ------------------------

window=
program_pid=
# The loader's record of every DLL loaded, to see that a step reached the code
# that binds its DLL.
step_main_window() {
  WINEDEBUG=+loaddll wine "$app/gatewise.exe" >"$work/program.log" 2>&1 &
  program_pid=$!
  window=$(gatewise_wait_window Gatewise 60)
  [ -n "$window" ] || return 1
  sleep 1
}

# Waits until the program has loaded a DLL of that name, from wherever.
wait_loaded() {
  for _ in $(seq 1 50); do
    grep -qi "Loaded L\".*\\\\$1\"" "$work/program.log" && return 0
    sleep 0.2
  done
  echo "e2e.planted_dlls: $1 was never loaded" >&2
  return 1
}

# F1 binds the help viewer.
step_help() {
  timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null
  xdotool key F1
  wait_loaded hhctrl.ocx || return 1
  sleep 1
  return 0
}

# F2 asks for the password first (VerifyPassword is on by default): the
# dialog reads the account's name. Wine accepts any password, so OK switches.
step_verification_dialog() {
  timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null
  xdotool key F2
  local dialog
  dialog=$(gatewise_wait_window 'Password verification' 30)
  [ -n "$dialog" ] || return 1
  wait_loaded secur32.dll || return 1
  timeout 10 xdotool windowfocus --sync "$dialog" 2>/dev/null
  xdotool type --delay 30 'any password'
  xdotool key Return
}

# The switch confirms itself with the system sound.
step_mode_switch() {
  wait_loaded winmm.dll || return 1
  sleep 1
}

steps=(step_main_window step_verification_dialog step_mode_switch step_help)
problem=
for step in "${steps[@]}"; do
  "$step" || { problem="$step failed"; break; }
  if xdotool search --onlyvisible --name '^Application Error$' >/dev/null 2>&1; then
    problem="$step: an error was reported"
    break
  fi
done
wineserver -k 2>/dev/null
wait "$program_pid" 2>/dev/null

# ---- what was loaded from the program's folder --------------------------------

# The DLLs the program itself imports or binds late.
own=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p')
for folder in os engine settings diagnostics shell toolkit widgets ui crashreport; do
  own+=" $(grep -rhoE '"[A-Za-z0-9_]+\.(dll|ocx)"' "$root/$folder" 2>/dev/null | tr -d '"')"
done
own=" $(echo "$own" | tr 'A-Z' 'a-z' | tr -s ' \n\r' ' ') windowscodecs.dll "  # WIC comes through COM

failed=0
for marker in "$app"/*.loaded; do
  [ -f "$marker" ] || continue
  name=$(basename "$marker" .loaded | tr 'A-Z' 'a-z')  # the loader may have named it as an import did
  case "$own" in
    *" $name "*)
      echo "e2e.planted_dlls: the program loaded the planted $name from its folder" >&2
      failed=1
      ;;
    *) echo "e2e.planted_dlls: note: Wine's own DLLs loaded the planted $name (only Windows can confirm theirs)" ;;
  esac
done
if [ -n "$problem" ]; then
  echo "e2e.planted_dlls: $problem" >&2
  failed=1
fi
[ $failed -eq 0 ] || exit 1
echo "e2e.planted_dlls: passed (${#names[@]} planted, none of the program's own loaded)"
