#!/usr/bin/env bash
# Makes the small real files of the fuzzing corpora with Debian's encoders
# (sox, flac, lame, oggenc, wavpack, ffmpeg; DSF/DSDIFF with the fixture writers):
#   make_real_seeds.sh CORPUS_DIR
# Each goes to CORPUS_DIR/<target>/real-<name>; they are committed, so this
# runs only when the set of real seeds changes.
set -euo pipefail
corpus="${1:?usage: make_real_seeds.sh CORPUS_DIR}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
tmp="$(mktemp -d)"; trap 'rm -rf "$tmp"' EXIT
formats="$corpus/standin_formats"
mkdir -p "$formats" "$corpus/riff_buffer" "$corpus/riff_local" "$corpus/id3v2_tag" "$corpus/standin_tags"

tone() { sox -n "$@" synth 0.06 sine 440 vol 0.5; }
tone -r 8000 -c 2 -b 16 "$tmp/pcm16.wav"
tone -r 8000 -c 1 -b 8 -e unsigned-integer "$tmp/pcm8.wav"
tone -r 8000 -c 2 -b 32 -e floating-point "$tmp/float32.wav"
tone -r 8000 -c 6 -b 24 "$tmp/pcm24-6ch-extensible.wav"
tone -r 8000 -c 2 -b 16 "$tmp/tone.aiff"
tone -r 8000 -c 1 -b 16 -t aifc "$tmp/tone.aifc"
for f in "$tmp"/*.wav "$tmp"/*.aiff "$tmp"/*.aifc; do cp "$f" "$formats/real-$(basename "$f")"; done
for f in "$tmp"/*.wav; do
  cp "$f" "$corpus/riff_buffer/real-$(basename "$f")"
  cp "$f" "$corpus/riff_local/real-$(basename "$f")"
done

src="$tmp/pcm16.wav"
tone -r 44100 -c 2 -b 16 "$tmp/cd.wav"
flac -s -f --padding=16 --tag=TITLE=Flac --tag=ARTIST=Band --tag=ALBUM=Album --tag=DATE=2019 -o "$formats/real-tags.flac" "$src"
lame --quiet -b 32 --tt "Mp3 Title" --ta Band --tl Album --ty 2019 --id3v2-only "$tmp/cd.wav" "$formats/real-cbr-id3v23.mp3"
lame --quiet -V 9 "$tmp/cd.wav" "$formats/real-vbr-xing.mp3"
lame --quiet -b 8 -t -m m --resample 8 "$tmp/cd.wav" "$formats/real-mpeg25-noinfo.mp3"
lame --quiet -b 32 --tt Both --ta Band --add-id3v2 "$tmp/cd.wav" "$formats/real-id3v1-and-v2.mp3"
oggenc -Q -q 0 -t "Ogg Title" -a Band -l Album -d 2019 -o "$formats/real-tags.ogg" "$src"
wavpack -q -y -w "Title=Wv" -w "Artist=Band" -w "Year=2019" "$src" -o "$formats/real-apetag.wv"
lame --quiet -b 32 --id3v1-only --tt "V1 Title" --ta Band --tl Album --ty 2019 "$tmp/cd.wav" "$formats/real-id3v1-only.mp3"
meta=(-metadata "title=Ffmpeg Title" -metadata artist=Band -metadata album=Album)
ffmpeg=(ffmpeg -nostdin -loglevel error -y -i "$src")
"${ffmpeg[@]}" -c:a pcm_s16le "${meta[@]}" -metadata date=2019 "$formats/real-riff-info.wav"
"${ffmpeg[@]}" -c:a aac -b:a 16k "${meta[@]}" -metadata date=2019 "$formats/real-ilst-aac.m4a"
"${ffmpeg[@]}" -c:a alac "${meta[@]}" -metadata date=2019 "$formats/real-ilst-alac.m4a"
"${ffmpeg[@]}" -c:a wmav2 -b:a 32k "${meta[@]}" -metadata WM/Year=2019 "$formats/real-asf.wma"
python3 - "$here/../e2e" "$formats" <<'PY'
import sys
sys.path.insert(0, sys.argv[1])
from make_fixtures import write_dsf, write_dff
write_dsf(sys.argv[2] + "/real-id3.dsf", 2822400, 2, 4096 * 8 + 100, title="Dsf")
write_dff(sys.argv[2] + "/real.dff", 2822400, 2, 2048 * 8)
PY

# The tag of the lame file alone, as the library hands ID3v2 blocks over.
python3 - "$formats/real-cbr-id3v23.mp3" "$corpus/id3v2_tag/real-lame-v23" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
size = 10 + ((data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9])
open(sys.argv[2], "wb").write(data[:size])
PY
# The stand-in's tag loaders over real tails and heads (selector byte first).
{ printf '\x01'; cat "$formats/real-apetag.wv"; } > "$corpus/standin_tags/real-ape-footer.wv"
{ printf '\x03'; cat "$formats/real-id3v1-and-v2.mp3"; } > "$corpus/standin_tags/real-id3v1-trailer.mp3"
{ printf '\x02'; cat "$formats/real-cbr-id3v23.mp3"; } > "$corpus/standin_tags/real-id3v2-head.mp3"
du -sh "$corpus"
