#!/usr/bin/env bash
# The signed release: with a throw-away self-signed certificate (its password
# in a file), scripts/release.sh --sign signs both programs before they are
# packed, in the zip and in the MSI, and then the MSI; osslsigncode verifies
# each against that certificate, and the checksum files match the signed
# packages. A wrong password fails the release before anything is packed, and
# the password never shows in its output.
#
#   release_signing.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
root=$1
build=$2
work=$(mktemp -d /tmp/gatewise-signing.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "image.release_signing: $*" >&2
  exit 1
}

password='Qx7-signing pass'
printf '%s\n' "$password" >"$work/password"
printf 'not the password\n' >"$work/wrong"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Gatewise test signing" \
  -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1 &&
  openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout "file:$work/password" \
    -out "$work/cert.pfx" || fail "openssl made no certificate"

version=$(sed -n 's/^project(Gatewise VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
release=$build/release
zip=gatewise-$version-win64.zip
msi=gatewise-$version-x64.msi
verify() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1; }

verify "$build/gatewise.exe" && fail "osslsigncode verifies an unsigned program"
bash "$root/scripts/release.sh" --sign "$work/cert.pfx" --password-file "$work/wrong" "$build" >"$work/wrong.log" 2>&1 &&
  fail "the release signed with a wrong password"
[ -e "$release/$zip" ] || [ -e "$release/$msi" ] && fail "a release that failed to sign left packages"

bash "$root/scripts/release.sh" --sign "$work/cert.pfx" --password-file "$work/password" "$build" >"$work/release.log" 2>&1 ||
  fail "the signed release failed: $(tail -5 "$work/release.log")"
grep -qF "$password" "$work/release.log" "$work/wrong.log" && fail "the release printed the password"

mkdir "$work/zip" "$work/msi"
(cd "$work/zip" && cmake -E tar xf "$release/$zip") || fail "the zip does not unpack"
msiextract -C "$work/msi" "$release/$msi" >/dev/null || fail "msiextract cannot read the MSI"
for program in "$work/zip/gatewise.exe" "$work/zip/gatewisecmd.exe" "$work/msi/Gatewise/gatewise.exe" \
               "$work/msi/Gatewise/gatewisecmd.exe" "$release/$msi"; do
  verify "$program" || fail "${program#"$work/"} is not signed with the certificate: $(tail -3 "$work/verify.log")"
done
(cd "$release" && sha256sum --quiet -c "$zip.sha256" "$msi.sha256") || fail "the checksum files do not match the signed packages"
echo "image.release_signing: passed"
