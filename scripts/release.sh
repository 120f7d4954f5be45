#!/usr/bin/env bash
# Makes build/release/<version>/: the four installers, a zip per architecture of its two bare
# programs, SHA256SUMS and the winget manifests (winget/, the multi-file form of schema 1.6),
# building what is missing first. With PELLORY_SIGN_PFX (and PELLORY_SIGN_PASSWORD, and
# PELLORY_SIGN_TIMESTAMP for a timestamp server) every file in it is signed; see README.md.
# BASE-URL is where the files will be downloaded from; the manifests' InstallerUrl start with it.
# PELLORY_RELEASE_ROOT builds elsewhere than build/ (without the tests), as the test of this
# script does, so as not to change the normal build.
# Usage: release.sh [BASE-URL]
set -euo pipefail
cd "$(dirname "$0")/.."
base=${1:-https://example.invalid/pellory}
base=${base%/}
root=${PELLORY_RELEASE_ROOT:-build}
if [ -n "${PELLORY_SIGN_PFX:-}" ]; then
  PELLORY_SIGN_PFX=$(realpath "$PELLORY_SIGN_PFX")
  export PELLORY_SIGN_PFX
fi

for arch in x86_64 i686; do
  configure=(--preset "mingw-$arch")
  [ "$root" = build ] || configure+=(-B "$root/$arch" -DBUILD_TESTING=OFF)
  cmake "${configure[@]}" >/dev/null
  cmake --build "$root/$arch" --target pellory_setup pellory_package
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/x86_64/CMakeCache.txt")
out=$root/release/$version
rm -rf "$out"
mkdir -p "$out/winget"

property() { msiinfo export "$1" Property | tr -d '\r' | sed -n "s/^$2\t//p"; }
sha() { sha256sum "$1" | cut -d' ' -f1 | tr a-f A-F; }
installers=
for arch in x86_64 i686; do
  [ "$arch" = x86_64 ] && name=x64 || name=x86
  bin=$root/$arch/bin
  cp "$bin/Pellory-$version-$name-setup.exe" "$bin/Pellory-$version-$name.msi" "$out/"
  zip -q -X -j "$out/Pellory-$version-$name.zip" "$bin/Pellory.exe" "$bin/Brannock.exe"
  msi=$out/Pellory-$version-$name.msi
  product=$(property "$msi" ProductCode)
  # What the list of installed programs shows: the package's version, which setup writes too.
  shown=$(property "$msi" ProductVersion)
  [ "$shown" = "$version" ] || { echo "release: the package says $shown, the project $version" >&2; exit 1; }
  installers+="- Architecture: $name
  InstallerType: wix
  InstallerUrl: $base/Pellory-$version-$name.msi
  InstallerSha256: $(sha "$msi")
  InstallerSwitches:
    InstallLocation: INSTALLDIR=\"<INSTALLPATH>\"
  ProductCode: '$product'
  AppsAndFeaturesEntries:
  - DisplayName: Pellory
    Publisher: Varnholt
    DisplayVersion: '$shown'
    ProductCode: '$product'
    UpgradeCode: '$(property "$msi" UpgradeCode)'
- Architecture: $name
  InstallerType: nullsoft
  InstallerUrl: $base/Pellory-$version-$name-setup.exe
  InstallerSha256: $(sha "$out/Pellory-$version-$name-setup.exe")
  InstallerSwitches:
    Silent: /S
    SilentWithProgress: /S
    InstallLocation: /D=<INSTALLPATH>
  ProductCode: Pellory
  AppsAndFeaturesEntries:
  - DisplayName: Pellory
    Publisher: Varnholt
    DisplayVersion: '$shown'
    ProductCode: Pellory
"
done
(cd "$out" && sha256sum -- *.exe *.msi *.zip >SHA256SUMS)

id=Varnholt.Pellory
summary="Registers and unregisters COM files (OCX, DLL, EXE, TLB) from their context menu"
summary+=" and shows the outcome in a small balloon."
head="# yaml-language-server: \$schema=https://aka.ms/winget-manifest"
printf '%s\n' \
  "$head.version.1.6.0.schema.json" \
  "PackageIdentifier: $id" \
  "PackageVersion: '$version'" \
  "DefaultLocale: en-US" \
  "ManifestType: version" \
  "ManifestVersion: 1.6.0" >"$out/winget/$id.yaml"
printf '%s\n' \
  "$head.defaultLocale.1.6.0.schema.json" \
  "PackageIdentifier: $id" \
  "PackageVersion: '$version'" \
  "PackageLocale: en-US" \
  "Publisher: Varnholt" \
  "PackageName: Pellory" \
  "License: Proprietary" \
  "Copyright: Copyright (c) Varnholt" \
  "ShortDescription: $summary" \
  "Tags:" \
  "- com" \
  "- regsvr32" \
  "- typelib" \
  "ManifestType: defaultLocale" \
  "ManifestVersion: 1.6.0" >"$out/winget/$id.locale.en-US.yaml"
printf '%s\n' \
  "$head.installer.1.6.0.schema.json" \
  "PackageIdentifier: $id" \
  "PackageVersion: '$version'" \
  "InstallerLocale: en-US" \
  "Platform:" \
  "- Windows.Desktop" \
  "Scope: machine" \
  "InstallModes:" \
  "- interactive" \
  "- silent" \
  "- silentWithProgress" \
  "UpgradeBehavior: install" \
  "ElevationRequirement: elevatesSelf" \
  "FileExtensions:" \
  "- ocx" \
  "- dll" \
  "- exe" \
  "- tlb" \
  "Installers:" \
  "${installers}ManifestType: installer" \
  "ManifestVersion: 1.6.0" >"$out/winget/$id.installer.yaml"
echo "release: $out${PELLORY_SIGN_PFX:+ (signed)}"
