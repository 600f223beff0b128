#!/usr/bin/env python3
"""Writes the crafted malformed inputs of the fuzzing corpora: make_crafted_seeds.py CORPUS_DIR.

One file per class of damage, named for it, in the form each target reads
(tag_list and standin_tags take a selector byte first, id3v2_frame two
control bytes). The unit tests' own cases join them through the seed capture
(scripts/fuzz.sh seeds).
"""
import struct
import sys
from functools import partial
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "pylib"))
from audio_bytes import chunk, fmt, id3_frame as frame, id3_tag as tag, id3v1, ogg_page, syncsafe, wave  # noqa: E402

out = Path(sys.argv[1])


def put(target, name, data):
    d = out / target
    d.mkdir(parents=True, exist_ok=True)
    (d / f"crafted-{name}").write_bytes(bytes(data))


title3 = frame(3, "TIT2", b"\0Title") + frame(3, "TPE1", b"\0Band")
title4 = frame(4, "TIT2", b"\3Title") + frame(4, "TPE1", b"\3Band")

# ID3v2 tags.
put("id3v2_tag", "header-8-bytes", b"ID3\3\0\0\0\0")
put("id3v2_tag", "size-top-bits-set", tag(3, 0, title3, size=b"\x80\x80\x81\xFF"))
for v in (2, 5, 0xFF):
    put("id3v2_tag", f"version-{v}", tag(v, 0, title3))
put("id3v2_tag", "undefined-flags", tag(3, 0x1F, title3))
put("id3v2_tag", "size-beyond-data", tag(3, 0, title3, size=syncsafe(len(title3) + 100)))
put("id3v2_tag", "size-equals-data", tag(3, 0, title3))
put("id3v2_tag", "ext-flag-no-ext-header", tag(3, 0x40, b""))
put("id3v2_tag", "ext-flag-two-bytes", tag(4, 0x40, b"\0\0"))
for n in range(4):
    put("id3v2_tag", f"v3-ext-size-{n}", tag(3, 0x40, struct.pack(">I", n) + b"\0\0" + title3))
    put("id3v2_tag", f"v4-ext-size-{n}", tag(4, 0x40, syncsafe(n) + b"\1\0" + title4))
put("id3v2_tag", "v3-ext-past-end", tag(3, 0x40, struct.pack(">I", 0x7FFFFFF0) + b"\0\0\0\0\0\0" + title3))
put("id3v2_tag", "v4-ext-past-end", tag(4, 0x40, syncsafe(0x0FFFFFF0) + b"\1\0" + title4))
put("id3v2_tag", "v4-ext-size-big-endian", tag(4, 0x40, struct.pack(">I", 6) + b"\1\0" + title4))
put("id3v2_tag", "v3-ext-size-syncsafe", tag(3, 0x40, syncsafe(10) + b"\0\0\0\0\0\0" + title3))
for size, label in ((0, "0"), (1, "1"), (5000, "past-end"), (0xFFFFFFFF, "all-ones")):
    put("id3v2_tag", f"v3-frame-size-{label}", tag(3, 0, frame(3, "TIT2", b"\0T", size=size) + title3))
    put("id3v2_tag", f"v4-frame-size-{label}", tag(4, 0, frame(4, "TIT2", b"\3T", size=size) + title4))
put("id3v2_tag", "v4-frame-size-not-syncsafe", tag(4, 0, b"TIT2\0\0\0\xFF\0\0\3" + b"T" * 254 + title4))
put("id3v2_tag", "thousands-of-tiny-frames", tag(3, 0, frame(3, "TXXX", b"") * 3000 + title3))
put("id3v2_tag", "unsync-ff00-at-end", tag(3, 0x80, title3 + b"\xFF\x00"))
put("id3v2_tag", "unsync-ff-at-end", tag(4, 0x80, title4 + b"\xFF"))
put("id3v2_tag", "v4-footer-flag", tag(4, 0x10, title4) + b"3DI\4\0\x10" + syncsafe(len(title4)))

# What real taggers write beyond plain frames: group bytes and data-length
# indicators, version 2.2 frames, version 4 sizes written plain, and version 4
# frames unsynchronised one by one.
title22 = frame(2, "TT2", b"\0Title") + frame(2, "TP1", b"\0Band")
put("id3v2_tag", "v4-grouping-and-data-length", tag(4, 0, frame(4, "TIT2", b"\x21" + syncsafe(6) + b"\3Title", flags=0x41)
                                                    + frame(4, "TPE1", b"\x21\3Band", flags=0x40)))
