# Sourced by the scripts that run Windows programs: a private Wine prefix under the build
# folder and an X display of our own, unless the caller already provides both.
# Usage: trap wine_env_down EXIT; wine_env_up BUILD_ROOT
# A failed wine_env_up takes down what it started itself, too.

# Whether this host runs 32-bit programs, decided once by trying Wine's 32-bit loader: some
# kernels run 64-bit user code only, and there Debian's wine script still picks that loader, so
# every Wine command fails with "Exec format error". PELLORY_HOST_32=no makes a host that can
# behave as one that cannot. Every Wine command of the scripts goes through wine() below.
# Both Windows builds, configured and built, without a list of what a former run could not run.
windows_builds() {
  local preset
  for preset in mingw-x86_64 mingw-i686; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    rm -f "build/${preset#mingw-}/bin/not-run.txt"
  done
}

wine_host() {
  if [ -z "${PELLORY_HOST_SAID:-}" ]; then
    local how="this host runs"
    case ${PELLORY_HOST_32:-} in
      yes | no) how="this host is taken to run (PELLORY_HOST_32=$PELLORY_HOST_32)" ;;
      *)
        PELLORY_HOST_32=no
        if /usr/lib/wine/wine --version >/dev/null 2>&1; then PELLORY_HOST_32=yes; fi
        ;;
    esac
    if [ "$PELLORY_HOST_32" = yes ]; then
      echo "$how 32- and 64-bit code: both builds are run"
    else
      echo "$how 64-bit code only: the 32-bit programs are built and checked, not run"
    fi
    export PELLORY_HOST_SAID=1
  fi
  export PELLORY_HOST_32
  # Wine starts a 64-bit program's children through WINELOADER.
  [ "$PELLORY_HOST_32" = yes ] || export WINELOADER=/usr/lib/wine/wine64
}

wine() {
  if [ "${PELLORY_HOST_32:-}" = no ]; then
    /usr/lib/wine/wine64 "$@"
  else
    command wine "$@"
  fi
}

wine_env_up() {
  local root=$1 shipped=/usr/share/wine/fonts face
  wine_host
  # Checked before anything starts. Debian's Wine does not look into its own font folder; on
  # Windows these faces (Marlett, Tahoma, MS Sans Serif) live in the Windows font folder, so
  # they are copied there.
  for face in marlett tahoma tahomabd ms_sans_serif; do
    if [ ! -f "$shipped/$face.ttf" ]; then
      echo "wine-env: Wine's fonts are missing ($shipped/$face.ttf, package fonts-wine);" \
        "run scripts/setup.sh as root" >&2
      return 1
    fi
  done
  mkdir -p "$root" || return 1
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
      kill "$WINE_ENV_XVFB" 2>/dev/null
      wait "$WINE_ENV_XVFB" 2>/dev/null
      WINE_ENV_XVFB=
    done
    [ -n "${WINE_ENV_XVFB:-}" ] || { echo "wine-env: could not start Xvfb" >&2; return 1; }
  fi
  WINE_ENV_STARTED=1
  if [ ! -f "$WINEPREFIX/system.reg" ] && ! wine wineboot -i >/dev/null 2>&1; then
    echo "wine-env: wineboot could not set up the prefix $WINEPREFIX" >&2
    wine_env_down
    return 1
  fi
  # A program that crashes ends at once, its stack on the output, instead of waiting at Wine's
  # crash dialog for nobody until the test run's time is up.
  if ! grep -qs '"ShowCrashDialog"=dword:00000000' "$WINEPREFIX/user.reg" &&
    ! wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      >/dev/null 2>&1; then
    echo "wine-env: could not turn off Wine's crash dialog; a crash will wait until the timeout" >&2
  fi
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ ! -e "$fonts/marlett.ttf" ] && ! { mkdir -p "$fonts" && cp "$shipped"/*.ttf "$fonts/"; }; then
    echo "wine-env: could not copy Wine's fonts into $fonts" >&2
    wine_env_down
    return 1
  fi
  wineserver -w 2>/dev/null || true
}

wine_env_down() {
  # Only the prefix this script set up: never a wineserver of the user's own.
  [ -n "${WINE_ENV_STARTED:-}" ] && { wineserver -k 2>/dev/null || true; }
  WINE_ENV_STARTED=
  if [ -n "${WINE_ENV_XVFB:-}" ]; then
    kill "$WINE_ENV_XVFB" 2>/dev/null || true
    wait "$WINE_ENV_XVFB" 2>/dev/null || true
    WINE_ENV_XVFB=
  fi
}
