#!/usr/bin/env bash
# The main job: build everything, make sample audio, and show what the plug-in
# reports for it through the reference host, in library mode and in WAV-only mode.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/env.sh"
"$here/setup.sh"
"$here/build.sh"
tandrel_wine_prefix64

demo="$TANDREL_BUILD/demo"
rm -rf "$demo" && mkdir -p "$demo/player"
"$here/make_samples.sh" "$demo/samples" >/dev/null
cp "$TANDREL_BUILD/x64/dist/"*.dll "$TANDREL_BUILD/x64/dist/talhost.exe" "$demo/player/"
samples="Z:${demo//\//\\}\\samples"

echo "== the module record =="
( cd "$demo/player" && "$TANDREL_WINE64" talhost.exe --module )
echo
echo "== library mode: $samples =="
( cd "$demo/player" && "$TANDREL_WINE64" talhost.exe "$samples" "http://127.0.0.1:1/offline.mp3" )
echo
echo "== WAV-only mode (OnlyWav=1 in Tandrel.ini) =="
printf '[Tandrel]\r\nOnlyWav=1\r\n' > "$demo/player/Tandrel.ini"
( cd "$demo/player" && "$TANDREL_WINE64" talhost.exe "$samples" )
