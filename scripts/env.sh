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
TANDREL_WINESERVER64=/usr/lib/wine/wineserver
# 32-bit Wine lives in a private root that setup-i386.sh unpacks from Debian 12's
# main archive; qemu-i386 finds its libraries there through QEMU_LD_PREFIX.
TANDREL_WINE32_ROOT="$TANDREL_BUILD/i386root"
TANDREL_WINE32="$TANDREL_WINE32_ROOT/usr/lib/wine/wine"
TANDREL_WINESERVER32="$TANDREL_WINE32_ROOT/usr/lib/wine/wineserver32"

# Never the user's ~/.wine: a prefix under the build tree ($TANDREL_BUILD/NAME,
# default wineprefix64), made on first use.
tandrel_wine_prefix64() {  # [NAME]
  local name="${1:-wineprefix64}"
  export WINEPREFIX="$TANDREL_BUILD/$name"
  export WINEARCH=win64
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$TANDREL_BUILD"
    ( flock 9
      if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$TANDREL_WINE64" wineboot --init >/dev/null 2>&1 || true
        "$TANDREL_WINESERVER64" -w || true
      fi
    ) 9>"$TANDREL_BUILD/.$name.lock"
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

# The environment of 32-bit Wine in the prefix $TANDREL_BUILD/NAME, made on first
# use (after setup-i386.sh): loader and server from the root, and TANDREL_WINE and
# TANDREL_WINESERVER, which the end-to-end tests and the benchmark take, set to them.
tandrel_wine_prefix32() {  # NAME
  export QEMU_LD_PREFIX="$TANDREL_WINE32_ROOT"
  export WINEPREFIX="$TANDREL_BUILD/$1"
  export WINEARCH=win32
  export WINESERVER="$TANDREL_WINESERVER32"
  export TANDREL_WINE="$TANDREL_WINE32" TANDREL_WINESERVER="$TANDREL_WINESERVER32"
  local ready="$WINEPREFIX/drive_c/windows/system32/zlib1.dll"
  if [ ! -f "$ready" ]; then
    mkdir -p "$TANDREL_BUILD"
    ( flock 9
      if [ ! -f "$ready" ]; then
        # Debian's Wine loads zlib1.dll (which user32.dll needs) from a system
        # folder the root does not have: wineboot finds it through WINEDLLPATH,
        # programs in system32.
        local zlib="$TANDREL_WINE32_ROOT/usr/i686-w64-mingw32/lib"
        WINEDLLPATH="$zlib" "$TANDREL_WINE32" wineboot --init >/dev/null 2>&1 || true
        "$TANDREL_WINESERVER32" -w || true
        cp "$zlib/zlib1.dll" "$ready"
      fi
    ) 9>"$TANDREL_BUILD/.$1.lock"
  fi
}
