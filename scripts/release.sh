#!/usr/bin/env bash
# Builds the release packages of Gatewise: installs what is missing, builds the
# Windows tree and writes, in <build>/release, gatewise-<version>-win64.zip
# (gatewise.exe stripped, gatewise.chm, gatewise.sym, gatewisecmd.exe when the
# build has it, readme.txt) and gatewise-<version>-x64.msi, which installs the
# same files for all users of a computer, each with its SHA-256 beside it
# (<package>.sha256).
#
#   release.sh [--sign CERT.pfx [--password-file FILE] [--timestamp URL]] [BUILD_DIR]
#
#   --sign CERT.pfx       sign the programs (Authenticode, SHA-256) before they
#                         are packed, then the MSI, with the certificate and key
#                         of this PKCS#12 file
#   --password-file FILE  the file that holds the certificate's password (a line
#                         end after it is ignored); never on the command line
#   --timestamp URL       a timestamp server (RFC 3161) for each signature
#   BUILD_DIR             the Windows build folder; build/windows by default
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

usage() {
  sed -n 's/^#   \{0,1\}//p' "${BASH_SOURCE[0]}" | sed -n '/^release.sh/,$p' >&2
  exit 2
}

existing_file() {
  [ -f "$2" ] || { echo "release.sh: $1: no file $2" >&2; exit 2; }
  realpath "$2"
}

# The packaging step (cmake/ReleasePackage.cmake) takes the signing settings
# from the environment, and only from this script.
unset GATEWISE_SIGN_CERT GATEWISE_SIGN_PASSWORD_FILE GATEWISE_TIMESTAMP_URL
build= certificate= password_file= timestamp=
while [ $# -gt 0 ]; do
  case $1 in
    --sign) [ $# -ge 2 ] || usage; certificate=$(existing_file --sign "$2"); shift 2 ;;
    --password-file) [ $# -ge 2 ] || usage; password_file=$(existing_file --password-file "$2"); shift 2 ;;
    --timestamp) [ $# -ge 2 ] && [ -n "$2" ] || usage; timestamp=$2; shift 2 ;;
    -h | --help) usage ;;
    -*) echo "release.sh: unknown option $1" >&2; usage ;;
    *) [ -z "$build" ] || usage; build=$1; shift ;;
  esac
done
if [ -n "$certificate" ]; then
  export GATEWISE_SIGN_CERT=$certificate
  [ -z "$password_file" ] || export GATEWISE_SIGN_PASSWORD_FILE=$password_file
  [ -z "$timestamp" ] || export GATEWISE_TIMESTAMP_URL=$timestamp
elif [ -n "$password_file$timestamp" ]; then
  echo "release.sh: --password-file and --timestamp belong to --sign" >&2
  exit 2
fi
build=${build:-$root/build/windows}

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" -j "$(nproc)" --target release
