"""The file information query through the host: length, title and the artist/album/year block,
for files tagged by real taggers, for URLs, and for the cases where nothing can be read."""
import shutil
import struct
import subprocess

import eyed3.id3
import pytest
from eyed3.id3.headers import FrameHeader
from mutagen.apev2 import APEv2
from mutagen.id3 import ID3, TALB, TDRC, TIT2, TPE1, TYER

from audio_bytes import chunk, id3_frames, id3_tag, id3v1, pcm_wave, syncsafe, unsynchronise
from conftest import install_host, query

pytestmark = pytest.mark.usefixtures("library_generation")

SECONDS = 1.5
LOSSLESS_MS = 1500  # 66150 frames at 44.1 kHz


def run(*args):
    subprocess.run([str(a) for a in args], check=True, capture_output=True)


@pytest.fixture(scope="session")
def sources(tmp_path_factory):
    """One untagged tone in every format the tests tag."""
    d = tmp_path_factory.mktemp("sources")
    run("sox", "-n", "-r", 44100, "-c", 2, "-b", 16, d / "tone.wav", "synth", SECONDS, "sine", 440, "vol", 0.5)
    run("flac", "-s", "-f", "-o", d / "tone.flac", d / "tone.wav")
    run("oggenc", "-Q", "-q", 2, "-o", d / "tone.ogg", d / "tone.wav")
    run("lame", "--quiet", "-b", 128, d / "tone.wav", d / "tone.mp3")
    run("wavpack", "-q", "-y", d / "tone.wav", "-o", d / "tone.wv")
    return d


@pytest.fixture
def fresh(sources, tmp_path):
    """fresh("flac", "name") copies the untagged tone to tmp_path/name.flac."""
    def make(ext, name="track"):
        path = tmp_path / f"{name}.{ext}"
        shutil.copy(sources / f"tone.{ext}", path)
        return path
    return make


def id3(path, version, encoding, title=None, artist=None, album=None, year=None, year_frame=TDRC):
    tags = ID3()
    for frame, value in ((TIT2, title), (TPE1, artist), (TALB, album), (year_frame, year)):
        if value is not None:
            tags.add(frame(encoding=encoding, text=value))
    tags.save(path, v2_version=version)


def ape(path, **items):
    tags = APEv2()
    for key, value in items.items():
        tags[key] = value
    tags.save(path)


def prepend(path, tag):
    path.write_bytes(tag + path.read_bytes())


def tags_of(row):
    return row["title"], row["artist"], row["album"], row["year"], row["block"]


# ---- Vorbis comments and APE tags ------------------------------------------------------------------

def test_vorbis_comments_in_flac_and_ogg(host, fresh):
    flac = fresh("flac", "Band - Song")
    run("metaflac", "--set-tag=TITLE=Песня", "--set-tag=ARTIST=Группа", "--set-tag=ALBUM=Альбом",
        "--set-tag=DATE=2017", "--set-tag=ARTISTSORT=Группа, The", "--set-tag=TITLESORT=Песня (sort)",
        "--set-tag=ALBUMARTIST=Various", "--set-tag=DATE_ORIGINAL=1999-01-01", flac)
    ogg = fresh("ogg")
    run("vorbiscomment", "-w", "-t", "title=日本語のタイトル", "-t", "Artist=Ogg 🎵 Artist", "-t", "ALBUM=",
        "-t", "ALBUM=Second album", "-t", "YEAR=1990", "-t", "date=2001-02-03", ogg)
    f, o = query(host, flac, ogg)
    assert tags_of(f) == ("Песня", "Группа", "Альбом", "2017", True)
    assert f["length_ms"] == LOSSLESS_MS
    assert tags_of(o) == ("日本語のタイトル", "Ogg 🎵 Artist", "Second album", "2001-02-03", True)
    assert abs(o["length_ms"] - LOSSLESS_MS) <= 50


def test_ape_tags_in_mp3_and_wavpack(host, fresh, sources, tmp_path):
    mp3 = fresh("mp3", "ape only")
    ape(mp3, Title="Ape Title", Artist="Ape Artist", Album="Ape Album", Year="1984", Date="2020",
        ArtistSort="Artist, Ape", TitleSort="Title, Ape")
    wv = tmp_path / "made by wavpack.wv"
    run("wavpack", "-q", "-y", "-w", "Title=Wv Название", "-w", "Artist=Wv Artist", "-w", "Year=2001",
        sources / "tone.wav", "-o", wv)
    m, w = query(host, mp3, wv)
    assert tags_of(m) == ("Ape Title", "Ape Artist", "Ape Album", "1984", True)  # APE's year key is Year
    assert tags_of(w) == ("Wv Название", "Wv Artist", "", "2001", True)
    assert w["length_ms"] == LOSSLESS_MS


