#!/usr/bin/python3
"""Library-scan benchmark: how fast talhost (the plug-in through the stand-in
library, or the media library in --library DIR, under Wine) reports length and
tags for a folder of audio files, against what users would run instead (ffprobe
per file, one mutagen process), and what one plug-in query costs in file I/O.

    bench/run.sh [--files N] [--repeats R] [--library DIR] [--out DIR] [--baseline FILE.json]

Writes DIR/RESULTS.md, DIR/results.json and DIR/files_per_second.png
(DIR defaults to bench/). Every timing is wall-clock over the same corpus,
repeated; tables give the minimum and the median. Tools that are not
installed (ffprobe, strace, mutagen, matplotlib) are skipped and say so.
"""
import argparse
import datetime
import json
import os
import platform
import random
import re
import resource
import shutil
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
BUILD = Path(os.environ.get("TANDREL_BUILD", ROOT / "build"))
CORPUS_VERSION = 3
AUDIO_EXTS = (".flac", ".mp3", ".ogg", ".wv", ".wav")
PAGE = 4096
# How ffprobe is asked, as shell scripts that scan a library do: duration and
# the four tags (APEv2 names the year "Year"), from the container and (Ogg
# keeps them there) the stream.
FFPROBE_ARGS = ["-v", "error", "-show_entries",
                "format=duration:format_tags=title,artist,album,date,year:stream_tags=title,artist,album,date,year",
                "-of", "json"]


def log(*parts):
    print("bench:", *parts, file=sys.stderr, flush=True)


def run(*args, **kw):
    return subprocess.run([str(a) for a in args], check=True, capture_output=True, **kw).stdout.decode().strip()


# ---- corpus ------------------------------------------------------------------

# The source files: (kind, seconds, rate, channels, bits, variant, title, artist, album, year).
# Kinds: flac, mp3-id3v23, mp3-id3v24, ogg, wv, wav. Variants pick encoder
# settings and extras (cover art, ID3v1, no tag).
SOURCES = [
    ("flac", 24, 44100, 2, 16, "plain", "Opening Theme", "The Examples", "Test Pressing", "2019"),
    ("flac", 31, 44100, 2, 16, "cover", "Zweites Stück", "Die Beispiele", "Probedruck", "2020"),
    ("flac", 17, 48000, 2, 24, "plain", "Третья песня", "Примеры", "Пробный оттиск", "2018"),
    ("flac", 12, 96000, 2, 24, "cover", "Hi-Res Étude", "Quartet Ensemble", "Studio Masters", "2021"),
    ("flac", 28, 44100, 1, 16, "plain", "Mono Memories", "Solo Voice", "Archive Tapes", "1967"),
    ("flac", 20, 44100, 2, 16, "plain", "四番目の曲", "サンプルズ", "試聴盤", "2015"),
    ("mp3-id3v23", 26, 44100, 2, 16, "vbr", "Radio Edit", "The Examples", "Singles", "2012"),
    ("mp3-id3v23", 33, 44100, 2, 16, "cbr", "Long Version", "Orchestra Nova", "Live at Home", "2008"),
    ("mp3-id3v23", 18, 44100, 2, 16, "noxing-id3v1", "Old Rip", "Tape Deck", "Mixtape", "1999"),
    ("mp3-id3v23", 22, 48000, 2, 16, "cover", "Cover Story", "Art Department", "Sleeves", "2016"),
    ("mp3-id3v23", 15, 22050, 1, 16, "vbr", "Voice Memo", "Narrator", "Spoken Word", "2010"),
    ("mp3-id3v23", 29, 44100, 2, 16, "vbr", "Çà et là", "Les Exemples", "Disque d'essai", "2011"),
    ("mp3-id3v24", 25, 44100, 2, 16, "vbr", "Fourth Street", "Urban Sound", "City Maps", "2022"),
    ("mp3-id3v24", 30, 44100, 2, 16, "cbr", "Fifth Avenue", "Urban Sound", "City Maps", "2022"),
    ("mp3-id3v24", 19, 44100, 2, 16, "cover", "Sixth Sense", "Perception", "Senses", "2023"),
    ("mp3-id3v24", 23, 32000, 2, 16, "vbr", "Низкая частота", "Басы", "Глубина", "2005"),
    ("mp3-id3v24", 27, 44100, 2, 16, "noxing-id3v1", "Legacy", "Old Guard", "Reissues", "1988"),
    ("mp3-id3v24", 14, 44100, 2, 16, "vbr", "Short Cut", "Editors", "Outtakes", "2019"),
    ("ogg", 24, 44100, 2, 16, "q3", "Ogg Anthem", "Free Formats", "Open Sources", "2014"),
    ("ogg", 32, 44100, 2, 16, "q6", "Vorbis Waltz", "Free Formats", "Open Sources", "2014"),
    ("ogg", 16, 22050, 1, 16, "q2", "Mono Vorbis", "Small Band", "Demos", "2009"),
    ("ogg", 21, 48000, 2, 16, "q4", "Ελληνικό τραγούδι", "Παραδείγματα", "Δοκιμή", "2017"),
    ("ogg", 28, 44100, 2, 16, "q5", "Northern Lights", "Aurora", "Polar", "2020"),
    ("ogg", 13, 44100, 2, 16, "q3", "Interlude", "Free Formats", "Open Sources", "2014"),
    ("wv", 22, 44100, 2, 16, "plain", "WavPack Song", "Lossless Crew", "Packed", "2013"),
    ("wv", 29, 44100, 2, 16, "high", "Packed Tight", "Lossless Crew", "Packed", "2013"),
    ("wv", 14, 96000, 2, 24, "plain", "High Resolution", "Audiophiles", "Golden Ears", "2018"),
    ("wv", 25, 44100, 1, 16, "plain", "Mono Pack", "Lossless Crew", "Packed", "2013"),
    ("wv", 18, 48000, 2, 16, "fast", "Quick Pack", "Speedsters", "Fast Lane", "2016"),
    ("wv", 26, 44100, 2, 16, "plain", "Pack Ünïcødé", "Lössless Crëw", "Päcked", "2013"),
    ("wav", 20, 44100, 2, 16, "id3", "Wave Tagged", "Studio Desk", "Bounces", "2021"),
    ("wav", 27, 44100, 2, 16, "plain", "", "", "", ""),
    ("wav", 11, 96000, 2, 24, "id3", "Master Bounce", "Studio Desk", "Masters", "2022"),
    ("wav", 16, 48000, 6, 24, "plain", "", "", "", ""),
    ("wav", 23, 22050, 1, 16, "id3", "Field Recording", "Outdoors", "Nature", "2007"),
    ("wav", 18, 44100, 2, 16, "plain", "", "", "", ""),
]
EXT = {"flac": ".flac", "mp3-id3v23": ".mp3", "mp3-id3v24": ".mp3", "ogg": ".ogg", "wv": ".wv", "wav": ".wav"}


def cover_bytes(seed, size):
    """A stand-in cover picture: JPEG markers around random bytes (no reader here decodes it)."""
    rnd = random.Random(seed)
    return b"\xff\xd8\xff\xe0" + bytes(rnd.getrandbits(8) for _ in range(size)) + b"\xff\xd9"


