#!/usr/bin/env bash
# Builds the release packages of Gatewise: installs what is missing, builds the
# Windows tree and writes, in <build>/release, gatewise-<version>-win64.zip
# (gatewise.exe stripped, gatewise.chm, gatewise.sym, gatewisecmd.exe when the
# build has it, readme.txt) and gatewise-<version>-x64.msi, which installs the
# same files for all users of a computer, each with its SHA-256 beside it
# (<package>.sha256). With --winget-url, also a winget manifest set for the
# MSI in <build>/release/winget/Vantrel.Gatewise/<version>.
#
#   release.sh [--sign CERT.pfx [--password-file FILE] [--timestamp URL]] [--winget-url BASE_URL] [BUILD_DIR]
#
#   --sign CERT.pfx       sign the programs (Authenticode, SHA-256) before they
#                         are packed, then the MSI, with the certificate and key
#                         of this PKCS#12 file
#   --password-file FILE  the file that holds the certificate's password (a line
#                         end after it is ignored); never on the command line
#   --timestamp URL       a timestamp server (RFC 3161) for each signature
#   --winget-url BASE_URL the https address of the folder from which the MSI
#                         will be downloaded: the manifests name BASE_URL/<msi>
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
build= certificate= password_file= timestamp= winget_url=
while [ $# -gt 0 ]; do
  case $1 in
    --sign) [ $# -ge 2 ] || usage; certificate=$(existing_file --sign "$2"); shift 2 ;;
    --password-file) [ $# -ge 2 ] || usage; password_file=$(existing_file --password-file "$2"); shift 2 ;;
    --timestamp) [ $# -ge 2 ] && [ -n "$2" ] || usage; timestamp=$2; shift 2 ;;
    --winget-url)
      [ $# -ge 2 ] || usage
      [[ $2 =~ ^https?://[^[:space:]]+$ ]] || { echo "release.sh: --winget-url needs an http or https address" >&2; exit 2; }
      winget_url=${2%/}; shift 2 ;;
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
[ -n "$winget_url" ] || exit 0

# The winget manifest set (schema 1.6.0): version, installer and default
# locale files for the MSI just written.
version=$(sed -n 's/^project(Gatewise VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
msi=$build/release/gatewise-$version-x64.msi
property() { msiinfo export "$msi" Property | tr -d '\r' | awk -F '\t' -v name="$1" '$1 == name { print $2 }'; }
product_code=$(property ProductCode)
upgrade_code=$(property UpgradeCode)
sha256=$(sha256sum "$msi" | cut -d ' ' -f 1 | tr a-f A-F)
[ -n "$product_code" ] && [ -n "$upgrade_code" ] || { echo "release.sh: the MSI has no product or upgrade code" >&2; exit 1; }
identifier=Vantrel.Gatewise
manifests=$build/release/winget/$identifier/$version
rm -rf "$manifests"
mkdir -p "$manifests"
header() {
  printf '# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s.1.6.0.schema.json\n\n' "$1"
  printf 'PackageIdentifier: %s\nPackageVersion: "%s"\n' "$identifier" "$version"
}
{
  header version
  printf 'DefaultLocale: en-US\nManifestType: version\nManifestVersion: 1.6.0\n'
} >"$manifests/$identifier.yaml"
{
  header installer
  cat <<EOF
InstallerType: msi
Scope: machine
UpgradeBehavior: install
Installers:
  - Architecture: x64
    InstallerUrl: $winget_url/gatewise-$version-x64.msi
    InstallerSha256: $sha256
    ProductCode: "$product_code"
    AppsAndFeaturesEntries:
      - DisplayName: Gatewise
        Publisher: Vantrel Technologies
        DisplayVersion: "$version"
        ProductCode: "$product_code"
        UpgradeCode: "$upgrade_code"
ManifestType: installer
ManifestVersion: 1.6.0
EOF
} >"$manifests/$identifier.installer.yaml"
{
  header defaultLocale
  cat <<EOF
PackageLocale: en-US
Publisher: Vantrel Technologies
PublisherUrl: https://www.vantrel.com/
PublisherSupportUrl: https://www.vantrel.com/support/
PackageName: Gatewise
PackageUrl: https://www.vantrel.com/gatewise/
License: Proprietary
ShortDescription: Switches with one click how Windows asks for the account password at start-up, on wake and after the screen saver.
Moniker: gatewise
Tags:
  - autologon
  - password
  - screen-saver
ManifestType: defaultLocale
ManifestVersion: 1.6.0
EOF
} >"$manifests/$identifier.locale.en-US.yaml"
echo "winget manifests: $manifests"