def test_ape_reader_runs_before_id3v2_and_replaces_what_it_found(host, fresh):
    both = fresh("mp3", "both")
    id3(both, 3, 1, title="Id3 Title", artist="Id3 Artist", year="1999", year_frame=TYER)
    ape(both, Title="Ape Title", Album="Ape Album")
    no_ape_title = fresh("mp3", "ape without title")
    id3(no_ape_title, 4, 3, title="Id3 Title", artist="Id3 Artist", album="Id3 Album")
    ape(no_ape_title, Artist="Ape Artist", Year="1970")
    b, n = query(host, both, no_ape_title)
    assert tags_of(b) == ("Ape Title", "", "", "", False)  # no APE artist: nothing published
    assert tags_of(n) == ("Id3 Title", "Id3 Artist", "Id3 Album", "", True)


# ---- ID3v2 --------------------------------------------------------------------------------------

def test_id3v23_written_by_id3v2_tool_and_mutagen(host, fresh):
    latin = fresh("mp3", "latin")
    run("id3v2", "--id3v2-only", "-t", "Song", "-a", "Band", "-A", "Album", "-y", "1999", latin)
    utf16 = fresh("mp3", "utf16")
    id3(utf16, 3, 1, title="Привет, мир", artist="Группа ☃", album="日本", year="2005", year_frame=TYER)
    l, u = query(host, latin, utf16)
    assert tags_of(l) == ("Song", "Band", "Album", "1999", True)
    assert tags_of(u) == ("Привет, мир", "Группа ☃", "日本", "2005", True)
    assert abs(l["length_ms"] - LOSSLESS_MS) <= 50


def test_id3v24_utf8_takes_the_year_from_tdrc(host, fresh):
    v4 = fresh("mp3", "v4")
    id3(v4, 4, 3, title="🎵 Emoji title 🎶", artist="Артист", album="Album", year="2017-05-12")
    v3 = fresh("mp3", "v3")
    id3(v3, 3, 0, title="T", artist="A", year="1999", year_frame=TYER)
    a, b = query(host, v4, v3)
    assert tags_of(a) == ("🎵 Emoji title 🎶", "Артист", "Album", "2017-05-12", True)
    assert tags_of(b) == ("T", "A", "", "1999", True)


def test_unsynchronised_tag_from_the_library(host, fresh):
    # Whole-tag unsynchronisation: FF 00 pairs in the UTF-16 marks and in a frame size of 255.
    title = b"\x01\xff\xfe" + "Ünsync".encode("utf-16-le")
    artist = b"\x01\xff\xfe" + "Artist".encode("utf-16-le") + b"\x00" * (255 - 15)
    body = unsynchronise(id3_frames(3, [("TIT2", title), ("TPE1", artist)]))
    mp3 = fresh("mp3", "unsync")
    prepend(mp3, id3_tag(3, 0x80, body))
    [r] = query(host, mp3)
    assert tags_of(r) == ("Ünsync", "Artist", "", "", True)


def eyed3_grouped_title(path, version):
    """eyeD3 writes a frame's group byte (and in version 4 a data-length indicator) when its header asks."""
    tag = eyed3.id3.Tag()
    tag.title, tag.artist, tag.album = "Grouped", "Band", "Album"
    title = tag.frame_set[b"TIT2"][0]
    title.header = FrameHeader(b"TIT2", version)
    title.header.grouped = True
    title.group_id = 7
    title.header.data_length_indicator = version[1] == 4
    tag.save(str(path), version=version)
    head = path.read_bytes()[:200]
    assert head[head.index(b"TIT2") + 9] & (0x41 if version[1] == 4 else 0x20)  # it did