def make_source(folder, index, recipe, max_seconds):
    """Encodes one source with Debian's tools and tags it; returns its manifest entry."""
    import mutagen.id3 as id3
    kind, seconds, rate, chans, bits, variant, title, artist, album, year = recipe
    seconds = min(seconds, max_seconds)
    pcm = folder / f"src{index:02d}.pcm.wav"
    # Pink noise under a tone compresses about as real music does.
    run("sox", "-R", "-n", "-r", rate, "-c", chans, "-b", bits, pcm, "synth", seconds, "pinknoise",
        "synth", seconds, "sine", "mix", 220 + 30 * index, "vol", "0.4")
    frames = int(run("soxi", "-s", pcm))
    out = folder / f"src{index:02d}{EXT[kind]}"
    if kind == "flac":
        run("flac", "-s", "-f", f"--tag=TITLE={title}", f"--tag=ARTIST={artist}", f"--tag=ALBUM={album}",
            f"--tag=DATE={year}", "-o", out, pcm)
        if variant == "cover":
            from mutagen.flac import FLAC, Picture
            f = FLAC(out)
            pic = Picture()
            pic.type, pic.mime, pic.data = 3, "image/jpeg", cover_bytes(index, 60000)
            f.add_picture(pic)
            f.save()
    elif kind.startswith("mp3"):
        lame = {"vbr": ["-V", "2"], "cbr": ["-b", "192"], "noxing-id3v1": ["-b", "128", "-t"],
                "cover": ["-V", "4"]}[variant]
        run("lame", "--quiet", *lame, pcm, out)
        tags = id3.ID3()
        tags.add(id3.TIT2(encoding=3 if kind.endswith("24") else 1, text=title))
        tags.add(id3.TPE1(encoding=3 if kind.endswith("24") else 1, text=artist))
        tags.add(id3.TALB(encoding=3 if kind.endswith("24") else 1, text=album))
        tags.add(id3.TCON(encoding=0, text="Test"))
        if kind.endswith("24"):
            tags.add(id3.TDRC(encoding=3, text=year))
        else:
            tags.add(id3.TYER(encoding=1, text=year))
        if variant == "cover":
            tags.add(id3.APIC(encoding=0, mime="image/jpeg", type=3, desc="", data=cover_bytes(index, 60000)))
        tags.save(out, v2_version=4 if kind.endswith("24") else 3, v1=2 if variant == "noxing-id3v1" else 0)
    elif kind == "ogg":
        run("oggenc", "-Q", "-q", variant[1:], "-t", title, "-a", artist, "-l", album, "-d", year, "-o", out, pcm)
    elif kind == "wv":
        mode = {"plain": [], "high": ["-h"], "fast": ["-f"]}[variant]
        run("wavpack", "-q", "-y", *mode, "-w", f"Title={title}", "-w", f"Artist={artist}", "-w", f"Album={album}",
            "-w", f"Year={year}", pcm, "-o", out)
    elif kind == "wav":
        shutil.copyfile(pcm, out)
        if variant == "id3":
            import mutagen.wave
            w = mutagen.wave.WAVE(out)
            w.add_tags()
            w.tags.add(id3.TIT2(encoding=3, text=title))
            w.tags.add(id3.TPE1(encoding=3, text=artist))
            w.tags.add(id3.TALB(encoding=3, text=album))
            w.tags.add(id3.TDRC(encoding=3, text=year))
            w.save()
    pcm.unlink()
    return {"source": out.name, "kind": kind, "variant": variant, "ms": round(frames * 1000 / rate), "title": title,
            "artist": artist, "album": album, "year": year}


