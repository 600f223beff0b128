"""The least a query needs: the byte ranges a reader must see for shape, length
and tags of a corpus file (headers and tag bytes, no audio), and the 4 KiB pages
they fall in. The I/O table sets these beside what talhost read."""
import struct
from pathlib import Path

from bench_common import PAGE


def syncsafe(b):
    return (b[0] & 0x7F) << 21 | (b[1] & 0x7F) << 14 | (b[2] & 0x7F) << 7 | (b[3] & 0x7F)


def id3v2_span(data, pos=0):
    h = data[pos:pos + 10]
    if len(h) < 10 or h[:3] != b"ID3":
        return 0
    return 10 + syncsafe(h[6:10]) + (10 if h[3] >= 4 and h[5] & 0x10 else 0)


def trailing_tag_ranges(data, start):
    """Probes for an ID3v1 tag and an APEv2 footer at the end, and the APE items when there are some."""
    end, ranges = len(data), []
    if end - start >= 128:
        ranges.append((end - 128, 3))
        if data[end - 128:end - 125] == b"TAG":
            end -= 128
    if end >= 32:
        ranges.append((end - 32, 32))
        foot = data[end - 32:end]
        if foot[:8] == b"APETAGEX":
            size = struct.unpack("<I", foot[12:16])[0]
            ranges.append((end - size, size - 32))
    return ranges


def leading_id3v2(data):
    """The ranges of a leading ID3v2 tag (none without one) and where what follows it starts."""
    pos = id3v2_span(data)
    return ([(0, pos)] if pos else []), pos


def flac_ranges(data):
    """The FLAC marker, each metadata block's header up to the last STREAMINFO or Vorbis comment, and those two."""
    ranges, pos = leading_id3v2(data)
    ranges.append((pos, 4))
    pos += 4
    blocks = []
    while pos + 4 <= len(data):
        t, size = data[pos] & 0x7F, int.from_bytes(data[pos + 1:pos + 4], "big")
        blocks.append((pos, t, size))
        pos += 4 + size
        if data[blocks[-1][0]] & 0x80:
            break
    last = max(i for i, b in enumerate(blocks) if b[1] in (0, 4))
    for p, t, size in blocks[:last + 1]:
        ranges.append((p, 4))
        if t in (0, 4):
            ranges.append((p + 4, size))
    return ranges


def mp3_ranges(data):
    """A leading ID3v2 tag, the first frame's header and its Xing/Info (and LAME) header, the tags at the end."""
    ranges, pos = leading_id3v2(data)
    while pos + 4 <= len(data) and not (data[pos] == 0xFF and data[pos + 1] & 0xE0 == 0xE0):
        pos += 1
    h = data[pos:pos + 4]
    mpeg1, mono = (h[1] >> 3) & 3 == 3, (h[3] >> 6) & 3 == 3
    xing = 4 + ((17 if mono else 32) if mpeg1 else (9 if mono else 17))
    need = 4
    tag = data[pos + xing:pos + xing + 4]
    if tag in (b"Xing", b"Info"):
        flags = struct.unpack(">I", data[pos + xing + 4:pos + xing + 8])[0]
        fields = 4 * bool(flags & 1) + 4 * bool(flags & 2) + 100 * bool(flags & 4) + 4 * bool(flags & 8)
        need = xing + 8 + fields
        if data[pos + need:pos + need + 4] in (b"LAME", b"Lavc", b"Lavf"):
            need += 24
    ranges.append((pos, need))
    ranges += trailing_tag_ranges(data, pos)
    return ranges


def ogg_ranges(data):
    """The page headers and bodies up to the comment packet's end, and the last page's header."""
    ranges = []
    pages, pos = [], 0
    while pos + 27 <= len(data) and data[pos:pos + 4] == b"OggS":
        segs = data[pos + 26]
        lacing = data[pos + 27:pos + 27 + segs]
        pages.append((pos, segs, lacing))
        pos += 27 + segs + sum(lacing)
    packet, done = 0, False
    for n, (p, segs, lacing) in enumerate(pages):
        if done:
            break
        ranges.append((p, 27 + segs))
        body = p + 27 + segs
        for length in lacing:
            if packet <= 1:
                ranges.append((body, length))  # identification and comment packets
            body += length
            if length < 255:
                packet += 1
                if packet == 2:
                    done = True
                    break
    p, segs, _ = pages[-1]
    ranges.append((p, 27 + segs))  # the last page's granule position
    return ranges


def wv_ranges(data):
    """The first block's header and the tags at the end."""
    pos = data.find(b"wvpk")
    return [(pos, 32)] + trailing_tag_ranges(data, pos)


def wav_ranges(data, tags):
    """The RIFF header, every chunk header, the format chunk and (with tags) an ID3 chunk."""
    ranges = [(0, 12)]
    pos, seen = 12, set()
    while pos + 8 <= len(data) and (tags or not {b"fmt ", b"data"} <= seen):
        cid, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        seen.add(cid)
        ranges.append((pos, 8))
        if cid == b"fmt ":
            ranges.append((pos + 8, min(size, 40)))
        elif cid in (b"id3 ", b"ID3 ") and tags:
            ranges.append((pos + 8, size))
        pos += 8 + size + (size & 1)
    return ranges


def minimal_ranges(path, tags=True):
    """Byte ranges a reader must see for shape, length and tags: headers and tag bytes, no audio.
    Without tags (the WAV-only mode) a WAV file needs its header up to the data chunk's size."""
    data = Path(path).read_bytes()
    ext = Path(path).suffix.lower()
    ranges = []
    if ext == ".flac":
        ranges = flac_ranges(data)
    elif ext == ".mp3":
        ranges = mp3_ranges(data)
    elif ext == ".ogg":
        ranges = ogg_ranges(data)
    elif ext == ".wv":
        ranges = wv_ranges(data)
    elif ext == ".wav":
        ranges = wav_ranges(data, tags)
    return [(o, n) for o, n in ranges if n > 0]


def pages_of(ranges):
    pages = set()
    for offset, length in ranges:
        pages.update(range(offset // PAGE, (offset + length - 1) // PAGE + 1))
    return pages