def test_id3v2_group_bytes_version_22_and_per_frame_unsynchronisation(host, fresh):
    v24, v23 = fresh("mp3", "eyed3 v2.4"), fresh("mp3", "eyed3 v2.3")
    eyed3_grouped_title(v24, (2, 4, 0))
    eyed3_grouped_title(v23, (2, 3, 0))
    # No installed tagger writes version 2.2 (older rippers did): three-character frames, no year taken.
    v22 = fresh("mp3", "v2.2")
    frames = id3_frames(2, [("TT2", b"\0Song"), ("TP1", b"\1\xff\xfe" + "Band".encode("utf-16-le")),
                            ("TAL", b"\0Album"), ("TYE", b"\x001999")])
    prepend(v22, id3_tag(2, 0, frames))
    # Version 4, unsynchronised frame by frame; a comment before them with its size written plain.
    v4 = fresh("mp3", "v2.4 crafted")
    title = b"\1\xff\xfe" + "Grüße".encode("utf-16-le")
    frames = (id3_frames(3, [("COMM", b"\3eng\0" + b"c" * 295)])
              + id3_frames(4, [("TIT2", b"\7" + syncsafe(len(title)) + unsynchronise(title), 0x43), ("TPE1", b"\3Band"),
                               ("TALB", unsynchronise(b"\1\xff\xfeA\0"), 0x02)]))
    prepend(v4, id3_tag(4, 0x80, frames))
    a, b, c, d = query(host, v24, v23, v22, v4)
    assert tags_of(a) == ("Grouped", "Band", "Album", "", True)
    assert tags_of(b) == ("Grouped", "Band", "Album", "", True)
    assert tags_of(c) == ("Song", "Band", "Album", "", True)
    assert tags_of(d) == ("Grüße", "Band", "A", "", True)


def test_id3v2_title_only_and_artist_only(host, fresh):
    title_only = fresh("mp3", "title only")
    id3(title_only, 4, 3, title="Just a title", album="Album")
    artist_only = fresh("mp3", "artist only")
    id3(artist_only, 4, 3, artist="Nobody", year="2000")
    t, a = query(host, title_only, artist_only)
    assert tags_of(t) == ("Just a title", "", "", "", False)
    assert tags_of(a) == ("artist only", "", "", "", False)


# ---- after ID3v2: MP4, WMA, RIFF INFO and ID3v1 -------------------------------------------------------

def riff_info(wav, items):
    """The WAV with a LIST/INFO chunk of (id, raw bytes) items before its data, each value with its NUL."""
    body = b"INFO" + b"".join(chunk(cid, value + b"\0", pad=True) for cid, value in items)
    data = wav.index(b"data")
    out = wav[:data] + chunk(b"LIST", body) + wav[data:]
    return out[:4] + struct.pack("<I", len(out) - 8) + out[8:]


def test_id3v1_and_riff_info_after_the_other_readers(host, fresh, sources, tmp_path):
    tool = fresh("mp3", "id3v2 tool")
    run("id3v2", "-1", "-t", "Tool Title", "-a", "Tool Artist", "-A", "Tool Album", "-y", "1997", "-T", "5", tool)
    cases = {
        "blanks": id3v1(b"Blank Title ", b"Blank Artist", b"Blank Album", b"1990", pad=b" "),
        "track": id3v1(b"Track Title", b"Track Artist", b"", b"2000", comment=bytes(29) + b"\x07"),
        "cp1252": id3v1(b"Caf\xe9 \x80", b"A"),
        "no title": id3v1(b"   ", b"Nobody", pad=b" "),
    }
    rows = {}
    for name, tag in cases.items():
        path = fresh("mp3", name)
        path.write_bytes(path.read_bytes() + tag)
        rows[name] = path
    both = fresh("mp3", "both")
    id3(both, 3, 1, title="Id3v2 Title", artist="Id3v2 Artist")
    both.write_bytes(both.read_bytes() + id3v1(b"V1 Title", b"V1 Artist"))
    wav = (sources / "tone.wav").read_bytes()
    (tmp_path / "utf8.wav").write_bytes(riff_info(wav, [(b"INAM", "Ünïcode".encode()), (b"IART", b"Band"),
                                                        (b"IPRD", b"Album"), (b"ICRD", b"2003"), (b"ICMT", b"c")]))
    (tmp_path / "cp1252.wav").write_bytes(riff_info(wav, [(b"IART", b"Caf\xe9"), (b"INAM", b"Na\xefve \x80")]))
    got = query(host, tool, *rows.values(), both, tmp_path / "utf8.wav", tmp_path / "cp1252.wav")
    assert [tags_of(r) for r in got] == [
        ("Tool Title", "Tool Artist", "Tool Album", "1997", True),
        ("Blank Title", "Blank Artist", "Blank Album", "1990", True),
        ("Track Title", "Track Artist", "", "2000", True),
        ("Café €", "A", "", "", True),  # the system's code page, Windows-1252 here
        ("no title", "", "", "", False),
        ("Id3v2 Title", "Id3v2 Artist", "", "", True),
        ("Ünïcode", "Band", "Album", "2003", True),
        ("Naïve €", "Café", "", "", True),
    ]


