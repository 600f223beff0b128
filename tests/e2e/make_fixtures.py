#!/usr/bin/env python3
"""Makes real audio files with Debian's encoders for the end-to-end tests.

Usage: make_fixtures.py OUTDIR

Writes the files and OUTDIR/expected.json: for each file its sample rate,
channel count, source bits (0 for lossy formats) and sample frames as the
tools that made it report them (soxi -s, metaflac --show-total-samples), plus
the tags written into it. DSF and DSDIFF files come from the small writers
below, since no Debian tool writes them.
"""
import json
import struct
import subprocess
import sys
from functools import partial
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "pylib"))
from audio_bytes import chunk, id3_frame, id3_tag  # noqa: E402


def run(*args):
    return subprocess.run([str(a) for a in args], check=True, capture_output=True).stdout.decode().strip()


def sox_tone(path, rate, chans, bits, seconds, encoding="signed-integer"):
    run("sox", "-n", "-r", rate, "-c", chans, "-b", bits, "-e", encoding, path, "synth", seconds, "sine", "440", "vol", "0.5")
    return int(run("soxi", "-s", path))


def write_dsf(path, rate, chans, frames, title=None):
    """DSF: 'DSD ' chunk, 'fmt ' chunk, 'data' chunk of 4096-byte blocks per channel, optional ID3v2 at the end."""
    block = 4096
    blocks = (frames + block * 8 - 1) // (block * 8)
    data = bytes([0x69]) * (block * chans * blocks)  # 0x69: an idle DSD pattern
    tag = b"" if title is None else id3_tag(3, 0, id3_frame(3, "TIT2", b"\x03" + title.encode("utf-8")))
    data_chunk = b"data" + struct.pack("<Q", 12 + len(data)) + data
    fmt = b"fmt " + struct.pack("<QIIIIIIQII", 52, 1, 0, 2 if chans == 2 else 1, chans, rate, 1, frames, block, 0)
    total = 28 + len(fmt) + len(data_chunk) + len(tag)
    metadata = 28 + len(fmt) + len(data_chunk) if tag else 0
    head = b"DSD " + struct.pack("<QQQ", 28, total, metadata)
    Path(path).write_bytes(head + fmt + data_chunk + tag)


