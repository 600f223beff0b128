#!/usr/bin/env bash
# Renders the windows of both deliverables to PNG files in docs/:
#   dsd-settings.png         the plug-in's Config dialog (talhost --config)
#   about-plugin.png         its About box (talhost --about)
#   about-file.png           its details box for a WAV file (talhost --info FILE)
#   select-audio-device.png  devselect's dialog
# The programs run in a Wine prefix of their own (build/wineprefix-shots) whose
# windows live in Wine's virtual desktop, so that Wine draws their frames and
# captions itself, on a private Xvfb screen. Each window is read with windriver,
# photographed, closed without OK, and cropped to its frame.
# Usage: scripts/screenshots.sh [DIST]   (default: build/x64/dist)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/env.sh"
dist="$(cd "${1:-$TANDREL_BUILD/x64/dist}" && pwd)"
docs="$TANDREL_ROOT/docs"
screen=800x600

# A fixed folder: the details box shows the sample's path.
work="${TMPDIR:-/tmp}/tandrel-shots"
rm -rf "$work" && mkdir -p "$work"
xvfb_pid=""
cleanup() {
  "${TANDREL_WINE64%/*}/wineserver" -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own, the size of the virtual desktop, so nothing else shows.
for n in $(seq 170 199); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
    Xvfb ":$n" -screen 0 "${screen}x24" -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    break
  fi
done
[ -n "$xvfb_pid" ] || { echo "screenshots: no free X display" >&2; exit 1; }

export WINEPREFIX="$TANDREL_BUILD/wineprefix-shots" WINEARCH=win64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$TANDREL_WINE64" wineboot --init >/dev/null 2>&1 || true
  "$TANDREL_WINE64" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
  "$TANDREL_WINE64" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$screen" /f >/dev/null
  "${TANDREL_WINE64%/*}/wineserver" -w || true
fi

player="$work/player"
mkdir -p "$player"
cp "$dist"/*.dll "$dist/talhost.exe" "$dist/devselect.exe" "$dist/windriver.exe" "$player/"
# One second of 44.1 kHz 16-bit stereo silence for the details box.
python3 - "$work/Sample.wav" <<'EOF'
import sys, wave
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(2)
    w.setsampwidth(2)
    w.setframerate(44100)
    w.writeframes(b"\0" * 44100 * 4)
EOF
sample="Z:${work//\//\\}\\Sample.wav"
export ALSA_CONFIG_PATH="$work/asound.conf"   # a null default device: quiet, same everywhere
echo 'pcm.!default { type null }' > "$ALSA_CONFIG_PATH"

drive() { "$TANDREL_WINE64" "$player/windriver.exe" --timeout 60000 "$@"; }

# shot NAME CAPTION PROGRAM [ARGS...]
shot() {
  local name="$1" caption="$2"
  shift 2
  ( cd "$player" && exec "$TANDREL_WINE64" "$@" >/dev/null 2>&1 ) &
  local pid=$!
  drive --exe "$(basename "$1")" wait "$caption" >/dev/null
  sleep 1  # let it paint
  import -window root "$work/$name.png"
  drive --exe "$(basename "$1")" wait "$caption" ";" close ";" gone
  wait "$pid" || true
  convert "$work/$name.png" -trim +repage "$docs/$name.png"
  echo "docs/$name.png"
}

mkdir -p "$docs"
shot dsd-settings "DSD Decoder settings" talhost.exe --config
shot about-plugin "About Plugin" talhost.exe --about
shot about-file "About file" talhost.exe --info "$sample"
shot select-audio-device "Select Audio Device" devselect.exe