# ---- limits -------------------------------------------------------------------------------------

def test_overlong_values_are_cut_inside_their_fields(host, fresh):
    flac = fresh("flac", "long")
    run("metaflac", "--set-tag=TITLE=" + "t" * 300, "--set-tag=ARTIST=" + "Я" * 300,
        "--set-tag=DATE=2017-05-12T10:00:00", flac)
    mp3 = fresh("mp3", "long")
    id3(mp3, 4, 3, title="€" * 200, artist="a" * 600, year="2017-05-12T10:00:00")
    utf16 = fresh("mp3", "too long")
    id3(utf16, 3, 1, title="ü" * 300, artist="A")  # 600 bytes of UTF-8: more than a value holds
    f, m, u = query(host, flac, mp3, utf16)
    assert tags_of(f) == ("t" * 255, "Я" * 255, "", "2017-05-12T10:0", True)
    assert tags_of(m) == ("€" * 170, "a" * 255, "", "2017-05-12T10:00:", True)
    assert tags_of(u) == ("too long", "", "", "", False)


# ---- who reads tags, and what a query resets ---------------------------------------------------------

def test_a_host_whose_name_does_not_read_tags_gets_file_names(tmp_path, fresh):
    player = install_host(tmp_path / "player", exe_name="player.exe")
    flac = fresh("flac", "Band - Song")
    run("metaflac", "--set-tag=TITLE=Tag title", "--set-tag=ARTIST=Tag artist", flac)
    [r] = query(player, flac, exe="player.exe")
    assert tags_of(r) == ("Band - Song", "", "", "", False)
    assert r["length_ms"] == LOSSLESS_MS


def test_each_query_resets_the_block(host, fresh):
    tagged = fresh("flac", "tagged")
    run("metaflac", "--set-tag=TITLE=One", "--set-tag=ARTIST=First artist", "--set-tag=ALBUM=First album", tagged)
    plain = fresh("flac", "plain")
    no_artist = fresh("mp3", "no artist")
    id3(no_artist, 4, 3, title="Two")
    shorter = fresh("ogg", "shorter")
    run("vorbiscomment", "-w", "-t", "TITLE=Three", "-t", "ARTIST=B", shorter)
    rows = query(host, tagged, plain, tagged, no_artist, shorter)
    assert [r["block"] for r in rows] == [True, False, True, False, True]
    assert tags_of(rows[4]) == ("Three", "B", "", "", True)  # nothing left over from the first block


def test_files_without_tags_get_their_names(host, fresh, sources, tmp_path):
    items = [fresh("flac", "archive.tar"), fresh("mp3", "Песня 日本 🎵"), fresh("ogg", "plain"), fresh("wv", "wv")]
    dotted = tmp_path / "x.y"
    dotted.mkdir()
    shutil.copy(sources / "tone.wav", dotted / "track.wav")
    items.append(dotted / "track.wav")
    rows = query(host, *items)
    assert [r["title"] for r in rows] == ["archive.tar", "Песня 日本 🎵", "plain", "wv", "track"]
    assert all(r["block"] is False and r["length_ms"] > 1400 for r in rows)


def test_items_that_do_not_open_still_get_a_title(host, tmp_path):
    (tmp_path / "garbage.mp3").write_bytes(b"\x12" * 5000)
    rows = query(host, tmp_path / "missing.flac", tmp_path / "garbage.mp3", tmp_path / "README",
                 tmp_path / ".hidden")
    assert [(r["title"], r["length_ms"], r["block"]) for r in rows] == [
        ("missing", 0, False), ("garbage", 0, False), ("README", 0, False), (".hidden", 0, False)]


