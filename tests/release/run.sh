#!/usr/bin/env bash
# The signed release, in a build folder of its own (build/signing) so that the normal build stays
# as it is: a throwaway certificate authority and code-signing certificate, scripts/release.sh
# with them, then every file of the release verified against that authority (and a copy with one
# byte changed refused), the programs inside the zips and the packages, the manifests and
# checksums; under Wine (64-bit), the uninstaller the signed setup program writes, the signed
# package installed and removed by msiexec, and one end-to-end run of the signed Pellory.
# Run by scripts/test.sh after the normal builds, in its Wine; alone, it brings up its own.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=build/signing
. scripts/wine-env.sh
passed=0
failed=0
ok() {
  echo "  ok: $*"
  passed=$((passed + 1))
}
bad() {
  echo "  FAILED: $*" >&2
  failed=$((failed + 1))
}
verify() { osslsigncode verify -CAfile "$ca/ca.crt" -in "$1" >/dev/null 2>&1; }
# FILE: signed by the test certificate, and a copy with one byte in its middle changed is not.
expectSigned() {
  local copy=$scratch/changed-${1##*/} half byte
  if verify "$1"; then ok "${2:-${1#"$root"/}} is signed"; else bad "${2:-$1} does not verify"; fi
  cp "$1" "$copy"
  half=$(($(stat -c %s "$copy") / 2))
  byte=$(($(od -An -tu1 -j "$half" -N1 "$copy") ^ 1))
  # shellcheck disable=SC2059
  printf "\\$(printf %03o "$byte")" | dd of="$copy" bs=1 seek="$half" conv=notrunc 2>/dev/null
  if verify "$copy"; then bad "a changed copy of ${1##*/} still verifies"; else ok "a changed copy of ${1##*/} is refused"; fi
}

# The throwaway authority and certificate, new each run.
ca=$root/ca
scratch=$root/scratch
rm -rf "$ca" "$scratch"
mkdir -p "$ca" "$scratch"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Pellory test authority" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign \
  -keyout "$ca/ca.key" -out "$ca/ca.crt" 2>/dev/null &&
  openssl req -newkey rsa:2048 -nodes -subj "/CN=Pellory test signer" -keyout "$ca/sign.key" \
    -out "$ca/sign.csr" 2>/dev/null &&
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' \
    >"$ca/sign.ext" &&
  openssl x509 -req -days 2 -in "$ca/sign.csr" -CA "$ca/ca.crt" -CAkey "$ca/ca.key" \
    -CAcreateserial -extfile "$ca/sign.ext" -out "$ca/sign.crt" 2>/dev/null &&
  openssl pkcs12 -export -in "$ca/sign.crt" -inkey "$ca/sign.key" -passout pass:throwaway \
    -out "$ca/sign.pfx" || { echo "release test: openssl could not make the certificate" >&2; exit 1; }

PELLORY_RELEASE_ROOT=$root PELLORY_SIGN_PFX=$ca/sign.pfx PELLORY_SIGN_PASSWORD=throwaway \
  scripts/release.sh https://downloads.example.org/pellory >"$scratch/release.log" 2>&1 ||
  { cat "$scratch/release.log"; echo "release test: scripts/release.sh failed" >&2; exit 1; }
release=$(sed -n 's/^release: \(.*\) (signed)$/\1/p' "$scratch/release.log")
echo "The signed release: $release"

for file in "$release"/*.exe "$release"/*.msi; do expectSigned "$file"; done
for zip in "$release"/*.zip; do
  mkdir -p "$scratch/${zip##*/}"
  unzip -q -o "$zip" -d "$scratch/${zip##*/}"
  for program in Pellory.exe Brannock.exe; do
    expectSigned "$scratch/${zip##*/}/$program" "$program in ${zip##*/}"
  done
done
for msi in "$release"/*.msi; do
  (mkdir -p "$scratch/${msi##*/}" && cd "$scratch/${msi##*/}" && msiextract "$(realpath "$OLDPWD/$msi")" >/dev/null)
  for program in Pellory.exe Brannock.exe; do
    file=$(find "$scratch/${msi##*/}" -name "$program")
    if [ -n "$file" ] && verify "$file"; then ok "$program in ${msi##*/} is signed"; else bad "$program in ${msi##*/}"; fi
  done
done
if (cd "$release" && sha256sum --quiet -c SHA256SUMS); then ok "SHA256SUMS"; else bad "SHA256SUMS"; fi
if tests/release/check-manifests.sh "$release"; then ok "the manifests"; else bad "the manifests"; fi

if [ -z "${PELLORY_WINE_READY:-}" ]; then
  trap wine_env_down EXIT
  wine_env_up build || exit 1
  export PELLORY_WINE_READY=1
fi
# The setup program's own uninstaller, as it writes it, and the programs beside it.
folder='C:\pellory-signed'
installed=$(wine winepath -u "$folder" 2>/dev/null)
rm -rf "$installed"
if wine "$release/Pellory-"*"-x64-setup.exe" /S "/D=$folder" >/dev/null 2>&1; then
  for program in uninst.exe Pellory.exe Brannock.exe; do
    if verify "$installed/$program"; then ok "$program as setup writes it is signed"; else bad "$program as setup writes it"; fi
  done
  wine "$folder\\uninst.exe" /S "_?=$folder" >/dev/null 2>&1 || bad "the signed uninstaller failed"
  [ -e "$installed/Pellory.exe" ] && bad "the signed uninstaller left Pellory.exe"
else
  bad "the signed setup program failed"
fi
rm -rf "$installed"
# The signed package, installed and removed by Wine's msiexec.
msi=$(wine winepath -w "$release/Pellory-"*"-x64.msi" 2>/dev/null)
if wine msiexec /i "$msi" /qn "INSTALLDIR=$folder\\" >/dev/null 2>&1 && verify "$installed/Pellory.exe"; then
  ok "the signed package installs its signed programs"
else
  bad "the signed package did not install"
fi
if wine msiexec /x "$msi" /qn >/dev/null 2>&1 && [ ! -e "$installed/Pellory.exe" ]; then
  ok "the signed package uninstalls"
else
  bad "the signed package did not uninstall"
fi
# One end-to-end run of the signed Pellory: the driver and its servers of the normal build, beside
# the signed program.
e2e=$root/e2e/x86_64/bin
rm -rf "$e2e"
mkdir -p "$e2e"
cp -r build/x86_64/bin/. "$e2e/"
cp "$root/x86_64/bin/Pellory.exe" "$e2e/"
if scripts/wine-run.sh --gtest "$e2e/e2e.exe" --gtest_filter=Table/PelloryCase.Run/Action_Register \
  --gtest_color=no >"$scratch/e2e.log" 2>&1; then
  ok "the signed Pellory passes an end-to-end run"
else
  cat "$scratch/e2e.log"
  bad "the signed Pellory's end-to-end run"
fi
rm -f "$e2e/not-run.txt"

echo "release: $passed passed, $failed failed"
((failed == 0))
