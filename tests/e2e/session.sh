# Sourced by the end-to-end scripts after they set `test_name`: a work folder
# of their own ($work) holding a copy of the test run's Wine prefix (a copy
# saves the first start of a new one), the Wine settings and the session
# helpers of scripts/, and on exit the Wine server, the display and the folder
# cleaned up.
#
#   fail MESSAGE   ends the test with "<test_name>: MESSAGE"
e2e_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

work=$(mktemp -d "/tmp/gatewise-$test_name.XXXXXX")
export GATEWISE_WINEPREFIX=$work/prefix
if [ -f "$e2e_root/build/wineprefix/system.reg" ]; then
  cp -a "$e2e_root/build/wineprefix" "$GATEWISE_WINEPREFIX" 2>/dev/null || rm -rf "$GATEWISE_WINEPREFIX"
fi
source "$e2e_root/scripts/wine-env.sh"
source "$e2e_root/scripts/gatewise-session.sh"

e2e_cleanup() {
  wineserver -k 2>/dev/null
  gatewise_stop_display
  rm -rf "$work"
}
trap e2e_cleanup EXIT
fail() {
  echo "$test_name: $*" >&2
  exit 1
}