def test_length_is_rounded_to_nearest_even(host, tmp_path):
    cases = {
        "million.wav": (pcm_wave(44100, 2, 16, 250000), 5669),  # 1,000,000 bytes: 5668.93 ms
        "half down.wav": (pcm_wave(8000, 1, 16, 20), 2),        # 2.5 ms
        "half up.wav": (pcm_wave(8000, 1, 16, 28), 4),          # 3.5 ms
        "below half.wav": (pcm_wave(8000, 1, 16, 11), 1),       # 1.375 ms
    }
    for name, (content, _) in cases.items():
        (tmp_path / name).write_bytes(content)
    rows = query(host, *[tmp_path / name for name in cases])
    assert [r["length_ms"] for r in rows] == [ms for _, ms in cases.values()]


def empty_format_wav(offset, value=0):
    """A PCM WAV whose format block gives 0 at `offset`: 22 channels, 24 rate, 34 bits per sample."""
    data = bytearray(pcm_wave(8000, 1, 16, 100))
    data[offset:offset + (4 if offset == 24 else 2)] = bytes(4 if offset == 24 else 2)
    return bytes(data)


def test_a_wav_with_an_empty_format_never_reaches_an_older_library(host, tmp_path, library_generation):
    # Releases before 2.4.13 divide by zero opening a WAV with 0 bits per sample (the stand-in's older
    # behaviour does, for real): such files count as streams that did not open, and the host lives on.
    for name, offset in (("zero bits", 34), ("zero channels", 22), ("zero rate", 24)):
        (tmp_path / f"{name}.wav").write_bytes(empty_format_wav(offset))
    (tmp_path / "fine.wav").write_bytes(pcm_wave(8000, 1, 16, 100))
    rows = query(host, *[tmp_path / f"{n}.wav" for n in ("zero bits", "zero channels", "zero rate", "fine")])
    assert [(r["title"], r["length_ms"]) for r in rows] == [
        ("zero bits", 0), ("zero channels", 0), ("zero rate", 0), ("fine", 12)]


def test_without_the_library_only_the_length_is_written(tmp_path, fresh):
    bare = install_host(tmp_path / "bare", without=("bass.dll",))
    flac = fresh("flac", "tagged")
    run("metaflac", "--set-tag=TITLE=T", "--set-tag=ARTIST=A", flac)
    [r] = query(bare, flac)
    assert (r["length_ms"], r["title"], r["block"]) == (0, None, False)


# ---- URLs --------------------------------------------------------------------------------------

def test_url_gets_a_length_and_never_a_title_or_block(host, fresh, http_server):
    flac = fresh("flac", "served")
    run("metaflac", "--set-tag=TITLE=Served", "--set-tag=ARTIST=Server", flac)
    body = flac.read_bytes()
    http_server.routes["/music/served.flac"] = (200, {"Content-Type": "audio/flac"}, body)
    rows = query(host, http_server.url("/music/served.flac"), http_server.url("/missing.flac"))
    assert [(r["length_ms"], r["title"], r["block"]) for r in rows] == [(LOSSLESS_MS, None, False), (0, None, False)]
    assert any(path == "/music/served.flac" for path, _ in http_server.requests)


def test_only_lower_case_ht_makes_a_url(host, fresh):
    # Relative names, resolved against the player folder talhost runs in: "HT..." is a
    # path, "ht..." is a URL even when it names a file.
    flac = fresh("flac")
    run("metaflac", "--set-tag=TITLE=Tagged", "--set-tag=ARTIST=A", flac)
    shutil.copy(flac, host / "HTrack.flac")
    (host / "htdocs").mkdir()
    shutil.copy(flac, host / "htdocs" / "a.flac")
    rows = query(host, "HTrack.flac", "htdocs\\a.flac", "Htdocs\\a.flac")
    assert (rows[0]["title"], rows[0]["block"], rows[0]["length_ms"]) == ("Tagged", True, LOSSLESS_MS)
    assert (rows[1]["title"], rows[1]["block"], rows[1]["length_ms"]) == (None, False, 0)
    assert (rows[2]["title"], rows[2]["block"], rows[2]["length_ms"]) == ("Tagged", True, LOSSLESS_MS)  # "Ht"


def test_url_too_long_for_its_buffer_is_not_opened(host, http_server):
    long_path = "/" + "a" * 2100 + ".flac"
    fits = "/" + "b" * 1990 + ".flac"
    rows = query(host, http_server.url(long_path), http_server.url(fits))
    assert [(r["length_ms"], r["title"]) for r in rows] == [(0, None), (0, None)]
    paths = [path for path, _ in http_server.requests]
    assert long_path not in paths
    assert fits in paths