def make_corpus(corpus, files, max_seconds, fresh):
    """N copies of the sources under distinct names, ten to an album, ten albums to an artist."""
    manifest_path = corpus / "manifest.json"
    want = {"version": CORPUS_VERSION, "files": files, "max_seconds": max_seconds}
    if manifest_path.exists() and not fresh:
        manifest = json.loads(manifest_path.read_text())
        if manifest.get("key") == want:
            log(f"reusing corpus {corpus} ({files} files)")
            return manifest
    if corpus.exists():
        shutil.rmtree(corpus)
    sources_dir, music = corpus / "sources", corpus / "music"
    sources_dir.mkdir(parents=True)
    log(f"encoding {len(SOURCES)} sources into {sources_dir}")
    sources = [make_source(sources_dir, i, recipe, max_seconds) for i, recipe in enumerate(SOURCES)]
    log(f"copying {files} files into {music}")
    entries = []
    by_kind = {}
    for i in range(len(SOURCES)):
        by_kind.setdefault(SOURCES[i][0], []).append(i)
    kinds = list(by_kind)
    # Interleaved by kind, so every part of the corpus holds every format.
    for n in range(files):
        kind = kinds[n % len(kinds)]
        src = sources[by_kind[kind][(n // len(kinds)) % len(by_kind[kind])]]
        rel = Path(f"Artist {n // 100:03d}", f"Album {n // 10 % 10:02d}", f"{n:05d} - Track {n % 10 + 1:02d}"
                   f"{Path(src['source']).suffix}")
        (music / rel).parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(sources_dir / src["source"], music / rel)
        entries.append(dict(src, path=str(rel)))
    empty = corpus / "empty"
    empty.mkdir()
    blanks = corpus / "blank-wav"
    blanks.mkdir()
    for n in range(min(files, 500)):
        (blanks / f"{n:05d} - blank.wav").write_bytes(b"")
    manifest = {"key": want, "sources": sources, "files": entries,
                "bytes": sum((music / e["path"]).stat().st_size for e in entries)}
    manifest_path.write_text(json.dumps(manifest, indent=0, ensure_ascii=False))
    return manifest


# ---- the least a query needs ---------------------------------------------------

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


def minimal_ranges(path, tags=True):
    """Byte ranges a reader must see for shape, length and tags: headers and tag bytes, no audio.
    Without tags (the WAV-only mode) a WAV file needs its header up to the data chunk's size."""
    data = Path(path).read_bytes()
    ext = Path(path).suffix.lower()
    ranges = []
    if ext == ".flac":
        pos = id3v2_span(data)
        if pos:
            ranges.append((0, pos))
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
    elif ext == ".mp3":
        pos = id3v2_span(data)
        if pos:
            ranges.append((0, pos))
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
    elif ext == ".ogg":
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
    elif ext == ".wv":
        pos = data.find(b"wvpk")
        ranges.append((pos, 32))
        ranges += trailing_tag_ranges(data, pos)
    elif ext == ".wav":
        ranges.append((0, 12))
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
    return [(o, n) for o, n in ranges if n > 0]


def pages_of(ranges):
    pages = set()
    for offset, length in ranges:
        pages.update(range(offset // PAGE, (offset + length - 1) // PAGE + 1))
    return pages


# ---- Wine and talhost ----------------------------------------------------------

class Wine:
    """One prefix, a display and a warm wineserver for all talhost runs."""

    def __init__(self, prefix, wine, wineserver):
        self.prefix, self.wine, self.wineserver = Path(prefix), wine, wineserver
        self.env = dict(os.environ, WINEPREFIX=str(self.prefix), WINEDEBUG="-all")
        self.env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=;winedbg.exe=d")
        self.xvfb = self.server = None
        self.display_note = "caller's display"

    def start(self):
        if not self.env.get("DISPLAY"):
            self.display_note = "no display"
            if shutil.which("Xvfb"):
                for n in range(210, 260):
                    if not Path(f"/tmp/.X11-unix/X{n}").exists() and not Path(f"/tmp/.X{n}-lock").exists():
                        self.xvfb = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                        for _ in range(50):
                            if Path(f"/tmp/.X11-unix/X{n}").exists():
                                break
                            time.sleep(0.1)
                        self.env["DISPLAY"] = f":{n}"
                        self.display_note = "private Xvfb"
                        break
        if not (self.prefix / "system.reg").exists():
            log(f"creating Wine prefix {self.prefix}")
            self.prefix.mkdir(parents=True, exist_ok=True)
            subprocess.run([self.wine, "wineboot", "--init"], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=900)
            subprocess.run([self.wineserver, "-w"], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
        if self.server_pid() is None:
            # Our own server, kept up for the whole run so no timing includes its start.
            self.server = subprocess.Popen([self.wineserver, "-f", "-p"], env=self.env, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL)
            for _ in range(50):
                if self.server_pid() is not None:
                    break
                time.sleep(0.1)

    def server_pid(self):
        """The wineserver of this prefix: it works in a folder server-DEV-INODE named for the prefix
        (under /tmp/.wine-UID or, as Debian builds it, /tmp/wine-XXXXXX)."""
        st = self.prefix.stat()
        folder = f"server-{st.st_dev:x}-{st.st_ino:x}"
        for proc in Path("/proc").iterdir():
            if not proc.name.isdigit():
                continue
            try:
                if Path(os.readlink(proc / "cwd")).name == folder and "wineserver" in (proc / "comm").read_text():
                    return int(proc.name)
            except OSError:
                continue
        return None

    def stop(self):
        if self.server is not None:
            # Ends the processes of our own prefix and the server we started.
            subprocess.run([self.wineserver, "-k"], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60)
            try:
                self.server.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.server.kill()
        if self.xvfb is not None:
            self.xvfb.terminate()
            self.xvfb.wait(timeout=10)

    def version(self):
        try:
            return subprocess.run([self.wine, "--version"], capture_output=True, env=self.env,
                                  timeout=60).stdout.decode().strip()
        except OSError:
            return "unknown"


def winpath(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


# The media library's files as the plug-in loads them; the stand-in builds all but basswma.dll.
LIBRARY_DLLS = ("bass.dll", "bassflac.dll", "basswv.dll", "bass_ape.dll", "bass_aac.dll", "bassalac.dll",
                "basswma.dll", "bassdsd.dll")
PE_MACHINES = {0x14C: "32-bit (i386)", 0x8664: "64-bit (x86-64)"}


def library_files(folder):
    """The media library's DLLs in a folder, by the name the plug-in loads (found whatever their case)."""
    found = {item.name.lower(): item for item in Path(folder).iterdir() if item.is_file()}
    return {name: found[name] for name in LIBRARY_DLLS if name in found}


def pe_machine(path):
    """The machine field of a Windows program's PE header, None when it is not one."""
    with open(path, "rb") as f:
        head = f.read(4096)
    if head[:2] != b"MZ" or len(head) < 64:
        return None
    pe = struct.unpack("<I", head[60:64])[0]
    if pe > len(head) - 6 or head[pe:pe + 4] != b"PE\0\0":
        return None
    return struct.unpack("<H", head[pe + 4:pe + 6])[0]


def check_library(folder, dist):
    """The library folder's DLLs, or why talhost of `dist` cannot load them."""
    files = library_files(folder)
    if "bass.dll" not in files:
        return None, f"no bass.dll in {folder}"
    want = pe_machine(Path(dist) / "talhost.exe")
    for name, path in files.items():
        got = pe_machine(path)
        if got != want:
            return None, (f"{path} is {PE_MACHINES.get(got, 'not a Windows DLL')} but talhost.exe in {dist} is "
                          f"{PE_MACHINES.get(want, 'unknown')}: pass the build of the same kind with --dist and --wine")
    return files, None


def install_host(dist, folder, only_wav, library):
    """talhost, the plug-in and the test tools of `dist`, with the media library's DLLs of `library` only:
    an add-on missing there is missing here too. The folder starts empty, so nothing of an earlier run stays."""
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    for item in Path(dist).iterdir():
        if item.name.lower() in LIBRARY_DLLS:
            continue
        if item.suffix.lower() == ".dll" or item.name in ("talhost.exe", "initcost.exe"):
            shutil.copy2(item, folder / item.name)
    for name, item in library_files(library).items():
        shutil.copy2(item, folder / name)
    if only_wav:
        (folder / "Tandrel.ini").write_text("[Tandrel]\r\nOnlyWav=1\r\n")
    return folder


def timed(cmd, **kw):
    """Wall seconds, CPU seconds of the child processes, and the completed process.

    Output goes through temporary files, not pipes: Wine's background
    processes (services, the desktop) may inherit the handles and would hold
    a pipe open long after the program ended.
    """
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        t0 = time.perf_counter()
        proc = subprocess.run(cmd, stdin=subprocess.DEVNULL, stdout=out, stderr=err, **kw)
        wall = time.perf_counter() - t0
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        out.seek(0)
        err.seek(0)
        proc.stdout, proc.stderr = out.read(), err.read()
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu, proc


def parse_json_lines(text):
    return [json.loads(line) for line in text.decode("utf-8").splitlines() if line.strip()]


# ---- the competitors -----------------------------------------------------------

def tag_text(tags, *keys):
    """The first value of the first key present: ID3 frames, Vorbis comments and APE items alike."""
    if tags is None:
        return ""
    for key in keys:
        try:
            value = tags[key]
        except (KeyError, ValueError, TypeError):
            continue
        if hasattr(value, "text"):
            value = value.text
        if isinstance(value, (list, tuple)):
            value = value[0] if value else ""
        return str(value)
    return ""


def mutagen_scan(folder, ext):
    """One process over the whole folder, as a tagging script would do it; JSON lines like talhost's."""
    import mutagen
    for dirpath, dirs, files in os.walk(folder):
        dirs.sort()
        for name in sorted(files):
            low = name.lower()
            if not low.endswith(AUDIO_EXTS) or (ext and not low.endswith(ext)):
                continue
            path = os.path.join(dirpath, name)
            try:
                f = mutagen.File(path)
            except Exception:  # a file mutagen cannot read is reported, not fatal
                f = None
            length = f.info.length if f is not None and getattr(f, "info", None) is not None else None
            tags = f.tags if f is not None else None
            print(json.dumps({
                "item": path, "length_ms": None if length is None else round(length * 1000),
                "title": tag_text(tags, "TIT2", "title", "Title"),
                "artist": tag_text(tags, "TPE1", "artist", "Artist"),
                "album": tag_text(tags, "TALB", "album", "Album"),
                "year": tag_text(tags, "TDRC", "TYER", "date", "Year"),
            }, ensure_ascii=False))


def ffprobe_one(path):
    proc = subprocess.run(["ffprobe", *FFPROBE_ARGS, str(path)], capture_output=True)
    out = json.loads(proc.stdout or b"{}")
    fmt = out.get("format", {})
    tags = {k.lower(): v for k, v in fmt.get("tags", {}).items()}
    for stream in out.get("streams", []):
        tags.update({k.lower(): v for k, v in stream.get("tags", {}).items() if k.lower() not in tags})
    duration = fmt.get("duration")
    return {"item": str(path), "length_ms": None if duration is None else round(float(duration) * 1000),
            "title": tags.get("title", ""), "artist": tags.get("artist", ""), "album": tags.get("album", ""),
            "year": tags.get("date") or tags.get("year", "")}


# ---- checks of what each tool reported -------------------------------------------

def agreement(results, expected_by_name, names_from_item, tags_expected=True, name_fallback=False):
    """How many items got the length (within 100 ms or 1 %) and the tags the files were made with.

    Without tags the title to show is the file name without its extension; a
    tool that gives no title gets that fallback when name_fallback is set (a
    script would do the same), talhost must produce it itself.
    """
    lengths = tags = 0
    for r in results:
        e = expected_by_name.get(names_from_item(r["item"]))
        if e is None:
            continue
        ms = r.get("length_ms")
        if ms is not None and abs(ms - e["ms"]) <= max(100, e["ms"] / 100):
            lengths += 1
        stem = Path(e["path"]).stem
        title = r.get("title") or (stem if name_fallback else "")
        if tags_expected:
            want = (e["title"] or stem, e["artist"], e["album"], e["year"])
            got = (title, r.get("artist") or "", r.get("album") or "", r.get("year") or "")
        else:
            want, got = stem, title
        if got == want:
            tags += 1
    return lengths, tags


def name_of_winpath(item):
    return item.replace("\\", "/").rsplit("/", 1)[-1]


# ---- I/O counting under strace ----------------------------------------------------

LINE = re.compile(r"^(?P<call>\w+)\((?P<args>.*)\)\s+=\s+(?P<ret>-?\d+)(?:<(?P<retpath>[^>]*)>)?")
FD_ARG = re.compile(r"^(\d+)<([^>]*)>(.*)$")


def count_io(trace_dir, corpus_root):
    """Per corpus file: opens, read calls, bytes read, lseeks and the 4 KiB pages touched, from strace -ff logs."""
    stats = {}
    root = str(Path(corpus_root).resolve())

    def entry(path):
        return stats.setdefault(path, {"opens": 0, "reads": 0, "bytes": 0, "seeks": 0, "pages": set()})

    for log_file in sorted(Path(trace_dir).iterdir()):
        position = {}
        for line in log_file.read_text(errors="replace").splitlines():
            m = LINE.match(line)
            if not m:
                continue
            call, args, ret = m.group("call"), m.group("args"), int(m.group("ret"))
            if call == "openat":
                path = m.group("retpath")
                if ret >= 0 and path and path.startswith(root) and path.lower().endswith(AUDIO_EXTS):
                    entry(path)["opens"] += 1
                    position[ret] = 0
                continue
            fd = FD_ARG.match(args)
            if not fd or not fd.group(2).startswith(root) or not fd.group(2).lower().endswith(AUDIO_EXTS):
                continue
            number, path, rest = int(fd.group(1)), fd.group(2), fd.group(3)
            e = entry(path)
            if call in ("read", "pread64"):
                e["reads"] += 1
                if ret > 0:
                    e["bytes"] += ret
                    if call == "pread64":
                        offset = int(rest.rsplit(",", 1)[1])
                    else:
                        offset = position.get(number, 0)
                        position[number] = offset + ret
                    e["pages"].update(range(offset // PAGE, (offset + ret - 1) // PAGE + 1))
            elif call == "lseek":
                e["seeks"] += 1
                if ret >= 0:
                    position[number] = ret
    return stats


def io_table(stats, by_path_kind, minimal):
    """Per format, per query: the measured counts beside the minimum."""
    rows = {}
    for path, e in stats.items():
        kind = by_path_kind.get(path)
        if kind is None:
            continue
        r = rows.setdefault(kind, {"files": 0, "opens": 0, "reads": 0, "bytes": 0, "seeks": 0, "pages": 0,
                                   "min_bytes": 0, "min_pages": 0})
        r["files"] += 1
        for k in ("opens", "reads", "bytes", "seeks"):
            r[k] += e[k]
        r["pages"] += len(e["pages"])
        r["min_bytes"] += minimal[path][0]
        r["min_pages"] += minimal[path][1]
    for r in rows.values():
        for k in ("opens", "reads", "bytes", "seeks", "pages", "min_bytes", "min_pages"):
            r[k] = r[k] / r["files"]
    return rows


# ---- the run ------------------------------------------------------------------------

def machine_description(wine):
    cpu = "unknown"
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break
    mem_kb = 0
    for line in Path("/proc/meminfo").read_text().splitlines():
        if line.startswith("MemTotal:"):
            mem_kb = int(line.split()[1])
    busy = subprocess.run(["ps", "-eo", "pcpu,ni,comm", "--sort=-pcpu", "--no-headers"], capture_output=True)
    top = [" ".join(line.split()) for line in busy.stdout.decode().splitlines()[:8]]
    return {"cpu": cpu, "cores": os.cpu_count(), "memory_gib": round(mem_kb / 1024 / 1024, 1),
            "kernel": platform.release(), "wine": wine.version(), "loader": wine.wine, "python": platform.python_version(),
            "loadavg_start": list(os.getloadavg()), "busy_processes_start": top}


def git_state():
    try:
        head = run("git", "-C", ROOT, "rev-parse", "--short", "HEAD")
        dirty = run("git", "-C", ROOT, "status", "--porcelain", "--", "standin", "media", "plugin", "host")
        return {"commit": head, "library_sources_modified": bool(dirty)}
    except (subprocess.CalledProcessError, OSError):
        return {"commit": "unknown", "library_sources_modified": None}


def have_mutagen():
    return subprocess.run([sys.executable, "-c", "import mutagen"], capture_output=True).returncode == 0


def summarise(samples):
    walls = [s[0] for s in samples]
    return {"min": min(walls), "median": statistics.median(walls), "cpu_min": min(s[1] for s in samples),
            "samples": walls}


def benchmark(args):
    out = Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    work = Path(args.work)
    corpus = Path(args.corpus)
    skip = set(args.skip)
    if not have_mutagen():
        sys.exit("bench: python3-mutagen is needed to tag the corpus (apt-get install python3-mutagen)")
    manifest = make_corpus(corpus, args.files, args.max_seconds, args.fresh_corpus)
    music = corpus / "music"
    files = [music / e["path"] for e in manifest["files"]]
    wav_files = [f for f in files if f.suffix == ".wav"]
    expected = {Path(e["path"]).name: e for e in manifest["files"]}
    kind_of = {str((music / e["path"]).resolve()): e["kind"] for e in manifest["files"]}

    wine = Wine(args.wineprefix, args.wine, args.wineserver)
    result = {"when": datetime.datetime.now().isoformat(timespec="seconds"), "label": args.label,
              "files": len(files), "wav_files": len(wav_files), "corpus_bytes": manifest["bytes"],
              "repeats": args.repeats, "talhost_rounds": args.talhost_rounds, "git": git_state(), "tools": {}, "skipped": {}, "breakdown": {}}
    wine.start()
    try:
        result["machine"] = machine_description(wine)
        result["machine"]["display"] = wine.display_note
        library = Path(args.library or args.dist)
        result["library"] = {"standin": not args.library, "folder": str(library.resolve()),
                             "dlls": list(library_files(library))}
        lib_host = install_host(args.dist, work / "host-library", False, library)
        wav_host = install_host(args.dist, work / "host-wavonly", True, library)
        # With --library both builds run against that library; otherwise each against its own stand-in.
        compare_host = (install_host(args.compare_dist, work / "host-compare", False,
                                     Path(args.library or args.compare_dist)) if args.compare_dist else None)
        result["compare_label"] = args.compare_label if compare_host else None
        init_cost = [str(lib_host / "initcost.exe"), str(args.init_pairs)]
        if not (lib_host / "initcost.exe").exists():
            init_cost = None
            result["skipped"]["init/free"] = f"no initcost.exe in {args.dist}; tests/tools builds it"

        def talhost(host, *items):
            return [args.wine, str(host / "talhost.exe"), "--json", *items]

        def warm():
            subprocess.run(talhost(lib_host, winpath(corpus / "empty")), env=wine.env, cwd=lib_host,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           timeout=600)

        # Explicit item lists stay under Windows' 32767-unit command line.
        def fit(paths, budget=30000):
            chosen, used = [], 0
            for p in paths:
                w = winpath(p)
                if used + len(w) + 3 > budget:
                    break
                chosen.append(w)
                used += len(w) + 3
            return chosen

        artists = sorted(p for p in music.iterdir() if p.is_dir())
        quarter = max(1, len(artists) // 4)
        scale_sets = {"quarter": artists[:quarter], "half": artists[:max(quarter, len(artists) // 2)]}
        per_kind = {}
        for f in files:
            per_kind.setdefault(kind_of[str(f.resolve())], []).append(f)
        per_kind_items = {k: fit(v[:args.per_format]) for k, v in per_kind.items()}
        blank = sorted((corpus / "blank-wav").iterdir())

        # Small item sets are queried over several passes in one process, so
        # their queries outweigh the fixed cost they are measured against.
        def passes_for(count):
            return max(1, round(args.queries / max(1, count)))

        talhost_runs = {
            "talhost": (lib_host, [winpath(music)], 1),
            "talhost WAV-only": (wav_host, [winpath(music)], 1),
            "fixed": (lib_host, [winpath(corpus / "empty")], 1),
            "blank library": (lib_host, [winpath(corpus / "blank-wav")], passes_for(len(blank))),
            "blank WAV-only": (wav_host, [winpath(corpus / "blank-wav")], passes_for(len(blank))),
        }
        if compare_host is not None:
            # The other build over the same corpus in the same rounds: a like-for-like comparison on a busy machine.
            talhost_runs["talhost compare"] = (compare_host, [winpath(music)], 1)
        for name, subset in scale_sets.items():
            talhost_runs["scale " + name] = (lib_host, [winpath(a) for a in subset], 1)
        for kind, items in per_kind_items.items():
            talhost_runs["format " + kind] = (lib_host, items, passes_for(len(items)))

        samples = {name: [] for name in talhost_runs}
        init_runs = []
        outputs = {}
        competitors = {}
        if "ffprobe" in skip:
            result["skipped"]["ffprobe"] = "skipped by --skip"
        elif shutil.which("ffprobe") is None:
            result["skipped"]["ffprobe"] = "ffprobe not installed (Debian package ffmpeg)"
        else:
            competitors["ffprobe"] = files
            competitors["ffprobe WAV part"] = wav_files
        if "mutagen" in skip:
            result["skipped"]["mutagen"] = "skipped by --skip"
        else:
            competitors["mutagen"] = None
            competitors["mutagen WAV part"] = ".wav"
        for name in competitors:
            samples[name] = []

        warm()
        for rep in range(args.repeats):
            log(f"repeat {rep + 1}/{args.repeats}")
            # talhost's runs are short: several rounds per repeat give its minimum more chances on a busy machine.
            for _ in range(args.talhost_rounds):
                for name, (host, items, passes) in talhost_runs.items():
                    warm()
                    extra = ["--passes", str(passes)] if passes > 1 else []
                    wall, cpu, proc = timed(talhost(host, *extra, *items), env=wine.env, cwd=host)
                    if proc.returncode != 0:
                        raise SystemExit(f"bench: talhost {name} failed: {proc.stderr.decode(errors='replace')}")
                    samples[name].append((wall, cpu))
                    outputs[name] = proc.stdout
            if init_cost is not None:
                # The pair the plug-in makes around every query, timed inside one process of the library's own.
                _, _, proc = timed([args.wine, *init_cost], env=wine.env, cwd=lib_host)
                if proc.returncode != 0:
                    raise SystemExit(f"bench: initcost failed: {proc.stderr.decode(errors='replace')}")
                init_runs.append(json.loads(proc.stdout.decode("utf-8")))
            for name, what in competitors.items():
                if name.startswith("ffprobe"):
                    ffprobe_one(what[0])  # loads its libraries into the cache, untimed
                    before = resource.getrusage(resource.RUSAGE_CHILDREN)
                    t0 = time.perf_counter()
                    lines = [ffprobe_one(f) for f in what]
                    wall = time.perf_counter() - t0
                    after = resource.getrusage(resource.RUSAGE_CHILDREN)
                    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
                    outputs[name] = lines
                else:
                    cmd = [sys.executable, str(Path(__file__).resolve()), "--mutagen-scan", str(music)]
                    if what:
                        cmd += ["--ext", what]
                    wall, cpu, proc = timed(cmd)
                    if proc.returncode != 0:
                        raise SystemExit(f"bench: mutagen scan failed: {proc.stderr.decode(errors='replace')}")
                    outputs[name] = parse_json_lines(proc.stdout)
                samples[name].append((wall, cpu))

        # What each tool reported, against what the files were made with.
        def row(name, count, results, names_from_item, tags_expected=True, name_fallback=False):
            lengths, tags = agreement(results, expected, names_from_item, tags_expected, name_fallback)
            r = summarise(samples[name])
            r.update(files=count, reported=len(results), lengths_ok=lengths, tags_ok=tags)
            return r

        tools = result["tools"]
        tools["talhost"] = row("talhost", len(files), parse_json_lines(outputs["talhost"]), name_of_winpath)
        if compare_host is not None:
            tools["talhost compare"] = row("talhost compare", len(files), parse_json_lines(outputs["talhost compare"]),
                                           name_of_winpath)
        tools["talhost WAV-only"] = row("talhost WAV-only", len(wav_files),
                                        parse_json_lines(outputs["talhost WAV-only"]), name_of_winpath, False)
        for name in competitors:
            count = len(wav_files) if "WAV" in name else len(files)
            tools[name] = row(name, count, outputs[name], lambda item: Path(item).name, name_fallback=True)

        if init_runs:
            last = init_runs[-1]
            ms = [r["ms_per_pair"] for r in init_runs]
            result["library"].update(version=last["version"], version_word=last["version_word"])
            result["library"]["init_free"] = {
                "pairs": last["pairs"], "min_ms": min(ms), "median_ms": statistics.median(ms), "samples_ms": ms,
                "initialised": min(r["initialised"] for r in init_runs), "rate0_refused": last["rate0_refused"],
                "rate0_error": last["rate0_error"], "loaded": last["library"]}
        fixed = summarise(samples["fixed"])
        bd = result["breakdown"]
        bd["fixed"] = fixed
        for name in ("blank library", "blank WAV-only"):
            passes = talhost_runs[name][2]
            bd[name] = dict(summarise(samples[name]), files=len(blank), passes=passes,
                            per_query_ms=(summarise(samples[name])["min"] - fixed["min"]) / (len(blank) * passes) * 1000)
        points = [(0, fixed["min"])]
        for name, subset in scale_sets.items():
            count = sum(1 for f in files if f.relative_to(music).parts[0] in {a.name for a in subset})
            points.append((count, summarise(samples["scale " + name])["min"]))
        points.append((len(files), tools["talhost"]["min"]))
        mean_x = sum(p[0] for p in points) / len(points)
        mean_y = sum(p[1] for p in points) / len(points)
        slope = sum((x - mean_x) * (y - mean_y) for x, y in points) / sum((x - mean_x) ** 2 for x, _ in points)
        bd["scaling_points"] = points
        bd["slope_ms_per_query"] = slope * 1000
        bd["intercept_s"] = mean_y - slope * mean_x
        bd["per_query_ms"] = (tools["talhost"]["min"] - fixed["min"]) / len(files) * 1000
        bd["wav_only_per_query_ms"] = (tools["talhost WAV-only"]["min"] - fixed["min"]) / max(1, len(wav_files)) * 1000
        bd["per_format"] = {}
        for kind, items in per_kind_items.items():
            s = summarise(samples["format " + kind])
            passes = talhost_runs["format " + kind][2]
            bd["per_format"][kind] = {"files": len(items), "passes": passes, "min": s["min"],
                                      "per_query_ms": (s["min"] - fixed["min"]) / (len(items) * passes) * 1000}

        # I/O of the same per-format samples, counted under strace.
        if "strace" in skip:
            result["skipped"]["strace"] = "skipped by --skip"
        elif shutil.which("strace") is None:
            result["skipped"]["strace"] = "strace not installed"
        else:
            warm()  # a running server to attach to
            result["io"] = measure_io(args, wine, lib_host, wav_host, per_kind_items, wav_files, kind_of, music, work,
                                      talhost)
        result["machine"]["loadavg_end"] = list(os.getloadavg())
    finally:
        wine.stop()
    return result


def measure_io(args, wine, lib_host, wav_host, per_kind_items, wav_files, kind_of, music, work, talhost):
    """strace -ff over talhost and over the wineserver, which does the opens, for the per-format samples."""
    server = wine.server_pid()
    io = {}
    for mode, host in (("library", lib_host), ("WAV-only", wav_host)):
        if mode == "library":
            items = [w for v in per_kind_items.values() for w in v]
        else:
            items = [winpath(f) for f in wav_files[:args.per_format]]
        trace_dir = work / f"trace-{mode}"
        shutil.rmtree(trace_dir, ignore_errors=True)
        trace_dir.mkdir(parents=True)
        calls = ["-ff", "-y", "-qq", "-e", "trace=openat,read,pread64,lseek"]
        watcher = None
        if server is not None:
            # A second strace on the running server, detached (SIGINT) once talhost has ended.
            watcher = subprocess.Popen(["strace", *calls, "-o", str(trace_dir / "server"), "-p", str(server)],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(0.5)
        try:
            subprocess.run(["strace", *calls, "-o", str(trace_dir / "client"), *talhost(host, *items)], env=wine.env,
                           cwd=host, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           timeout=600)
        finally:
            if watcher is not None:
                watcher.send_signal(signal.SIGINT)
                watcher.wait(timeout=30)
        stats = count_io(trace_dir, music)
        minimal = {}
        for path in stats:
            ranges = minimal_ranges(path, tags=mode == "library")
            minimal[path] = (sum(n for _, n in ranges), len(pages_of(ranges)))
        table = io_table(stats, kind_of, minimal)
        # The wineserver does the opens; a server started under the traced talhost is traced too.
        opens = any(e["opens"] > 0 for e in stats.values())
        io[mode] = {"files_traced": len(stats), "by_format": table, "server_traced": server is not None or opens}
        shutil.rmtree(trace_dir, ignore_errors=True)
    return io


# ---- report -----------------------------------------------------------------------

KIND_LABEL = {"flac": "FLAC", "mp3-id3v23": "MP3, ID3v2.3", "mp3-id3v24": "MP3, ID3v2.4", "ogg": "Ogg Vorbis",
              "wv": "WavPack (APEv2)", "wav": "WAV"}
TOOL_ORDER = ["talhost", "talhost compare", "ffprobe", "mutagen", "talhost WAV-only", "ffprobe WAV part",
              "mutagen WAV part"]
TOOL_LABEL = {
    "talhost": "talhost --json (plug-in, library mode), one process",
    "ffprobe": "ffprobe, one process per file",
    "mutagen": "python3-mutagen, one process",
    "talhost WAV-only": "talhost --json, WAV-only mode (OnlyWav=1)",
    "ffprobe WAV part": "ffprobe, one process per file",
    "mutagen WAV part": "python3-mutagen, one process",
}


def per_file_rate(t):
    return t["files"] / t["min"] if t["min"] > 0 else float("inf")


def tool_label(res, name):
    if name == "talhost compare":
        return f"talhost --json, library mode, {res.get('compare_label') or 'other'} build (same rounds)"
    return TOOL_LABEL[name]


def tools_table(res):
    tools = res["tools"]
    lines = ["| tool | corpus | files | min s | median s | files/s | time per file ÷ talhost's | CPU s (min) "
             "| lengths right | tags right |",
             "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|"]
    for name in TOOL_ORDER:
        if name not in tools:
            base = name.split()[0]
            if base in res["skipped"] and (name == base or "WAV" in name):
                lines.append(f"| {TOOL_LABEL[name]} | {'WAV part' if 'WAV' in name else 'all'} | — | — | — | — | — "
                             f"| — | — | {res['skipped'][base]} |")
            continue
        t = tools[name]
        ref = tools["talhost WAV-only"] if "WAV" in name else tools["talhost"]
        ratio = (t["min"] / t["files"]) / (ref["min"] / ref["files"])
        tags = f"{t['tags_ok']}/{t['files']}" + (" (file-name titles)" if name == "talhost WAV-only" else "")
        lines.append(f"| {tool_label(res, name)} | {'WAV part' if 'WAV' in name else 'all'} | {t['files']} | "
                     f"{t['min']:.3f} | {t['median']:.3f} | {per_file_rate(t):,.0f} | {ratio:.2f}× | "
                     f"{t['cpu_min']:.2f} | {t['lengths_ok']}/{t['files']} | {tags} |")
    return "\n".join(lines)


def library_markdown(res):
    lib = res.get("library")
    if lib is None:
        return "- Media library: the stand-in of the build measured (version and Init/Free pair not recorded in this run)"
    absent = [n for n in LIBRARY_DLLS if n not in lib["dlls"]]
    where = f"the stand-in in {lib['folder']}" if lib["standin"] else lib["folder"]
    if "version" not in lib:
        version = "version not measured (" + res["skipped"].get("init/free", "initcost not run") + ")"
    elif lib["version"] is None:
        version = "version not reported (no BASS_GetVersion export)"
    else:
        version = f"version {lib['version']} (BASS_GetVersion)"
    return (f"- Media library: {where}: {', '.join(lib['dlls'])}"
            f"{'; absent: ' + ', '.join(absent) if absent else ''}; {version}")


def init_free_row(res):
    """The Init/Free pair's row of the breakdown and a note setting it against the per-query figures."""
    lib = res.get("library") or {}
    f = lib.get("init_free")
    if f is None:
        if "init/free" in res["skipped"]:
            return (f"| one BASS_Init/BASS_Free pair, as the plug-in makes it around every query | — | — | "
                    f"not measured: {res['skipped']['init/free']} |"), ""
        return None, ""
    how = (f"Init at rate 0 refused with error {f['rate0_error']}, retried at 44100 Hz" if f["rate0_refused"]
           else "Init at rate 0 accepted")
    row = (f"| one BASS_Init/BASS_Free pair, as the plug-in makes it around every query ({how}; initcost.exe, "
           f"timed in-process) | {f['pairs']} pairs × {len(f['samples_ms'])} runs | "
           f"{f['min_ms'] * f['pairs'] / 1000:.3f} s | {f['min_ms']:.3f} ms |")
    bd = res["breakdown"]
    shares = [f"{f['min_ms'] / q * 100:.0f} % of the {what} ({q:.3f} ms)"
              for what, q in (("whole-corpus figure", bd["per_query_ms"]),
                              ("zero-byte library-mode figure", bd["blank library"]["per_query_ms"])) if q > 0]
    note = (f"Every library-mode query above includes one Init/Free pair: its {f['min_ms']:.3f} ms is "
            f"{' and '.join(shares) or 'more than the measured per-query time'}. WAV-only mode makes no pair.")
    if f["initialised"] < f["pairs"]:
        note += (f" Both Init calls failed in {f['pairs'] - f['initialised']} of {f['pairs']} pairs: those cost less "
                 f"than a pair that initialises the library.")
    return row, note


def breakdown_table(res):
    bd = res["breakdown"]
    lines = ["| what | runs of | min | per query |", "|---|---:|---:|---:|",
             f"| Wine start-up, plug-in load and unload, zero items (fixed cost) | 0 items | {bd['fixed']['min']:.3f} s "
             f"| — |"]
    for name, text in (("blank WAV-only", "zero-byte .wav files, WAV-only mode: open, one empty read, close"),
                       ("blank library", "zero-byte .wav files, library mode: BASS_Init, open, size, close, BASS_Free")):
        b = bd[name]
        lines.append(f"| {text} | {b['files']} items × {b.get('passes', 1)} passes | {b['min']:.3f} s | "
                     f"{b['per_query_ms']:.3f} ms |")
    pair_row, pair_note = init_free_row(res)
    if pair_row:
        lines.append(pair_row)
    lines.append(f"| whole corpus, library mode: (time − fixed) ÷ files | {res['files']} items | "
                 f"{res['tools']['talhost']['min']:.3f} s | {bd['per_query_ms']:.3f} ms |")
    pts = ", ".join(f"{n}: {t:.3f} s" for n, t in bd["scaling_points"])
    lines.append(f"| slope of time over item count ({pts}) | — | intercept {bd['intercept_s']:.3f} s | "
                 f"{bd['slope_ms_per_query']:.3f} ms |")
    lines.append(f"| WAV part, WAV-only mode: (time − fixed) ÷ files | {res['wav_files']} items | "
                 f"{res['tools']['talhost WAV-only']['min']:.3f} s | {bd['wav_only_per_query_ms']:.3f} ms |")
    for kind, f in bd["per_format"].items():
        lines.append(f"| {KIND_LABEL.get(kind, kind)} files only, library mode | {f['files']} items × "
                     f"{f.get('passes', 1)} passes | {f['min']:.3f} s | {f['per_query_ms']:.3f} ms |")
    return "\n".join(lines) + ("\n\n" + pair_note if pair_note else "")


def io_markdown(res):
    if "io" not in res:
        return f"Not counted: {res['skipped'].get('strace', 'no strace')}."
    out = []
    for mode, io in res["io"].items():
        out.append(f"{mode} mode, {io['files_traced']} files traced"
                   f"{'' if io['server_traced'] else ' (wineserver not traced: opens not counted)'}:\n")
        out.append("| format | files | opens | read calls | lseek calls | bytes read | minimum bytes | "
                   "4 KiB pages touched | minimum pages |")
        out.append("|---|---:|---:|---:|---:|---:|---:|---:|---:|")
        for kind in KIND_LABEL:
            r = io["by_format"].get(kind)
            if r is None:
                continue
            out.append(f"| {KIND_LABEL[kind]} | {r['files']} | {r['opens']:.2f} | {r['reads']:.1f} | {r['seeks']:.1f} "
                       f"| {r['bytes']:,.0f} | {r['min_bytes']:,.0f} | {r['pages']:.2f} | {r['min_pages']:.2f} |")
        out.append("")
    return "\n".join(out)


def comparison_table(before, after):
    def get(res, *keys):
        v = res
        for k in keys:
            if not isinstance(v, dict) or k not in v:
                return None
            v = v[k]
        return v

    rows = [("talhost, whole corpus, min s, separate runs", ("tools", "talhost", "min"), "{:.3f}"),
            ("talhost files/s, separate runs", None, "{:,.0f}"),
            ("per query, (time − fixed) ÷ files, ms, separate runs", ("breakdown", "per_query_ms"), "{:.3f}"),
            ("per query, slope over item count, ms", ("breakdown", "slope_ms_per_query"), "{:.3f}"),
            ("fixed cost (zero items), s", ("breakdown", "fixed", "min"), "{:.3f}"),
            ("zero-byte files, library mode, ms per query", ("breakdown", "blank library", "per_query_ms"), "{:.3f}"),
            ("BASS_Init/BASS_Free pair, ms", ("library", "init_free", "min_ms"), "{:.3f}"),
            ("talhost WAV-only, WAV part, min s", ("tools", "talhost WAV-only", "min"), "{:.3f}")]
    for kind in KIND_LABEL:
        rows.append((f"{KIND_LABEL[kind]}, ms per query", ("breakdown", "per_format", kind, "per_query_ms"), "{:.3f}"))
    for kind in KIND_LABEL:
        for field, label, fmt in (("reads", "read calls", "{:.1f}"), ("bytes", "bytes read", "{:,.0f}"),
                                  ("pages", "pages touched", "{:.2f}")):
            rows.append((f"{KIND_LABEL[kind]}, {label} per query", ("io", "library", "by_format", kind, field), fmt))
    lines = ["| figure | before | after | after ÷ before |", "|---|---:|---:|---:|"]
    compare = after["tools"].get("talhost compare")
    if compare is not None:
        # Both builds in the same rounds of one run: the like-for-like figures.
        fixed = after["breakdown"]["fixed"]["min"]
        t = after["tools"]["talhost"]
        lines.append(f"| talhost, whole corpus, min s, both builds in the same rounds of the latest run | "
                     f"{compare['min']:.3f} | {t['min']:.3f} | {t['min'] / compare['min']:.2f} |")
        b_q, a_q = ((compare["min"] - fixed) / compare["files"] * 1000, (t["min"] - fixed) / t["files"] * 1000)
        lines.append(f"| per query, (time − fixed) ÷ files, ms, same rounds | {b_q:.3f} | {a_q:.3f} | {a_q / b_q:.2f} |")
    for label, keys, fmt in rows:
        if keys is None:
            b = per_file_rate(before["tools"]["talhost"])
            a = per_file_rate(after["tools"]["talhost"])
        else:
            b, a = get(before, *keys), get(after, *keys)
        if b is None or a is None:
            continue
        ratio = f"{a / b:.2f}" if b else "—"
        lines.append(f"| {label} | {fmt.format(b)} | {fmt.format(a)} | {ratio} |")
    return "\n".join(lines)


def machine_markdown(res):
    m = res["machine"]
    busy = "; ".join(m["busy_processes_start"][:6])
    return "\n".join(([f"- Build measured: {res['label']}"] if res.get("label") else []) + [
        library_markdown(res),
        f"- CPU: {m['cpu']}, {m['cores']} cores; memory {m['memory_gib']} GiB; kernel {m['kernel']}",
        f"- Wine: {m['wine']}, loader {m.get('loader', '?')}, display: {m['display']}; Python {m['python']}",
        f"- Load average at start {', '.join(f'{x:.2f}' for x in m['loadavg_start'])}, at end "
        f"{', '.join(f'{x:.2f}' for x in m.get('loadavg_end', []))}",
        f"- Busiest processes at start (%CPU, nice, command): {busy}",
        f"- Corpus: {res['files']} files ({res['wav_files']} WAV), {res['corpus_bytes'] / 1e6:,.0f} MB, warm page "
        f"cache; {res['repeats']} repeats of every timing, interleaved"
        f"{'' if res.get('talhost_rounds', 1) == 1 else ', talhost runs ' + str(res['talhost_rounds']) + ' times a repeat'}"
        f"; working tree at commit {res['git']['commit']}"
        f"{' (with uncommitted edits to plug-in or library sources)' if res['git']['library_sources_modified'] else ''}",
    ])


def results_section(res, heading):
    return "\n\n".join([
        f"## {heading}",
        machine_markdown(res),
        "### Scan speed\n\n" + tools_table(res),
        "### Where a talhost query's time goes\n\n" + breakdown_table(res),
        "### File I/O per query (strace over talhost and the wineserver)\n\n" + io_markdown(res),
    ])


def write_report(res, baseline, out, notes):
    parts = ["# Library-scan benchmark", HOW_TO_READ]
    heading = "Results" if baseline is None else "Results after the changes"
    parts.append(results_section(res, heading))
    if baseline is not None:
        same = (baseline["files"], baseline["corpus_bytes"]) == (res["files"], res["corpus_bytes"])
        note = "" if same else ("\n\nThe two runs scanned different corpora (files or bytes differ): "
                                "compare per-query figures only.")
        parts.append("## Before and after\n\n" + comparison_table(baseline, res) + note)
        parts.append(results_section(baseline, "Results before the changes (baseline, same script)"))
    if notes:
        parts.append(notes.strip())
    (out / "RESULTS.md").write_text("\n\n".join(parts) + "\n")


HOW_TO_READ = """Made by `bench/run.sh` (bench/run_bench.py). Each tool scans the same corpus of tagged files (FLAC,
MP3 with ID3v2.3 and ID3v2.4, Ogg Vorbis, WavPack with APEv2, WAV with and without an ID3 chunk) for length,
title, artist, album and year. Times are wall-clock seconds for the whole corpus; "min" is the figure to
trust on a shared machine. "lengths right" and "tags right" compare each tool's output with the values
the files were made with: the length within 100 ms or 1 %, and title, artist, album and year all equal
(untagged files: the file name as title; a tool that gives no title is granted that fallback, talhost must
produce it). The WAV-only rows cover only the WAV files, and their ratio is to talhost's WAV-only mode,
which reads no tags: its titles are file names. "Per query" figures subtract the fixed cost of starting
talhost with zero items; small item sets are queried in several passes within one process. talhost runs
against the stand-in media library unless the run was given another (`--library`); each results section
names the library that ran."""


def plot(res, out):
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        return "matplotlib not installed (Debian package python3-matplotlib)"
    # One run's bars only: figures of separate runs on a shared machine differ by its load as much as by
    # any change, so the other build is shown from the same rounds (--compare-dist) when it was measured.
    names = [n for n in TOOL_ORDER if n in res["tools"]]
    compare = (res.get("compare_label") or "other") + " build"
    labels = [(f"talhost\n{compare}" if n == "talhost compare" else n).replace(" WAV part", "\n(WAV part)")
              .replace(" WAV-only", "\nWAV-only") for n in names]
    rates = [per_file_rate(res["tools"][n]) for n in names]
    colours = ["#3070b0" if n.startswith("talhost") and n != "talhost compare" else
               "#bbbbbb" if n == "talhost compare" else "#d08030" for n in names]
    fig, ax = plt.subplots(figsize=(9.5, 4.8), dpi=100)
    xs = range(len(names))
    bars = ax.bar(list(xs), rates, width=0.6, color=colours)
    for bar, value in zip(bars, rates):
        ax.annotate(f"{value:,.0f}", (bar.get_x() + bar.get_width() / 2, value), ha="center", va="bottom",
                    fontsize=8)
    ax.set_yscale("log")
    ax.set_xticks(list(xs))
    ax.set_xticklabels(labels, fontsize=8)
    ax.set_ylabel("files per second (log scale, from the minimum time)")
    ax.set_title(f"Library scan, {res['files']} files ({res['wav_files']} WAV), "
                 f"{res['machine']['cores']} cores, {res['repeats']} repeat{'s' if res['repeats'] != 1 else ''}")
    fig.tight_layout()
    fig.savefig(out / "files_per_second.png")
    plt.close(fig)
    return None


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--files", type=int, default=2000, help="corpus size (default 2000)")
    p.add_argument("--repeats", type=int, default=3, help="timings per tool (default 3)")
    p.add_argument("--talhost-rounds", type=int, default=3, help="talhost timings per repeat (default 3)")
    p.add_argument("--out", default=str(ROOT / "bench"), help="folder for RESULTS.md, results.json and the plot")
    p.add_argument("--corpus", default=str(BUILD / "bench-corpus"), help="corpus folder (reused when it matches)")
    p.add_argument("--work", default=str(BUILD / "bench-work"), help="scratch folder for the installed hosts")
    p.add_argument("--dist", default=os.environ.get("TANDREL_DIST", str(BUILD / "x64" / "dist")),
                   help="folder with talhost.exe, lumesrc.dll, bass.dll and the add-ons")
    p.add_argument("--library", help="folder with bass.dll and add-ons to run instead of the stand-in in --dist; "
                   "add-ons missing there are missing in the run")
    p.add_argument("--init-pairs", type=int, default=200,
                   help="BASS_Init/BASS_Free pairs initcost times each repeat (default 200)")
    p.add_argument("--wine", default=os.environ.get("TANDREL_WINE", "/usr/lib/wine/wine64"))
    p.add_argument("--wineserver", default=os.environ.get("TANDREL_WINESERVER", "/usr/lib/wine/wineserver"))
    p.add_argument("--wineprefix", default=os.environ.get("WINEPREFIX", str(BUILD / "bench-wineprefix64")))
    p.add_argument("--max-seconds", type=float, default=60, help="cap on each source's duration")
    p.add_argument("--per-format", type=int, default=60, help="files per format for the I/O count and format timing")
    p.add_argument("--queries", type=int, default=2000,
                   help="queries per run for the small item sets (per format, zero-byte files), by repeating passes")
    p.add_argument("--skip", action="append", default=[], choices=["ffprobe", "mutagen", "strace"])
    p.add_argument("--fresh-corpus", action="store_true", help="rebuild the corpus even when one matches")
    p.add_argument("--baseline", help="results.json of an earlier run, reported as the figures before the changes")
    p.add_argument("--compare-dist", help="a second build whose talhost scans the corpus in the same rounds")
    p.add_argument("--compare-label", default="before", help="what to call the --compare-dist build")
    p.add_argument("--label", default="", help="a note stored with the results")
    p.add_argument("--notes", default=str(ROOT / "bench" / "notes.md"), help="Markdown appended to RESULTS.md")
    p.add_argument("--from-results", help="write RESULTS.md and the plot again from a results.json, running nothing")
    p.add_argument("--mutagen-scan", help=argparse.SUPPRESS)
    p.add_argument("--ext", help=argparse.SUPPRESS)
    args = p.parse_args()
    if args.mutagen_scan:
        mutagen_scan(args.mutagen_scan, args.ext)
        return
    out = Path(args.out)
    if args.from_results:
        result = json.loads(Path(args.from_results).read_text())
        out.mkdir(parents=True, exist_ok=True)
    else:
        if args.files < 1 or args.repeats < 1:
            p.error("--files and --repeats must be at least 1")
        if not (Path(args.dist) / "talhost.exe").exists():
            p.error(f"no talhost.exe in {args.dist} (build with scripts/build.sh or pass --dist)")
        if args.init_pairs < 1:
            p.error("--init-pairs must be at least 1")
        if args.library and not Path(args.library).is_dir():
            p.error(f"--library {args.library} is not a folder")
        problem = check_library(args.library or args.dist, args.dist)[1]
        if problem:
            p.error(problem)
        result = benchmark(args)
    baseline = json.loads(Path(args.baseline).read_text()) if args.baseline else None
    (out / "results.json").write_text(json.dumps(result, indent=1, ensure_ascii=False))
    problem = plot(result, out)
    if problem:
        result["skipped"]["plot"] = problem
        log("no plot:", problem)
    notes = Path(args.notes).read_text() if args.notes and Path(args.notes).exists() else ""
    write_report(result, baseline, out, notes)
    log(f"wrote {out / 'RESULTS.md'}")
    print(tools_table(result))


if __name__ == "__main__":
    main()
