#!/usr/bin/env bash
# Makes a small folder of tagged sample audio with real encoders: make_samples.sh DIR
set -euo pipefail
out="${1:?usage: make_samples.sh DIR}"
mkdir -p "$out/Album"
tmp="$(mktemp -d)"; trap 'rm -rf "$tmp"' EXIT
sox -n -r 44100 -c 2 -b 16 "$tmp/tone.wav" synth 3.5 sine 440 vol 0.3
sox -n -r 22050 -c 1 -b 8 "$out/Mono tone 22k.wav" synth 2 sine 660 vol 0.3
sox -n -r 96000 -c 2 -b 24 "$out/Hi-res 96k.aiff" synth 1.25 sine 330 vol 0.3
cp "$tmp/tone.wav" "$out/Plain tone.wav"
flac -s -f -o "$out/Album/01 - Opening.flac" -T "TITLE=Opening" -T "ARTIST=The Examples" -T "ALBUM=Test Pressing" \
  -T "DATE=2019" "$tmp/tone.wav"
lame --quiet --id3v2-only --tt "Second Song" --ta "The Examples" --tl "Test Pressing" --ty 2019 \
  "$tmp/tone.wav" "$out/Album/02 - Second Song.mp3"
oggenc -Q -t "Третья песня" -a "Примеры" -l "Test Pressing" -d 2019 -o "$out/Album/03 - Third.ogg" "$tmp/tone.wav"
wavpack -q -y -w "Title=Fourth" -w "Artist=The Examples" -w "Year=2019" "$tmp/tone.wav" -o "$out/Album/04 - Fourth.wv"
echo "samples in $out"