put("id3v2_tag", "v4-grouping-and-data-length-cut", tag(4, 0, frame(4, "TIT2", b"\x21\0\0", flags=0x43) + title4))
put("id3v2_tag", "v3-grouping", tag(3, 0, frame(3, "TIT2", b"\x21\0Title", flags=0x20) + title3))
put("id3v2_tag", "v4-unsync-tag-and-frames", tag(4, 0x80, frame(4, "TPE1", b"\1\xFF\0\xFEB\0", flags=0x02)
                                                 + frame(4, "TIT2", b"\3T\xFF\0", flags=0x02)))
put("id3v2_tag", "v4-plain-size-300", tag(4, 0, frame(3, "COMM", b"\3eng\0" + b"c" * 295) + title4))
put("id3v2_tag", "v22-frames", tag(2, 0, title22 + frame(2, "TAL", b"\1\xFF\xFEA\0") + b"\0" * 8))
put("id3v2_tag", "v22-unsync", tag(2, 0x80, frame(2, "TT2", b"\1\xFF\xFEA\0").replace(b"\xFF", b"\xFF\0") + frame(2, "TP1", b"\0Band")))
put("id3v2_tag", "v22-compressed", tag(2, 0x40, title22))
put("id3v2_tag", "v22-header-cut", tag(2, 0, title22 + b"TAL\0"))
put("id3v2_tag", "v22-size-past-end", tag(2, 0, frame(2, "TT2", b"\0T", size=0xFFFFFF) + title22))

# Text frames: flags byte, output size (0: full), encoding, text.
for enc in (4, 5, 0x7F, 0xFF):
    put("id3v2_frame", f"encoding-{enc}", bytes([0, 0, enc]) + b"Text\0")
put("id3v2_frame", "bom-without-text", b"\0\0\1\xFF\xFE")
put("id3v2_frame", "bom-only-big-endian", b"\0\0\1\xFE\xFF")
put("id3v2_frame", "odd-utf16-count", b"\0\0\1\xFF\xFEA\0B")
put("id3v2_frame", "utf16be-odd-count", b"\0\0\2\0A\0")
put("id3v2_frame", "no-terminator-utf8", b"\0\x10\3" + "Жук жук жук".encode())
put("id3v2_frame", "invalid-utf8", b"\0\0\3\xC3\x28\xA0\xA1\xE2\x28\xA1\xF0\x28\x8C\xBC\xF8\x88\x80\x80\x80")
put("id3v2_frame", "lone-surrogates", b"\0\0\1\xFF\xFE\x00\xD8A\0\x00\xDC")
put("id3v2_frame", "unsync-ff00-at-end", b"\1\0\1\xFF\xFE\xFF\x00")
put("id3v2_frame", "ansi-high-bytes", b"\0\x05\0" + bytes(range(0x80, 0x100)))

# Key/value lists: kind byte (0 Vorbis, 1 APE), then the list.
put("tag_list", "no-equals", b"\0TITLE\0ARTIST\0\0")
put("tag_list", "short-entries", b"\1T\0=\0A=\0TITLE=\0\0")
put("tag_list", "long-key", b"\0" + b"K" * 4000 + b"=v\0TITLE=t\0\0")
put("tag_list", "long-value", b"\1TITLE=" + "я".encode() * 30000 + b"\0\0")
put("tag_list", "thousands-of-entries", b"\0" + b"ARTIST=a\0" * 3000 + b"\0")
put("tag_list", "no-closing-empty-string", b"\1YEAR=2001\0TITLE=cut")
# F0-F2: the MP4, WMA and RIFF INFO lists.
put("tag_list", "mp4-words", b"\xF0Title=T\0AlbumArtist=X\0album=A\0DATE=2001\0Track=3/9\0\0")
put("tag_list", "wma-names", b"\xF1Author=A\0WM/AlbumTitle=B\0WM/Year=2002\0title=T\0WM/AlbumArtist=X\0\0")
put("tag_list", "riff-info-ansi", b"\xF2INAM=Caf\xE9\0IART=\xC3\xA9\0IPRD=\xC3\0ICRD=2003\0ICMT=c\0\0")

