#!/usr/bin/env bash
# Installs the Debian packages that building and testing Gatewise need, when any
# is missing. Quiet when everything is already there.
set -euo pipefail

packages=(
  cmake make g++ mingw-w64
  wine wine64 xvfb xauth xdotool imagemagick x11-utils
  googletest libgtest-dev libbenchmark-dev
  libz-mingw-w64-dev zlib1g-dev
  librsvg2-bin zopfli fonts-liberation fonts-wine fp-utils-3.2.2 python3
  clang libclang-rt-14-dev
  libcli11-dev nlohmann-json3-dev
  wixl msitools osslsigncode openssl python3-yaml
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
