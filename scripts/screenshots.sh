#!/usr/bin/env bash
# Renders the windows of both deliverables to PNG files in docs/:
#   dsd-settings.png         the plug-in's Config dialog (talhost --config)
#   about-plugin.png         its About box (talhost --about)
#   about-file.png           its details box for a WAV file (talhost --info FILE)
#   select-audio-device.png  devselect's dialog
# and the pages of the release's installer (build/release; 32-bit, so under
# 32-bit Wine with the i686 windriver), into a player's folder whose bass.dll
# is release 2.4.12:
#   installer-welcome.png  installer-folder.png  installer-finish.png
#   uninstaller-confirm.png
# The programs run in Wine prefixes of their own (build/wineprefix-shots and
# build/wineprefix-shots32) whose windows live in Wine's virtual desktop, so
# that Wine draws their frames and captions itself, on a private Xvfb screen.
# Each window is read with windriver, photographed, closed without OK, and
# cropped to its frame.
# Usage: scripts/screenshots.sh [dialogs|installer] [DIST]
#   (default: both; DIST is build/x64/dist)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/env.sh"
which=all
case "${1:-}" in dialogs|installer) which=$1; shift ;; esac
dist="$(cd "${1:-$TANDREL_BUILD/x64/dist}" && pwd)"
docs="$TANDREL_ROOT/docs"
screen=800x600

# A fixed folder: the details box shows the sample's path.
work="${TMPDIR:-/tmp}/tandrel-shots"
rm -rf "$work" && mkdir -p "$work"
xvfb_pid=""
cleanup() {
  WINEPREFIX="$TANDREL_BUILD/wineprefix-shots" "$TANDREL_WINESERVER64" -k 2>/dev/null || true
  WINEPREFIX="$TANDREL_BUILD/wineprefix-shots32" QEMU_LD_PREFIX="$TANDREL_WINE32_ROOT" "$TANDREL_WINESERVER32" -k 2>/dev/null || true
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

# desktop_prefix: the prefix in WINEPREFIX (made by env.sh's functions) with a
# virtual desktop the size of the screen; wine and wineserver are its loader and server.
desktop_prefix() {
  if [ ! -f "$WINEPREFIX/.tandrel-desktop" ]; then
    "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
    "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$screen" /f >/dev/null
    "$wineserver" -w || true
    touch "$WINEPREFIX/.tandrel-desktop"
  fi
}
tandrel_wine_prefix64 wineprefix-shots
wine=$TANDREL_WINE64 wineserver=$TANDREL_WINESERVER64
desktop_prefix

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

windriver="$player/windriver.exe"
drive() { "$wine" "$windriver" --timeout 60000 "$@"; }

# photo NAME: the screen, cropped to the one window on it.
photo() {
  sleep 1  # let it paint
  import -window root "$work/$1.png"
  convert "$work/$1.png" -trim +repage "$docs/$1.png"
  echo "docs/$1.png"
}

# shot NAME CAPTION PROGRAM [ARGS...]
shot() {
  local name="$1" caption="$2"
  shift 2
  ( cd "$player" && exec "$wine" "$@" >/dev/null 2>&1 ) &
  local pid=$!
  drive --exe "$(basename "$1")" wait "$caption" >/dev/null
  photo "$name"
  drive --exe "$(basename "$1")" wait "$caption" ";" close ";" gone
  wait "$pid" || true
}

mkdir -p "$docs"
if [ "$which" != installer ]; then
  shot dsd-settings "DSD Decoder settings" talhost.exe --config
  shot about-plugin "About Plugin" talhost.exe --about
  shot about-file "About file" talhost.exe --info "$sample"
  shot select-audio-device "Select Audio Device" devselect.exe
fi
[ "$which" = dialogs ] && exit 0

# The installer, page by page (Next is button 1 of its window), into the
# default folder, where a bass.dll of release 2.4.12 waits for its warning.
WINEPREFIX="$TANDREL_BUILD/wineprefix-shots" "$TANDREL_WINESERVER64" -k 2>/dev/null || true
tandrel_wine_prefix32 wineprefix-shots32
wine=$TANDREL_WINE32 wineserver=$TANDREL_WINESERVER32
desktop_prefix
windriver="$TANDREL_BUILD/i686/dist/windriver.exe"
setup=$(ls "$TANDREL_BUILD"/release/lumesrc-*-setup.exe)
version=$(basename "$setup" -setup.exe)
version=${version#lumesrc-}
folder="$WINEPREFIX/drive_c/Program Files/Tandrel Mini"
rm -rf "$folder" && mkdir -p "$folder"
python3 - "$TANDREL_BUILD/i686/dist/lumesrc.dll" "$folder/bass.dll" <<'EOF'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
fixed = data.index(struct.pack("<I", 0xFEEF04BD))  # the version resource's fixed part
struct.pack_into("<II", data, fixed + 8, 2 << 16 | 4, 12 << 16)
open(sys.argv[2], "wb").write(data)
EOF
# Past the first page the caption ends in a blank (the page's empty subcaption).
caption="Tandrel Mini companions $version Setup"
( cd "$work" && exec "$wine" "$setup" >/dev/null 2>&1 ) &
pid=$!
drive wait "$caption" >/dev/null
photo installer-welcome
drive wait "$caption" ";" click 1 >/dev/null
photo installer-folder
drive wait "$caption " ";" click 1 >/dev/null
sleep 5  # the files page passes on to the last page by itself
drive wait "$caption " >/dev/null
photo installer-finish
drive wait "$caption " ";" click 1 ";" gone
wait "$pid" || true

# The uninstaller hands over to a copy of itself and returns at once.
caption="Tandrel Mini companions $version Uninstall "
( cd "$work" && exec "$wine" "$folder/lumesrc-uninstall.exe" >/dev/null 2>&1 )
drive wait "$caption" >/dev/null
photo uninstaller-confirm
drive wait "$caption" ";" close ";" gone
