"""The stand-in media library under the plug-in: lengths of real files made by Debian's encoders,
tags through to the host, the add-ons as separate DLLs, downloads without a length, and the i686
export table."""
import json
import os
import socketserver
import subprocess
import sys
import threading
import time
from pathlib import Path

import pytest

from conftest import BUILD, install_host, query

HERE = Path(__file__).resolve().parent
I686 = Path(os.environ.get("TANDREL_I686_DIST", BUILD / "i686" / "dist"))

# Add-ons whose formats the fixture maker can make with Debian's tools.
ADDON_FORMATS = {"bassflac.dll": (".flac",), "basswv.dll": (".wv",), "bassdsd.dll": (".dsf", ".dff"),
                 "basswma.dll": (".wma",)}
ALL_ADDONS = ("bassflac.dll", "basswv.dll", "bass_ape.dll", "bass_aac.dll", "bassalac.dll", "bassdsd.dll",
              "basswma.dll")
LIBRARY_EXPORTS = sorted(["BASS_Init", "BASS_Free", "BASS_SetConfig", "BASS_SetConfigPtr", "BASS_PluginLoad",
                          "BASS_PluginFree", "BASS_StreamCreateFile", "BASS_StreamCreateURL", "BASS_StreamCreateFileUser",
                          "BASS_ChannelGetInfo",
                          "BASS_ChannelGetLength", "BASS_ChannelBytes2Seconds", "BASS_ChannelGetTags",
                          "BASS_StreamFree", "BASS_ErrorGetCode", "BASS_GetVersion"])


@pytest.fixture(scope="module")
def fixtures(tmp_path_factory):
    folder = tmp_path_factory.mktemp("standin-fixtures")
    subprocess.run([sys.executable, str(HERE / "make_fixtures.py"), str(folder)], check=True, capture_output=True)
    expected = json.loads((folder / "expected.json").read_text())
    return folder, expected


def expected_ms(e):
    """The plug-in's arithmetic on the library's byte length of 16-bit output."""
    length = e["frames"] * e["chans"] * 2
    return round(length / (e["rate"] * e["chans"] * 2) * 1000.0)


def ms_per_frame(e, samples):
    return samples * 1000.0 / e["rate"]


@pytest.fixture(scope="module")
def all_rows(fixtures, tmp_path_factory):
    folder, expected = fixtures
    host = install_host(tmp_path_factory.mktemp("player"))
    names = sorted(expected)
    rows = query(host, *[folder / n for n in names])
    return dict(zip(names, rows))


def test_lossless_and_pcm_lengths_are_sample_exact(fixtures, all_rows):
    _, expected = fixtures
    lossless = [n for n in expected if expected[n]["bits"] > 0]
    assert len(lossless) >= 12
    got = {n: all_rows[n]["length_ms"] for n in lossless}
    assert got == {n: expected_ms(expected[n]) for n in lossless}


def test_lossy_lengths(fixtures, all_rows):
    _, expected = fixtures
    # Ogg: the last page's granule position is the exact sample count.
    assert all_rows["tone.ogg"]["length_ms"] == expected_ms(expected["tone.ogg"])
    # MP3 with an Info/Xing frame (and the encoder's delay and padding): within one frame.
    for name in ("cbr.mp3", "vbr.mp3"):
        assert abs(all_rows[name]["length_ms"] - expected_ms(expected[name])) <= ms_per_frame(expected[name], 1152)
    # MP3 without one: estimated from size and bitrate, which also counts the encoder's padding.
    e = expected["noinfo-mono.mp3"]
    assert abs(all_rows["noinfo-mono.mp3"]["length_ms"] - expected_ms(e)) <= ms_per_frame(e, 3 * 576)


