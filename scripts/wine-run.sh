#!/usr/bin/env bash
# Runs a Windows program under Wine, on a virtual X display of its own when
# there is none (Xvfb picks a free display number itself, so parallel runs
# never race for one).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/wine-env.sh"
source "$root/scripts/gatewise-session.sh"
gatewise_wine_init
if [ -n "${DISPLAY:-}" ]; then
  exec wine "$@"
fi
gatewise_start_display
trap gatewise_stop_display EXIT
status=0
wine "$@" || status=$?
exit "$status"
