# Sourced by the end-to-end tests.
#
#   e2e_begin NAME   a scratch folder ($work) with a Wine prefix of its own (a
#                    copy of the test run's, which saves the first start of a
#                    new one), removed at exit with the display and Wine;
#                    fail MESSAGE ends the test named NAME

e2e_begin() {
  e2e_test_name=$1
  local root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  work=$(mktemp -d "/tmp/gatewise-$1.XXXXXX")
  export GATEWISE_WINEPREFIX=$work/prefix
  if [ -f "$root/build/wineprefix/system.reg" ]; then
    cp -a "$root/build/wineprefix" "$GATEWISE_WINEPREFIX" 2>/dev/null || rm -rf "$GATEWISE_WINEPREFIX"
  fi
  source "$root/scripts/wine-env.sh"
  source "$root/scripts/gatewise-session.sh"
  trap e2e_end EXIT
}

e2e_end() {
  # Waits until the prefix's wineserver is gone: a server still shutting down
  # would be found by a later test whose new prefix reuses this one's inode.
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  gatewise_stop_display
  rm -rf "$work"
}

fail() {
  echo "e2e.$e2e_test_name: $*" >&2
  exit 1
}
