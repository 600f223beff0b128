"""Bytes of the formats the tests and tools craft, one home each: RIFF chunks and WAV files, ID3v2 frames and tags,
ID3v1 tags, Ogg pages. The end-to-end tests, the fuzz seeds and the fixtures take them from here."""
import struct


def chunk(cid, body, size=None, order="<I", pad=False):
    """A chunk: id, size, body. `body` is the bytes or a count of 0xAB filler bytes; `size` replaces the body's in
    the header; `order` is the size's struct format (RIFF "<I", AIFF ">I", DSDIFF ">Q"); `pad` adds the pad byte
    after an odd body."""
    body = b"\xab" * body if isinstance(body, int) else body
    return cid + struct.pack(order, len(body) if size is None else size) + body + (b"\0" if pad and len(body) & 1 else b"")


def fmt(tag=1, channels=2, rate=44100, bits=16, sub_format=None, size=None):
    """A "fmt " chunk: the 16-byte block (or the 40-byte extensible one, with a sub-format), cut or padded with zeros
    to `size` bytes when given."""
    align = channels * bits // 8
    block = struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits)
    if sub_format is not None:
        block += struct.pack("<HHII", 22, bits, 3, sub_format) + bytes(12)
    if size is not None:
        block = (block + bytes(24))[:size]
    return chunk(b"fmt ", block)


def data_header(size):
    """A data chunk's header alone: the samples it counts are not there."""
    return chunk(b"data", b"", size=size)


def wave(*chunks, form=b"RIFF", size=None):
    """A RIFF/WAVE file of the chunks; `size` replaces the form's size (walkers do not read it)."""
    body = b"".join(chunks)
    return form + struct.pack("<I", 4 + len(body) if size is None else size) + b"WAVE" + body


def pcm_wave(rate, channels, bits, frames, sample=b"\x01"):
    """A PCM WAV of `frames` frames of `sample` bytes."""
    return wave(fmt(1, channels, rate, bits), chunk(b"data", sample * (frames * channels * bits // 8)))


def syncsafe(n):
    """Seven bits a byte, as ID3v2 writes its sizes."""
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def id3_frame(version, fid, data, flags=0, size=None):
    """An ID3v2 frame laid out the version's way: version 2 (2.2) a 3-character id, a 3-byte size and no flags;
    version 3 a plain size, version 4 a syncsafe one; `flags` is the second flag byte. A `size` given replaces the
    data's, written plain in versions 3 and 4 (as a damaged tag has it)."""
    n = len(data) if size is None else size
    if version == 2:
        return fid.encode() + n.to_bytes(3, "big") + data
    head = syncsafe(n) if version >= 4 and size is None else struct.pack(">I", n & 0xFFFFFFFF)
    return fid.encode() + head + bytes([0, flags]) + data


def id3_frames(version, frames):
    """Frames (id, data) or (id, data, second flag byte), one after another."""
    return b"".join(id3_frame(version, *f) for f in frames)


def id3_tag(version, flags, body, size=None):
    """An ID3v2 tag of `body`; `size`, the header's four size bytes as given (a damaged header), replaces the body's."""
    return b"ID3" + bytes([version, 0, flags]) + (syncsafe(len(body)) if size is None else size) + body


def unsynchronise(data):
    """A 00 after every FF that precedes 00 or a byte from E0 up, and after a final FF."""
    out = bytearray()
    for i, byte in enumerate(data):
        out.append(byte)
        if byte == 0xFF and (i + 1 == len(data) or data[i + 1] == 0 or data[i + 1] >= 0xE0):
            out.append(0)
    return bytes(out)


def id3v1(title, artist=b"", album=b"", year=b"", pad=b"\0", comment=None):
    """An ID3v1 tag, each field padded with `pad` (the comment too unless given), genre 12."""
    comment = pad * 30 if comment is None else comment
    return b"TAG" + b"".join(f.ljust(n, pad) for f, n in ((title, 30), (artist, 30), (album, 30), (year, 4))) \
        + comment + b"\x0c"


def ogg_page(body, htype=2, granule=0, serial=1, seq=0, lacing=None):
    """An Ogg page (checksum 0); the lacing values of one packet of `body` unless given."""
    lac = lacing if lacing is not None else bytes([255] * (len(body) // 255) + [len(body) % 255])
    return b"OggS\0" + bytes([htype]) + struct.pack("<QIII", granule, serial, seq, 0) + bytes([len(lac)]) + lac + body
