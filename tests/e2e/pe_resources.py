"""Reads resources back out of a built PE module (32- or 64-bit): the raw data
by type and name, dialog templates (classic and extended) and version
resources decoded."""
import struct
from pathlib import Path

RT_DIALOG = 5
RT_VERSION = 16
RT_MANIFEST = 24

CLASS_ORDINALS = {0x80: "Button", 0x81: "Edit", 0x82: "Static", 0x83: "ListBox", 0x84: "ScrollBar",
                  0x85: "ComboBox"}


def _sections(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[pe:pe + 4] == b"PE\0\0", "not a PE module"
    count, opt_size = struct.unpack_from("<H12xH", data, pe + 4 + 2)
    opt = pe + 24
    magic = struct.unpack_from("<H", data, opt)[0]
    dirs = opt + (96 if magic == 0x10B else 112)
    res_rva, res_size = struct.unpack_from("<II", data, dirs + 2 * 8)
    sections = []
    table = opt + opt_size
    for i in range(count):
        vsize, va, raw_size, raw_ptr = struct.unpack_from("<IIII", data, table + i * 40 + 8)
        sections.append((va, max(vsize, raw_size), raw_ptr))
    return sections, res_rva, res_size


def _offset(sections, rva):
    for va, size, raw in sections:
        if va <= rva < va + size:
            return rva - va + raw
    raise ValueError(f"RVA {rva:#x} outside every section")


def read_resources(path):
    """{(type, name): [data per language]}; ids are ints, names are strings."""
    data = Path(path).read_bytes()
    sections, res_rva, _ = _sections(data)
    if res_rva == 0:
        return {}
    base = _offset(sections, res_rva)

    def entries(offset):
        named, ids = struct.unpack_from("<12xHH", data, base + offset)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", data, base + offset + 16 + i * 8)
            if name & 0x80000000:
                at = base + (name & 0x7FFFFFFF)
                length = struct.unpack_from("<H", data, at)[0]
                name = data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            yield name, target

    out = {}
    for rtype, t1 in entries(0):
        for rname, t2 in entries(t1 & 0x7FFFFFFF):
            for _, leaf in entries(t2 & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", data, base + leaf)
                at = _offset(sections, rva)
                out.setdefault((rtype, rname), []).append(data[at:at + size])
    return out


class _Reader:
    def __init__(self, data):
        self.data = data
        self.pos = 0

    def take(self, fmt):
        values = struct.unpack_from("<" + fmt, self.data, self.pos)
        self.pos += struct.calcsize("<" + fmt)
        return values if len(values) > 1 else values[0]

    def align(self, n):
        self.pos = (self.pos + n - 1) // n * n

    def text(self):
        end = self.pos
        while self.data[end:end + 2] != b"\0\0":
            end += 2
        value = self.data[self.pos:end].decode("utf-16-le")
        self.pos = end + 2
        return value

    def sz_or_ord(self):
        first = struct.unpack_from("<H", self.data, self.pos)[0]
        if first == 0xFFFF:
            self.pos += 2
            return self.take("H")
        if first == 0:
            self.pos += 2
            return ""
        return self.text()


def parse_dialog(blob):
    """A dialog template as a dict, its controls in template order."""
    r = _Reader(blob)
    version, signature = struct.unpack_from("<HH", blob, 0)
    extended = version == 1 and signature == 0xFFFF
    dlg = {"extended": extended}
    if extended:
        r.pos = 4
        dlg["help_id"], dlg["exstyle"], dlg["style"] = r.take("III")
    else:
        dlg["style"], dlg["exstyle"] = r.take("II")
    count = r.take("H")
    dlg["rect"] = list(r.take("hhhh"))
    dlg["menu"] = r.sz_or_ord()
    dlg["class"] = r.sz_or_ord()
    dlg["caption"] = r.text()
    if dlg["style"] & 0x40:  # DS_SETFONT (DS_SHELLFONT includes it)
        dlg["font_size"] = r.take("H")
        if extended:
            dlg["font_weight"], dlg["font_italic"], dlg["font_charset"] = r.take("HBB")
        dlg["font"] = r.text()
    controls = []
    for _ in range(count):
        r.align(4)
        c = {}
        if extended:
            c["help_id"], c["exstyle"], c["style"] = r.take("III")
            rect = r.take("hhhh")
            c["id"] = r.take("i")
        else:
            c["style"], c["exstyle"] = r.take("II")
            rect = r.take("hhhh")
            c["id"] = r.take("h")
        c["rect"] = list(rect)
        cls = r.sz_or_ord()
        c["class"] = CLASS_ORDINALS.get(cls, cls) if isinstance(cls, int) else cls
        c["text"] = r.sz_or_ord()
        extra = r.take("H")
        r.pos += extra
        controls.append(c)
    dlg["controls"] = controls
    return dlg


def parse_version(blob):
    """A version resource: (file version as 4 numbers, {string name: value})."""
    ms, ls = struct.unpack_from("<II", blob, _value_at(blob, 0) + 8)
    strings = {}

    def walk(pos, end):
        while pos < end:
            length, value_length, kind = struct.unpack_from("<HHH", blob, pos)
            r = _Reader(blob)
            r.pos = pos + 6
            key = r.text()
            value = _value_at(blob, pos)
            if kind == 1 and value_length:  # a text value: a string of a StringTable
                strings[key] = blob[value:value + 2 * value_length].decode("utf-16-le").rstrip("\0")
            elif key in ("VS_VERSION_INFO", "StringFileInfo") or len(key) == 8 and key.isalnum():
                walk(value + (52 if key == "VS_VERSION_INFO" else 0), pos + length)
            pos = (pos + length + 3) // 4 * 4

    walk(0, len(blob))
    return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF), strings


def _value_at(blob, pos):
    """Where the value of the version node at `pos` starts: after its key, 4-aligned."""
    end = pos + 6
    while blob[end:end + 2] != b"\0\0":
        end += 2
    return (end + 2 + 3) // 4 * 4