# ID3v1 tags: the last 128 bytes of the input.
put("id3v1_tag", "plain", id3v1(b"Song", b"Band", b"Album", b"1999"))
put("id3v1_tag", "blank-padded", id3v1(b"Song ", b"Band", b"", b"2001", pad=b" ", comment=bytes(30)))
put("id3v1_tag", "v1.1-track", id3v1(b"Song", comment=bytes(29) + b"\x07"))
put("id3v1_tag", "blank-title", id3v1(b"   ", b"Band", pad=b" ", comment=bytes(30)))
put("id3v1_tag", "full-fields-high-bytes", id3v1(bytes(range(0x80, 0x9E)), bytes(range(0xA0, 0xBE)), b"\xFF" * 30))
put("id3v1_tag", "after-audio", b"\xFF\xFB" * 100 + id3v1(b"Song"))
put("id3v1_tag", "127-bytes", id3v1(b"Song")[:127])
put("id3v1_tag", "no-tag", b"TAX" + b"Song".ljust(125, b"\0"))

# Stand-in tag loaders: selector byte, then the bytes.
def vorbis(vendor, entries, count=None, vendor_len=None):
    body = struct.pack("<I", len(vendor) if vendor_len is None else vendor_len) + vendor
    body += struct.pack("<I", len(entries) if count is None else count)
    for e in entries:
        body += (struct.pack("<I", len(e)) + e) if isinstance(e, bytes) else e
    return body

put("standin_tags", "vorbis-vendor-past-end", b"\0" + vorbis(b"v", [b"TITLE=t"], vendor_len=0xFFFFFFF0))
put("standin_tags", "vorbis-field-wraps", b"\0" + vorbis(b"v", [struct.pack("<I", 0xFFFFFFFC) + b"TITLE=t"]))
put("standin_tags", "vorbis-count-beyond", b"\0" + vorbis(b"v", [b"TITLE=t"], count=1000000))
put("standin_tags", "vorbis-empty-fields", b"\0" + vorbis(b"", [b"", b"\0", b"TITLE=\0x"]))


def ape(items, count=None, size=None, version=2000, flags=0):
    body = b"".join(struct.pack("<II", len(v), f) + k + b"\0" + v for k, v, f in items)
    n = len(items) if count is None else count
    footer = b"APETAGEX" + struct.pack("<IIII", version, len(body) + 32 if size is None else size, n, flags) + b"\0" * 8
    return body + footer

good = [(b"Title", b"T", 0), (b"Artist", b"A", 0)]
put("standin_tags", "ape-items", b"\1" + ape(good))
for s in (0, 1, 31):
    put("standin_tags", f"ape-size-{s}", b"\1" + ape(good, size=s))
put("standin_tags", "ape-size-past-start", b"\1" + ape(good, size=0xFFFFFFF0))
put("standin_tags", "ape-count-beyond", b"\1" + ape(good, count=0xFFFFFFFF))
put("standin_tags", "ape-value-size-past", b"\1" + ape([(b"Title", b"T", 0)]).replace(b"\1\0\0\0", b"\xFF\xFF\0\0", 1))
put("standin_tags", "ape-binary-and-header-flag", b"\1" + ape([(b"Cover", b"\xFF" * 8, 2)], flags=0xA0000000))
put("standin_tags", "ape-then-id3v1", b"\3" + b"\xFF" * 40 + ape(good) + b"TAG" + b"\0" * 125)
put("standin_tags", "id3v2-unknown-size", b"\x82" + tag(3, 0, title3))
put("standin_tags", "id3v2-cut-short", b"\2" + tag(3, 0, title3)[:-5])

# RIFF/WAVE.
riff = partial(wave, size=0)  # a size walkers do not read
data_hdr = chunk(b"data", b"", size=44100 * 4)
cases = {
    "chunk-size-0": riff(chunk(b"LIST", 0), fmt(), data_hdr),
    "chunk-size-all-ones": riff(chunk(b"LIST", b"", size=0xFFFFFFFF), fmt(), data_hdr),
    "odd-size-chunk": riff(chunk(b"junk", 3), fmt(), data_hdr),
    "fmt-shorter-than-16": riff(fmt(size=8), data_hdr),
    "fmt-40-at-eof": riff(fmt(tag=0xFFFE, size=40))[:12 + 8 + 30],
    "zero-channels": riff(fmt(channels=0), data_hdr),
    "zero-rate": riff(fmt(rate=0), data_hdr),
    "zero-bits": riff(fmt(bits=0), data_hdr),
    "two-fmt-chunks": riff(fmt(channels=1), fmt(channels=0), data_hdr),
    "data-before-fmt": riff(data_hdr + b"\0" * 16, fmt()),
    "data-larger-than-file": riff(fmt(), chunk(b"data", bytes(16), size=0x7FFFFFFF)),
    "truncated-http-body": riff(fmt(), data_hdr)[:30],
    "riff-only": riff(),
    "data-not-whole-ms": riff(fmt(), chunk(b"data", b"", size=44100 * 4 - 1)),  # 999.99 ms: cut, not rounded
}
for name, data in cases.items():
    put("riff_buffer", name, data)
    put("riff_local", name, data)
    put("standin_formats", "wav-" + name, data)

