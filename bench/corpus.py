"""The benchmark's corpus: a few dozen sources made with Debian's encoders and
taggers, copied under distinct names into an artist/album tree, plus a folder of
zero-byte WAV files and an empty one. A corpus that matches the run's key is
reused."""
import json
import random
import shutil
from pathlib import Path

from bench_common import log, run
from progress import Progress

CORPUS_VERSION = 3

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


def copy_sources(sources, sources_dir, music, files):
    """The corpus's files: copies of the sources interleaved by kind, so every part of the corpus holds every
    format; their manifest entries."""
    entries = []
    by_kind = {}
    for i in range(len(SOURCES)):
        by_kind.setdefault(SOURCES[i][0], []).append(i)
    kinds = list(by_kind)
    progress = Progress("copying", files)
    for n in range(files):
        kind = kinds[n % len(kinds)]
        src = sources[by_kind[kind][(n // len(kinds)) % len(by_kind[kind])]]
        rel = Path(f"Artist {n // 100:03d}", f"Album {n // 10 % 10:02d}", f"{n:05d} - Track {n % 10 + 1:02d}"
                   f"{Path(src['source']).suffix}")
        (music / rel).parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(sources_dir / src["source"], music / rel)
        entries.append(dict(src, path=str(rel)))
        progress.update(n + 1)
    progress.finish()
    return entries


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
    progress = Progress("encoding", len(SOURCES), "sources")
    sources = []
    for i, recipe in enumerate(SOURCES):
        sources.append(make_source(sources_dir, i, recipe, max_seconds))
        progress.update(len(sources))
    progress.finish()
    log(f"copying {files} files into {music}")
    entries = copy_sources(sources, sources_dir, music, files)
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
