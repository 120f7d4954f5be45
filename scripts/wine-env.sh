# Sourced by the scripts that run Windows programs: a private Wine prefix under the build
# folder and an X display of our own, unless the caller already provides both.
# Usage: wine_env_up BUILD_ROOT; ...; wine_env_down

wine_env_up() {
  local root=$1
  mkdir -p "$root"
  export WINEPREFIX=${WINEPREFIX:-$(cd "$root" && pwd)/wineprefix}
  export WINEDEBUG=${WINEDEBUG:--all}
  # No Mono or Gecko install prompts in a prefix that never needs them.
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
  export WINEARCH=win64
  if [ -z "${PELLORY_KEEP_DISPLAY:-}" ] || [ -z "${DISPLAY:-}" ]; then
    # The X server must be up before the first Wine process, or Wine's desktop stays without one.
    local n
    for n in $(seq 90 140); do
      [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
      WINE_ENV_XVFB=$!
      local i
      for i in $(seq 100); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        sleep 0.05
      done
      if kill -0 "$WINE_ENV_XVFB" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
        export DISPLAY=":$n"
        break
      fi
      WINE_ENV_XVFB=
    done
    [ -n "${WINE_ENV_XVFB:-}" ] || { echo "wine-env: could not start Xvfb" >&2; return 1; }
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
  fi
  # Debian's Wine does not look into its own font folder; on Windows these faces (Marlett,
  # Tahoma, MS Sans Serif) live in the Windows font folder, so put them there.
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ -d /usr/share/wine/fonts ] && [ ! -e "$fonts/marlett.ttf" ]; then
    mkdir -p "$fonts"
    cp /usr/share/wine/fonts/* "$fonts/"
  fi
  wineserver -w 2>/dev/null || true
}

wine_env_down() {
  wineserver -k 2>/dev/null || true
  if [ -n "${WINE_ENV_XVFB:-}" ]; then
    kill "$WINE_ENV_XVFB" 2>/dev/null || true
    wait "$WINE_ENV_XVFB" 2>/dev/null || true
    WINE_ENV_XVFB=
  fi
}
