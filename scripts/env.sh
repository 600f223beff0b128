# Shared settings of the project's scripts; source it, don't run it.
TANDREL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TANDREL_BUILD="${TANDREL_BUILD:-$TANDREL_ROOT/build}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono/Gecko installers, and no debugger: a crashed program ends at once instead of hanging.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}"
# A window test that times out on a loaded machine gets one more try; any other
# failure counts at once.
TANDREL_PYTEST_RETRY="--reruns 1 --only-rerun TimeoutExpired"
# With wine32 installed, /usr/bin/wine picks the 32-bit loader; call wine64 directly.
TANDREL_WINE64="${TANDREL_WINE64:-/usr/lib/wine/wine64}"

# Never the user's ~/.wine: a prefix under the build tree, made on first use.
tandrel_wine_prefix64() {
  export WINEPREFIX="$TANDREL_BUILD/wineprefix64"
  export WINEARCH=win64
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$TANDREL_BUILD"
    ( flock 9
      if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$TANDREL_WINE64" wineboot --init >/dev/null 2>&1 || true
        /usr/lib/wine/wineserver -w || true
      fi
    ) 9>"$TANDREL_BUILD/.wineprefix64.lock"
  fi
  # Windows need a display: use the caller's, or a private Xvfb for this shell.
  if [ -z "${DISPLAY:-}" ]; then tandrel_start_xvfb; fi
}

tandrel_start_xvfb() {
  local n
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
      TANDREL_XVFB_PID=$!
      export DISPLAY=":$n"
      for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
      trap 'kill $TANDREL_XVFB_PID 2>/dev/null || true' EXIT
      return 0
    fi
  done
  echo "no free X display for Xvfb" >&2
  return 1
}
