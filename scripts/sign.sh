#!/usr/bin/env bash
# Signs each FILE in place (a program, a setup program or a Windows Installer package) with the
# certificate in PELLORY_SIGN_PFX, its password in PELLORY_SIGN_PASSWORD (empty when it has none),
# SHA-256, and a timestamp from the RFC 3161 server PELLORY_SIGN_TIMESTAMP when one is named.
# The one place that knows osslsigncode's options; the build calls it.
# Usage: sign.sh FILE...
set -euo pipefail
: "${PELLORY_SIGN_PFX:?sign.sh: PELLORY_SIGN_PFX names no certificate}"
stamp=()
[ -n "${PELLORY_SIGN_TIMESTAMP:-}" ] && stamp=(-ts "$PELLORY_SIGN_TIMESTAMP")
for file in "$@"; do
  # Written beside the file, then moved over it: a failed signing leaves no half-signed file.
  # The password goes through a pipe, never on a command line.
  out="$file.signing"
  rm -f "$out"
  if ! printf '%s' "${PELLORY_SIGN_PASSWORD:-}" |
    osslsigncode sign -pkcs12 "$PELLORY_SIGN_PFX" -readpass - -h sha256 -n Pellory \
      "${stamp[@]}" -in "$file" -out "$out" >/dev/null; then
    rm -f "$out"
    echo "sign.sh: could not sign $file" >&2
    exit 1
  fi
  mv -f "$out" "$file"
done
