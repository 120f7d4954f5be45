#!/usr/bin/env bash
# Checks the winget manifests of a release folder (scripts/release.sh): every field schema 1.6
# requires, with the type and form it requires, read as YAML reads it; the hashes, the product
# and upgrade codes and the versions against the files beside them.
# Usage: check-manifests.sh RELEASE-FOLDER
set -euo pipefail
dir=$1
failures=0
fail() {
  echo "check-manifests: $*" >&2
  failures=$((failures + 1))
}

# Flattens the block YAML the manifests use into lines "path<TAB>type<TAB>value": a scalar's type
# as YAML 1.1 reads it (a quoted one is a string), a block's array or object.
flatten() {
  awk '
    function type(v) {
      if (v ~ /^".*"$/ || v ~ /^\047.*\047$/) return "string"
      if (v ~ /^(|~|null|Null|NULL)$/) return "null"
      if (v ~ /^(true|false|yes|no|on|off|y|n)$/ || v ~ /^(True|False|Yes|No|On|Off|TRUE|FALSE|YES|NO|ON|OFF)$/) return "boolean"
      if (v ~ /^[-+]?(0|[1-9][0-9_]*|0x[0-9a-fA-F_]+|0o?[0-7_]+)$/) return "integer"
      if (v ~ /^[-+]?([0-9][0-9_]*)?\.[0-9_]*([eE][-+]?[0-9]+)?$/ || v ~ /^[-+]?[0-9]+[eE][-+]?[0-9]+$/) return "number"
      if (v ~ /^[][{}&*!|>%@`,]/ || v ~ /: / || v ~ / #/) return "other"
      return "string"
    }
    function unquote(v) { return v ~ /^["\047]/ ? substr(v, 2, length(v) - 2) : v }
    function pop(i, item) { while (d > 0 && (isItem[d] ? ind[d] > i || (item && ind[d] >= i) : ind[d] >= i + item)) d-- }
    /^[ ]*(#|$)/ { next }
    {
      match($0, /^ */); i = RLENGTH; s = substr($0, i + 1); parent = path[d]
      if (s ~ /^- /) {
        pop(i, 1); parent = path[d]
        if (!d || isItem[d] || kind[parent] == "object") { print parent "\tother\t" s; next }
        kind[parent] = "array"; item = parent "[" count[parent]++ "]"; s = substr(s, 3); i += 2
        if (s !~ /^[A-Za-z]+:( |$)/) { print item "\t" type(s) "\t" unquote(s); next }
        d++; ind[d] = i; path[d] = item; isItem[d] = 1; kind[item] = "object"; print item "\tobject\t"
      } else {
        pop(i, 0)
      }
      parent = path[d]
      if (parent != "" && kind[parent] == "array") { print parent "\tother\t" s; next }
      if (parent != "") kind[parent] = "object"
      key = s; sub(/:.*/, "", key); value = substr(s, length(key) + 2); sub(/^ +/, "", value)
      name = parent == "" ? key : parent "." key
      if (seen[name]++) print name "\tduplicate\t"
      if (value != "") { print name "\t" type(value) "\t" unquote(value); next }
      d++; ind[d] = i; path[d] = name; isItem[d] = 0; blocks[name] = 1
    }
    END { for (b in blocks) print b "\t" (kind[b] ? kind[b] : "null") "\t" }
  ' "$1"
}

# FILE FIELD TYPE [PATTERN [MIN MAX]]: FIELD must be there with that type, its value matching
# PATTERN (ERE) and MIN to MAX characters long.
check() {
  local line type value
  line=$(grep -P "^\Q$2\E\t" <<<"$fields" | head -1) || { fail "$file: no $2"; return; }
  IFS=$'\t' read -r _ type value <<<"$line"
  [ "$type" = "$3" ] || { fail "$file: $2 is a $type, not a $3"; return; }
  [ -z "${4:-}" ] || grep -qE -- "$4" <<<"$value" || fail "$file: $2 is '$value', not of the form $4"
  [ -z "${5:-}" ] || ((${#value} >= $5 && ${#value} <= $6)) || fail "$file: $2 is not $5 to $6 long"
}
value() { grep -P "^\Q$1\E\t" <<<"$fields" | cut -f3; }

id='^[^.[:space:]\\/:*?"<>|]{1,32}(\.[^.[:space:]\\/:*?"<>|]{1,32}){1,7}$'
version='^[^\\/:*?"<>|[:cntrl:]]+$'
locale='^([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*$'
common() {
  check "$file" PackageIdentifier string "$id"
  check "$file" PackageVersion string "$version" 1 128
  check "$file" ManifestType string "^$1$"
  check "$file" ManifestVersion string '^1\.6\.0$'
  [ "$(value PackageIdentifier)" = "$packageId" ] || fail "$file: another PackageIdentifier"
  [ "$(value PackageVersion)" = "$packageVersion" ] || fail "$file: another PackageVersion"
}

versionFiles=("$dir"/winget/*.yaml)
file=$(grep -l '^ManifestType: version$' "${versionFiles[@]}") || { fail "no version manifest"; exit 1; }
fields=$(flatten "$file")
packageId=$(value PackageIdentifier)
packageVersion=$(value PackageVersion)
common version
check "$file" DefaultLocale string "$locale"
[ "$(basename "$file")" = "$packageId.yaml" ] || fail "$file: not named $packageId.yaml"

file=$dir/winget/$packageId.locale.$(value DefaultLocale).yaml
fields=$(flatten "$file")
common defaultLocale
check "$file" PackageLocale string "$locale"
check "$file" Publisher string . 2 256
check "$file" PackageName string . 2 256
check "$file" License string . 3 512
check "$file" ShortDescription string . 3 256

file=$dir/winget/$packageId.installer.yaml
fields=$(flatten "$file")
common installer
check "$file" Installers array
unread=$(grep -P '\tother\t|\tduplicate\t' <<<"$fields" || true)
[ -z "$unread" ] || fail "$file: cannot read (not of the manifests' block form, or twice): $unread"
types='^(msix|msi|appx|exe|zip|inno|nullsoft|wix|burn|pwa|portable)$'
check "$file" Scope string '^(user|machine)$'
check "$file" ElevationRequirement string '^(elevationRequired|elevationProhibited|elevatesSelf)$'
installers=$(grep -cP '^Installers\[[0-9]+\]\t' <<<"$fields")
[ "$installers" -eq 4 ] || fail "$file: $installers installers, not both kinds for both architectures"
for ((n = 0; n < installers; n++)); do
  at="Installers[$n]"
  check "$file" "$at" object
  check "$file" "$at.Architecture" string '^(x86|x64|arm|arm64|neutral)$'
  check "$file" "$at.InstallerType" string "$types"
  check "$file" "$at.InstallerUrl" string '^[Hh][Tt][Tt][Pp][Ss]?://.+$' 1 2048
  check "$file" "$at.InstallerSha256" string '^[A-Fa-f0-9]{64}$'
  check "$file" "$at.ProductCode" string . 1 255
  check "$file" "$at.InstallerSwitches" object
  check "$file" "$at.AppsAndFeaturesEntries" array
  check "$file" "$at.AppsAndFeaturesEntries[0]" object
  entry="$at.AppsAndFeaturesEntries[0]"
  check "$file" "$entry.DisplayVersion" string
  [ "$(value "$entry.DisplayVersion")" = "$packageVersion" ] || fail "$entry: another version"
  [ "$(value "$entry.ProductCode")" = "$(value "$at.ProductCode")" ] || fail "$entry: another code"
  # The file itself: its hash, and for a package the codes and version Windows Installer reads.
  url=$(value "$at.InstallerUrl")
  installer=$dir/${url##*/}
  [ -f "$installer" ] || { fail "$at: no file ${url##*/} beside the manifests"; continue; }
  sum=$(sha256sum "$installer" | cut -d' ' -f1)
  [ "${sum^^}" = "$(value "$at.InstallerSha256")" ] || fail "$at: the hash is not ${url##*/}'s"
  if [ "$(value "$at.InstallerType")" = wix ]; then
    properties=$(msiinfo export "$installer" Property | tr -d '\r')
    for code in ProductCode UpgradeCode; do
      path=$at.ProductCode
      [ $code = UpgradeCode ] && path=$entry.UpgradeCode
      grep -qxF "$code	$(value "$path")" <<<"$properties" || fail "$path: not the package's $code"
    done
    grep -qxF "ProductVersion	$packageVersion" <<<"$properties" ||
      fail "$at: the package shows another version than $packageVersion"
  else
    check "$file" "$at.InstallerSwitches.Silent" string
    check "$file" "$at.InstallerSwitches.SilentWithProgress" string
  fi
done

((failures == 0)) || exit 1
echo "check-manifests: the manifests in $dir/winget hold every required field and match the files"