def write_dff(path, rate, chans, frames):
    """DSDIFF: FRM8 form with FVER, PROP/SND (FS, CHNL, CMPR) and a DSD sound chunk."""
    data = bytes([0x69]) * (frames // 8 * chans)

    dff_chunk = partial(chunk, order=">Q", pad=True)

    ids = b"".join([b"SLFT", b"SRGT"][:chans]) if chans <= 2 else b"C000" * chans
    prop = b"SND " + dff_chunk(b"FS  ", struct.pack(">I", rate)) + dff_chunk(b"CHNL", struct.pack(">H", chans) + ids) \
        + dff_chunk(b"CMPR", b"DSD " + b"\x0eNot Compressed\0")
    body = b"DSD " + dff_chunk(b"FVER", struct.pack(">I", 0x01050000)) + dff_chunk(b"PROP", prop) + dff_chunk(b"DSD ", data)
    Path(path).write_bytes(b"FRM8" + struct.pack(">Q", len(body)) + body)


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    expected = {}

    def add(name, rate, chans, bits, frames, **extra):
        expected[name] = dict(rate=rate, chans=chans, bits=bits, frames=frames, **extra)

    # PCM sources, several shapes.
    add("pcm16.wav", 44100, 2, 16, sox_tone(out / "pcm16.wav", 44100, 2, 16, 2.5))
    add("pcm24-96k-mono.wav", 96000, 1, 24, sox_tone(out / "pcm24-96k-mono.wav", 96000, 1, 24, 1.3))
    add("float32.wav", 48000, 2, 32, sox_tone(out / "float32.wav", 48000, 2, 32, 0.7, "floating-point"))
    add("pcm24-6ch.wav", 48000, 6, 24, sox_tone(out / "pcm24-6ch.wav", 48000, 6, 24, 0.4))
    add("pcm8-8k.wav", 8000, 1, 8, sox_tone(out / "pcm8-8k.wav", 8000, 1, 8, 3.1, "unsigned-integer"))
    add("tone.aiff", 22050, 2, 16, sox_tone(out / "tone.aiff", 22050, 2, 16, 1.7))
    add("tone.aifc", 32000, 1, 16, sox_tone(out / "tone.aifc", 32000, 1, 16, 0.9))

    src = out / "pcm16.wav"
    frames = expected["pcm16.wav"]["frames"]

    run("flac", "-s", "-f", "--tag=TITLE=Flac Title", "--tag=ARTIST=Flac Artist", "-o", out / "tone.flac", src)
    add("tone.flac", 44100, 2, 16, int(run("metaflac", "--show-total-samples", out / "tone.flac")),
        title="Flac Title", artist="Flac Artist")
    run("flac", "-s", "-f", "-o", out / "hires.flac", out / "pcm24-96k-mono.wav")
    add("hires.flac", 96000, 1, 24, int(run("metaflac", "--show-total-samples", out / "hires.flac")))

    run("lame", "--quiet", "-b", "128", "--tt", "Mp3 Title", "--ta", "Mp3 Artist", "--id3v2-only", src, out / "cbr.mp3")
    add("cbr.mp3", 44100, 2, 0, frames, title="Mp3 Title", artist="Mp3 Artist")
    run("lame", "--quiet", "-V", "4", src, out / "vbr.mp3")
    add("vbr.mp3", 44100, 2, 0, frames)
    run("lame", "--quiet", "-b", "64", "-t", "-m", "m", "--resample", "22.05", src, out / "noinfo-mono.mp3")
    add("noinfo-mono.mp3", 22050, 1, 0, frames // 2)

    run("oggenc", "-Q", "-q", "2", "-t", "Ogg Title", "-a", "Ogg Artist", "-o", out / "tone.ogg", src)
    add("tone.ogg", 44100, 2, 0, int(run("soxi", "-s", out / "tone.ogg")), title="Ogg Title", artist="Ogg Artist")

    run("wavpack", "-q", "-y", "-w", "Title=Wv Title", "-w", "Artist=Wv Artist", src, "-o", out / "tone.wv")
    add("tone.wv", 44100, 2, 16, frames, title="Wv Title", artist="Wv Artist")
    run("wavpack", "-q", "-y", out / "pcm24-6ch.wav", "-o", out / "6ch.wv")
    add("6ch.wv", 48000, 6, 24, expected["pcm24-6ch.wav"]["frames"])

    # Tags the three first readers do not read, as Debian's encoders write them.
    run("lame", "--quiet", "-b", "128", "--id3v1-only", "--tt", "V1 Title", "--ta", "V1 Artist", "--tl", "V1 Album",
        "--ty", "1998", src, out / "id3v1.mp3")
    add("id3v1.mp3", 44100, 2, 0, frames, title="V1 Title", artist="V1 Artist", album="V1 Album", year="1998")
    tags = ["-metadata", "title=Tagged Ünïcode", "-metadata", "artist=Ffmpeg Artist", "-metadata", "album=Ffmpeg Album"]
    ffmpeg = ["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", src]
    # ffmpeg's ASF muxer writes "date" under its own name; the year attribute is WM/Year.
    for name, codec, year in (("info.wav", ["-c:a", "pcm_s16le"], "date"), ("aac.m4a", ["-c:a", "aac", "-b:a", "96k"], "date"),
                              ("alac.m4a", ["-c:a", "alac"], "date"), ("tone.wma", ["-c:a", "wmav2"], "WM/Year")):
        run(*ffmpeg, *codec, *tags, "-metadata", f"{year}=2021", out / name)
        add(name, 44100, 2, 16 if name in ("info.wav", "alac.m4a") else 0, frames, title="Tagged Ünïcode", artist="Ffmpeg Artist",
            album="Ffmpeg Album", year="2021")

    write_dsf(out / "tone.dsf", 2822400, 2, 2822400 * 3 + 1000, title="Dsf Title")
    add("tone.dsf", 2822400, 2, 1, 2822400 * 3 + 1000, title="Dsf Title")
    write_dff(out / "tone.dff", 5644800, 2, 5644800 * 2)
    add("tone.dff", 5644800, 2, 1, 5644800 * 2)

    (out / "expected.json").write_text(json.dumps(expected, indent=1, sort_keys=True))


if __name__ == "__main__":
    main()