def test_tags_reach_the_host(fixtures, all_rows):
    _, expected = fixtures
    tagged = {n: e for n, e in expected.items() if "title" in e}
    assert {".flac", ".ogg", ".mp3", ".wv", ".dsf", ".wav", ".m4a", ".wma"} <= {Path(n).suffix for n in tagged}
    for name, e in tagged.items():
        row = all_rows[name]
        assert (row["title"], row["artist"]) == (e["title"], e.get("artist", "")), name
        if "album" in e:
            assert (row["album"], row["year"]) == (e["album"], e["year"]), name


def test_without_the_library_nothing_is_measured(fixtures, tmp_path):
    folder, expected = fixtures
    bare = install_host(tmp_path / "bare", without=("bass.dll",))
    rows = query(bare, *[folder / n for n in sorted(expected)])
    assert [(r["length_ms"], r["title"]) for r in rows] == [(0, None)] * len(expected)


@pytest.mark.parametrize("addon", sorted(ADDON_FORMATS))
def test_a_missing_add_on_fails_only_its_formats(fixtures, all_rows, tmp_path, addon):
    folder, expected = fixtures
    host = install_host(tmp_path / "player", without=(addon,))
    names = sorted(expected)
    rows = dict(zip(names, query(host, *[folder / n for n in names])))
    for name in names:
        if name.endswith(ADDON_FORMATS[addon]):
            assert (rows[name]["length_ms"], rows[name]["title"]) == (0, Path(name).stem), name
        else:
            assert rows[name] == all_rows[name] | {"item": rows[name]["item"]}, name


def test_every_format_over_http_measures_as_from_a_file(fixtures, all_rows, tmp_path, http_server):
    # The plug-in reads a URL itself and hands the library the bytes as they arrive (its buffered system).
    folder, expected = fixtures
    names = sorted(expected)
    for name in names:
        http_server.routes["/" + name] = (200, {}, (folder / name).read_bytes())
    rows = query(install_host(tmp_path / "player"), *[http_server.url("/" + n) for n in names])
    assert {n: r["length_ms"] for n, r in zip(names, rows)} == {n: all_rows[n]["length_ms"] for n in names}
    assert all(r["title"] is None and r["block"] is False for r in rows)


class EndlessMp3(socketserver.BaseRequestHandler):
    """An internet radio: MP3 frames for as long as the client reads (up to a minute), no Content-Length."""
    frame = bytes([0xFF, 0xFB, 0x90, 0x00]) + bytes(413)
    sent = 0

    def handle(self):
        self.request.recv(65536)
        self.request.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n")
        deadline = time.monotonic() + 60
        chunk = self.frame * 16
        try:
            while time.monotonic() < deadline:
                self.request.sendall(chunk)
                EndlessMp3.sent += len(chunk)
        except OSError:
            pass


def test_a_download_without_a_length_has_unknown_length(fixtures, tmp_path):
    server = socketserver.ThreadingTCPServer(("127.0.0.1", 0), EndlessMp3)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    try:
        host = install_host(tmp_path / "player")
        started = time.monotonic()
        [row] = query(host, f"http://127.0.0.1:{server.server_address[1]}/live.mp3")
        assert row["length_ms"] == 0
        # It read what the format needs and hung up, long before the server stopped sending.
        assert time.monotonic() - started < 55
        assert EndlessMp3.sent < 16 * 1024 * 1024
    finally:
        server.shutdown()
        server.server_close()


def test_i686_library_exports_exactly_its_operations_undecorated():
    path = I686 / "bass.dll"
    if not path.exists():
        pytest.skip("the i686 build is not there")
    dump = subprocess.run(["i686-w64-mingw32-objdump", "-p", str(path)], capture_output=True, text=True,
                          check=True).stdout
    assert "file format pei-i386" in dump
    table = dump.split("[Ordinal/Name Pointer] Table", 1)[1].split("\n\n", 1)[0]
    names = sorted(line.split("]", 1)[1].strip() for line in table.strip().splitlines())
    assert names == LIBRARY_EXPORTS
    for addon in ALL_ADDONS:
        assert (I686 / addon).exists(), addon