# Other containers.
streaminfo = struct.pack(">HHII", 4096, 4096, 0, 0) + bytes([0x0A, 0xC4, 0x42, 0xF0, 0, 0, 0, 0x10]) + b"\0" * 16
put("standin_formats", "flac-block-past-end", b"fLaC" + b"\x00\x00\x00\x22" + streaminfo + b"\x84\xFF\xFF\xFF" + b"\0" * 8)
put("standin_formats", "flac-streaminfo-short", b"fLaC" + b"\x80\x00\x00\x10" + streaminfo[:16])
put("standin_formats", "flac-comment-wraps", b"fLaC" + b"\x00\x00\x00\x22" + streaminfo + b"\x84\x00\x00\x10"
    + struct.pack("<II", 0xFFFFFFFF, 1) + b"\0" * 8)
put("standin_formats", "flac-after-id3v2", tag(3, 0, title3) + b"fLaC" + b"\x80\x00\x00\x22" + streaminfo)
ogg_ident = b"\x01vorbis" + struct.pack("<IBIiiiB", 0, 2, 44100, 0, 128000, 0, 0xB8) + b"\x01"
put("standin_formats", "ogg-ident-only", ogg_page(ogg_ident))
put("standin_formats", "ogg-segments-cut", ogg_page(ogg_ident) + ogg_page(b"\x03vorbis", htype=0, lacing=b"\xFF" * 255))
put("standin_formats", "ogg-comment-count-beyond", ogg_page(ogg_ident) + ogg_page(
    b"\x03vorbis" + vorbis(b"v", [b"TITLE=t"], count=99999) + b"\1", htype=0, seq=1)
    + ogg_page(b"", htype=4, granule=0xFFFFFFFFFFFFFFFF, seq=2))
mp3_frame = b"\xFF\xFB\x90\x64" + b"\0" * 413
put("standin_formats", "mp3-reserved-fields", b"\xFF\xE9\xFC\xFF" * 8)
put("standin_formats", "mp3-xing-all-flags-cut", b"\xFF\xFB\x90\x64" + b"\0" * 32 + b"Xing\0\0\0\x0F\0\0")
put("standin_formats", "mp3-vbri", b"\xFF\xFB\x90\x64" + b"\0" * 32 + b"VBRI" + b"\0" * 10 + b"\xFF\xFF\xFF\xFF" + b"\0" * 360 + mp3_frame)
put("standin_formats", "mp3-two-frames", mp3_frame * 2)
wv_head = lambda size, ver=0x410, flags=0x00801005: b"wvpk" + struct.pack("<IHBBIIII", size, ver, 0, 0, 0xFFFFFFFF, 0, 1024, flags) + b"\0\0\0\0"
put("standin_formats", "wavpack-size-below-24", wv_head(8) + b"\0" * 16)
put("standin_formats", "wavpack-metadata-too-large", wv_head(40) + b"\x8D\xFF\xFF\xFF" + b"\0" * 12)
put("standin_formats", "wavpack-no-total-tail-block", wv_head(24) + b"\0" * 64 + wv_head(24))
dsf_fmt = lambda size: b"fmt " + struct.pack("<QIIIIIIQII", size, 1, 0, 2, 2, 2822400, 1, 1000, 4096, 0)
put("standin_formats", "dsf-fmt-size-huge", b"DSD " + struct.pack("<QQQ", 28, 0, 0) + dsf_fmt(0xFFFFFFFFFFFFFFFF))
put("standin_formats", "dsf-data-below-12", b"DSD " + struct.pack("<QQQ", 28, 0, 0) + dsf_fmt(52) + b"data" + struct.pack("<Q", 4))
put("standin_formats", "dsf-metadata-past-end", b"DSD " + struct.pack("<QQQ", 28, 0, 1 << 40) + dsf_fmt(52) + b"data" + struct.pack("<Q", 12))
put("standin_formats", "dff-chunk-size-wraps", b"FRM8" + struct.pack(">Q", 100) + b"DSD " + b"PROP" + struct.pack(">Q", 0xFFFFFFFFFFFFFFF0) + b"SND ")
